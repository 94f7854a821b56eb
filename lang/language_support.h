#pragma once
// The language support module: message texts looked up by key in the
// selected language file, with the base file of the message language behind
// it, and the version probe of a language file. Portable: the files, and where its
// failures go, come from a LanguagePlatform.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/setup_state.h"
#include "lang/language_rules.h"

namespace kavrel {

// What the module needs of the system.
class LanguagePlatform {
public:
    virtual ~LanguagePlatform() = default;
    // The file at path, not yet opened; opened for reading only, others may
    // read it too, and the open fails when it does not exist.
    // Paths are UTF-16, as Windows keeps them.
    virtual std::unique_ptr<ByteSource> FileAt(const std::wstring& path) = 0;
    // True when a file, not a folder, exists at path.
    virtual bool FileExists(const std::wstring& path) = 0;
    // Takes the failure of a file that could not be read, for the user.
    virtual void ReportError(const Failure& failure) = 0;
};

// The module's state and operations. Lookups share the two readers and the
// pending flag without a guard: one thread, no reentry.
struct LanguageSupport {
    LanguageSupport(SetupState& setup, LanguagePlatform& platform);

    // File names (no folder, ASCII) of the language files, by language index.
    std::vector<std::string> languageFileNames;
    // Indices of the base files of the two message languages; -1: none.
    std::int32_t baseLanguageIndexRu = -1;
    std::int32_t baseLanguageIndexEn = -1;
    // A multi-line lookup has begun and has not read its continuation lines:
    // the reader that answered the first line is left where it stands.
    bool multiLinePending = true;
    // Attached and opened by every base lookup.
    TextFileReader baseLanguageFile;
    // The selected file; stays open between lookups, each starts at its first line.
    TextFileReader currentLanguageFile;

    // The value line of key: from the selected file, else from the base file
    // (with its continuation lines while a multi-line lookup is pending).
    // Empty when no language file is selected. The text says which file
    // answered (TextOrigin), so that each is decoded from its own code page.
    ShownText GetLanguageText(const std::string& key);
    // The value line and the continuation lines of key, joined with "\r\n";
    // skipFirstLine drops the value line of an answer from the selected file.
    // Each piece says which file it came from.
    ShownText GetLanguageLines(const std::string& key, bool skipFirstLine);
    // GetLanguageLines with "%1" to "%4" replaced by the arguments.
    ShownText FormatLanguageMessage(const std::string& key, const std::vector<ShownText>& arguments,
                                    bool skipFirstLine);
    // The value of the "langver" section (or the last line) of the file at
    // path; 0 silently when no file is there, 0 with the message when it
    // cannot be read or holds no integer.
    std::int32_t ReadLanguageFileVersion(const std::wstring& path);

    // Selects names[selectedIndex], which lies with the base files in the
    // installation's "language\" folder, and opens it. False, with the
    // failure message, when it cannot be opened; false without a message for
    // an index outside names. No file is selected after a failure.
    bool SelectLanguageFile(std::vector<std::string> names, std::int32_t baseIndexRu, std::int32_t baseIndexEn,
                            std::int32_t selectedIndex, std::uint16_t messageLangId);
    // Closes the files and releases the names.
    void ShutDown();

private:
    std::string ReadBaseLanguageText(const std::string& key);
    std::string ReadBaseLanguageLines(const std::string& key, bool skipFirstLine);
    // Reports the file `name` that `file` could not open or read, with what its source met.
    void ReportLanguageFileError(const TextFileReader& file, const std::string& name);

    const std::string* FileName(std::int32_t index) const;
    std::int32_t BaseLanguageIndex() const;
    // The origin of a text from the base file of the message language.
    TextOrigin BaseLanguageOrigin() const;
    std::wstring LanguageFolder() const;
    void Fail(TextFileReader& file, const std::string& name);

    SetupState& setup_;
    LanguagePlatform& platform_;
};

}  // namespace kavrel
