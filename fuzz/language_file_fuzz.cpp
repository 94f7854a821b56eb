// The format of the language files on any bytes: the line reader, read in
// chunks of any size, gives the lines of the documented model; the header
// test ignores the key's letter case and always knows "[key]"; placeholder
// replacement keeps a text whose arguments are the placeholders themselves.
//
// Input: the chunk size of every read (0: 4096), the position of a failing
// read (4 bytes, 0: none), a key (NUL-ended), then the file's bytes.
#include <optional>
#include <string>
#include <vector>

#include "base/text.h"
#include "fuzz_support.h"
#include "lang/language_rules.h"
#include "support/memory_files.h"

namespace {

using kavrel::testing::MemoryFile;
using kavrel::testing::MemorySource;

// The text up to Ctrl-Z, split at line feeds with every CR dropped; a final
// line feed opens no line of its own.
std::vector<std::string> ModelLines(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\x1A'));
    std::vector<std::string> lines;
    if (bytes.empty()) return lines;
    for (;;) {
        const std::size_t end = bytes.find('\n');
        std::string line;
        for (char c : bytes.substr(0, end))
            if (c != '\r') line += c;
        lines.push_back(std::move(line));
        if (end == std::string_view::npos || end + 1 == bytes.size()) break;
        bytes.remove_prefix(end + 1);
    }
    return lines;
}

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

void CheckReader(const std::string& bytes, std::size_t chunk, std::size_t failAt) {
    MemoryFile file;
    file.bytes = bytes;
    file.chunk = chunk;
    file.failAt = failAt;
    kavrel::TextFileReader reader;
    FUZZ_CHECK(!reader.ReadLine());
    reader.Attach(std::make_unique<MemorySource>(std::move(file)));
    FUZZ_CHECK(reader.Open());
    const std::vector<std::string> expected = ModelLines(bytes);
    std::size_t count = 0;
    bool failed = false;
    for (;;) {
        const std::optional<bool> atEnd = reader.AtEnd();
        if (!atEnd) {
            failed = true;
            break;
        }
        if (*atEnd) break;
        const std::optional<std::string> line = reader.ReadLine();
        if (!line) {
            failed = true;
            break;
        }
        FUZZ_CHECK(count < expected.size());
        FUZZ_CHECK(*line == expected[count]);
        ++count;
    }
    // Only a failing read stops the reader early; the read that finds the end fails too.
    FUZZ_CHECK(failed ? failAt <= bytes.size() : count == expected.size());
    if (!failed) {
        const std::optional<std::string> past = reader.ReadLine();
        FUZZ_CHECK(past && past->empty());
    }
    // Opening again starts over at the first line.
    FUZZ_CHECK(reader.Open());
    if (!expected.empty() && failAt == std::string::npos) FUZZ_CHECK(reader.ReadLine() == expected[0]);
    reader.Close();
    FUZZ_CHECK(!reader.IsOpen() && !reader.AtEnd());
}

void CheckHeaders(const std::vector<std::string>& lines, const std::string& key) {
    FUZZ_CHECK(kavrel::IsHeaderFor("[" + key + "]", key));
    FUZZ_CHECK(kavrel::IsHeaderFor("[" + UpperAscii(key) + "] after", key));
    for (const std::string& line : lines) {
        const bool header = kavrel::IsHeaderFor(line, key);
        FUZZ_CHECK(header == kavrel::IsHeaderFor(line, UpperAscii(key)));
        if (header) FUZZ_CHECK(line.starts_with('['));
        FUZZ_CHECK(kavrel::IsHeaderFor("[" + key + "]" + line, key));
    }
}

// The text of a language file with the arguments put in, as bytes.
std::string Replaced(const std::string& text, const std::vector<kavrel::ShownText>& arguments) {
    return kavrel::ReplacePlaceholders(kavrel::LanguageFileText(text), arguments).Bytes();
}

void CheckPlaceholders(const std::string& text) {
    FUZZ_CHECK(Replaced(text, {}) == text);
    // A value holding its own placeholder is not replaced again.
    FUZZ_CHECK(Replaced(text, {"%1", "%2", "%3", "%4", "%5"}) == text);
    // Letters cannot form a placeholder: "%1" to "%n" are all gone when the
    // text held each of them, and nothing changes without "%1".
    const std::string replaced = Replaced(text, {"alpha", "beta", "gamma", "delta"});
    for (char n = '1'; n <= '4'; ++n) {
        const std::string placeholder{'%', n};
        if (text.find(placeholder) == std::string::npos) break;
        FUZZ_CHECK(replaced.find(placeholder) == std::string::npos);
    }
    if (text.find("%1") == std::string::npos) FUZZ_CHECK(replaced == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kavrel::fuzz::ByteReader in(data, size);
    const std::uint8_t chunk = in.Byte();
    const std::uint32_t failAt = in.U32();
    const std::string key = in.Text();
    const std::string bytes = in.Rest();

    CheckReader(bytes, chunk == 0 ? 4096 : chunk, std::string::npos);
    if (failAt != 0) CheckReader(bytes, chunk == 0 ? 4096 : chunk, failAt - 1);
    const std::vector<std::string> lines = ModelLines(bytes);
    CheckHeaders(lines, key);
    CheckPlaceholders(bytes);
    return 0;
}
