#pragma once
// The format of the language support files: how their bytes become lines,
// which line opens a section, how placeholders are put in, and the failure
// message. Portable: the bytes come from any ByteSource.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "base/failure.h"
#include <string_view>
#include <vector>

#include "base/shown_text.h"

namespace kavrel {

// The key of the version section; its value line is an integer.
inline constexpr std::string_view kLanguageVersionKey = "langver";

// The line ends that join the lines of a multi-line text.
inline constexpr std::string_view kLanguageLineEnd = "\r\n";

// True when the line opens the section of key: it begins with "[", and,
// trimmed of characters up to code 32 and with A-Z lowered, holds the key
// (lowered the same way) and "]" right after that "[". Text after the "]"
// does not matter; a blank before the "[" or after it does.
bool IsHeaderFor(std::string_view line, std::string_view key);

// Puts arguments 1 to 4 in place of "%1" to "%4", every occurrence, each step
// on the text the step before left. A placeholder is looked for only while
// the one before it was found, and only when an argument stands for it: one
// beyond the arguments stays as written. Each piece keeps its origin; a
// placeholder is looked for within a piece, never across two.
ShownText ReplacePlaceholders(ShownText text, const std::vector<ShownText>& arguments);

// An English text with its Russian counterpart.
struct MessagePair {
    ShownText english;
    ShownText russian;
};

// The one failure message of the language files; name is the file name, or
// the whole path given to the version probe.
MessagePair LanguageFileErrorMessage(const ShownText& name);

// The failure of a language file, told by `name` (its name or path, as its
// box says it): the failure of the open or read that `met` where there was
// one, else the installer's own finding that the file makes no sense.
Failure LanguageFileFailure(const ShownText& name, std::optional<Failure> met = std::nullopt,
                            CodeLocation where = CodeLocation::Here());

// Where a reader takes its bytes from: a file of the system, or memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Opens, or opens again, at the first byte: nothing when it is open,
    // else why not.
    virtual std::optional<Failure> Open() = 0;
    // Up to capacity next bytes into buffer: their count, 0 at the end, or
    // the failure of the read (or of a source that is not open).
    virtual Result<std::size_t> Read(char* buffer, std::size_t capacity) = 0;
    // Closes; nothing happens when it is not open.
    virtual void Close() = 0;
};

// A sequential reader of a language support file, line by line. A line ends
// at a line feed; every carriage return is dropped, so CR LF ends a line too
// and a lone CR joins its neighbours. Ctrl-Z (code 26) ends the text. Line
// ends are never part of a line. Reading at the end gives empty lines.
class TextFileReader {
public:
    TextFileReader();
    ~TextFileReader();
    TextFileReader(const TextFileReader&) = delete;
    TextFileReader& operator=(const TextFileReader&) = delete;

    // Takes another source, closing the reader first.
    void Attach(std::unique_ptr<ByteSource> source);
    // Opens, or opens again, at the first line; false when no source is
    // attached or it cannot be opened (the reader is then closed).
    bool Open();
    // The next line; nullopt when the reader is not open or a read failed.
    std::optional<std::string> ReadLine();
    // True when nothing is left before the end of the text; nullopt when the
    // reader is not open or the read ahead failed.
    std::optional<bool> AtEnd();
    // Closes the source; nothing happens when the reader is not open.
    void Close();
    // True between a successful Open and Close.
    bool IsOpen() const { return open_; }
    // What the source met since the last Open: its open or a read that failed.
    const std::optional<Failure>& SourceFailure() const { return sourceFailure_; }

private:
    bool Fill();

    std::unique_ptr<ByteSource> source_;
    std::vector<char> buffer_;
    std::size_t position_ = 0;
    std::size_t filled_ = 0;
    bool open_ = false;
    bool sourceDone_ = false;
    bool textEnded_ = false;
    std::optional<Failure> sourceFailure_;
};

}  // namespace kavrel
