#pragma once
// The installer's language support module over the files of the system:
// message texts from language support files in the installation's
// "language\" folder, and the version probe of a language file. Every
// failure leaves its record, naming the file, for the update flow to log and
// show before its next box.
#include <vector>

#include "lang/language_support.h"

namespace kavrel {

// The module of this process, over the system's files: its
// lookups, the version probe and the selection of a file (LanguageSupport).
LanguageSupport& LanguageModule();

// The failures of the files since the last call, oldest first.
std::vector<Failure> TakeLanguageFileErrors();

// Module shut-down: closes the selected file and releases the table.
void ShutDownLanguageFiles();

}  // namespace kavrel
