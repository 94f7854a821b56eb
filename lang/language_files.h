#pragma once
// The installer's language support module over the files of the system:
// message texts from language support files in the installation's
// "language\" folder, and the version probe of a language file. Every
// failure shows the bilingual message naming the file.
#include <cstdint>
#include <string>
#include <vector>

#include "lang/language_support.h"

namespace kavrel {

// The module of this process, over the system's files and message box.
LanguageSupport& LanguageModule();

// One line of text by key; empty while no language file is selected.
std::string GetLanguageText(const std::string& key);

// The lines of key joined with "\r\n"; skipFirstLine drops the value line of
// an answer from the selected file.
std::string GetLanguageLines(const std::string& key, bool skipFirstLine);

// The lines of key with "%1" to "%4" replaced by the arguments.
std::string FormatLanguageMessage(const std::string& key, const std::vector<std::string>& arguments,
                                  bool skipFirstLine);

// The version written in a language file; 0 when there is none to read.
std::int32_t ReadLanguageFileVersion(const std::string& path);

// Fills the table of language files, sets the base files of the two message
// languages and selects names[selectedIndex], all lying in InstallDir +
// "language\"; the selected file is opened and its boxes get messageLangId.
// False when nothing could be selected (see LanguageSupport).
bool SelectLanguageFile(std::vector<std::string> names, std::int32_t baseIndexRu, std::int32_t baseIndexEn,
                        std::int32_t selectedIndex, std::uint16_t messageLangId);

// Module shut-down: closes the selected file and releases the table.
void ShutDownLanguageFiles();

}  // namespace kavrel
