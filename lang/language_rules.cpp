#include "lang/language_rules.h"

#include "base/windows_codes.h"

#include <algorithm>
#include <utility>

#include "base/text.h"

namespace kavrel {

namespace {

constexpr char kEndOfText = 26;
// Large enough that a language file is read in a few calls.
constexpr std::size_t kReadBufferSize = 4096;
// Placeholders run from "%1" to "%4".
constexpr std::size_t kMaxArguments = 4;

bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsTrimmed(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsTrimmed(text.back())) text.remove_suffix(1);
    return text;
}

// Every occurrence of the placeholder within a piece replaced by the value;
// false when no piece holds it. Scanning goes on after the inserted value, so
// a value holding the placeholder is not replaced again in this step.
bool ReplaceAll(ShownText& text, std::string_view placeholder, const ShownText& value) {
    bool found = false;
    ShownText replaced;
    for (const TextPiece& piece : text.Pieces()) {
        const std::string_view bytes = piece.bytes;
        std::size_t from = 0;
        for (std::size_t at = bytes.find(placeholder); at != std::string_view::npos;
             at = bytes.find(placeholder, from)) {
            found = true;
            replaced += ShownText(bytes.substr(from, at - from), piece.origin);
            replaced += value;
            from = at + placeholder.size();
        }
        replaced += ShownText(bytes.substr(from), piece.origin);
    }
    if (found) text = std::move(replaced);
    return found;
}

}  // namespace

bool IsHeaderFor(std::string_view line, std::string_view key) {
    if (line.empty() || line.front() != '[') return false;
    const std::string lowered = LowerAscii(Trim(line));
    return lowered.find(LowerAscii(key) + "]") == 1;
}

ShownText ReplacePlaceholders(ShownText text, const std::vector<ShownText>& arguments) {
    const std::size_t count = std::min(arguments.size(), kMaxArguments);
    for (std::size_t n = 0; n < count; ++n) {
        const std::string placeholder{'%', static_cast<char>('1' + n)};
        if (!ReplaceAll(text, placeholder, arguments[n])) break;
    }
    return text;
}

Failure LanguageFileFailure(const ShownText& name, std::optional<Failure> met, CodeLocation where) {
    // The source's record knows the call and its error, not the name the box tells.
    Failure failure = met ? std::move(*met) : Refusal("cannot handle the language support file", win32::kInvalidData, {}, where);
    failure.step = "language file";
    if (failure.subject.Empty()) failure.subject = name;
    return failure;
}

MessagePair LanguageFileErrorMessage(const ShownText& name) {
    return {"Can't handle the language support file " + name, "Не удаётся работать с файлом языковой поддержки " + name};
}

TextFileReader::TextFileReader() : buffer_(kReadBufferSize) {}
TextFileReader::~TextFileReader() { Close(); }

void TextFileReader::Attach(std::unique_ptr<ByteSource> source) {
    Close();
    source_ = std::move(source);
}

bool TextFileReader::Open() {
    Close();
    sourceFailure_.reset();
    if (!source_) return false;
    sourceFailure_ = source_->Open();
    if (sourceFailure_) return false;
    open_ = true;
    position_ = filled_ = 0;
    sourceDone_ = textEnded_ = false;
    return true;
}

void TextFileReader::Close() {
    if (!open_) return;
    open_ = false;
    source_->Close();
}

// Makes a byte available unless the source is exhausted; false when the read failed.
bool TextFileReader::Fill() {
    if (position_ < filled_ || sourceDone_) return true;
    Result<std::size_t> count = source_->Read(buffer_.data(), buffer_.size());
    if (!count.HasValue()) {
        sourceFailure_ = std::move(count.failure());
        return false;
    }
    if (count.value() > buffer_.size()) return false;
    position_ = 0;
    filled_ = count.value();
    sourceDone_ = filled_ == 0;
    return true;
}

std::optional<std::string> TextFileReader::ReadLine() {
    if (!open_) return std::nullopt;
    std::string line;
    while (!textEnded_) {
        if (!Fill()) return std::nullopt;
        if (sourceDone_) {
            textEnded_ = true;
            break;
        }
        const char* begin = buffer_.data() + position_;
        const char* end = buffer_.data() + filled_;
        const char* stop = std::find_if(begin, end, [](char c) { return c == '\n' || c == '\r' || c == kEndOfText; });
        line.append(begin, stop);
        position_ = static_cast<std::size_t>(stop - buffer_.data());
        if (stop == end) continue;
        if (*stop == kEndOfText) {
            textEnded_ = true;
            break;
        }
        ++position_;
        if (*stop == '\n') break;
    }
    return line;
}

std::optional<bool> TextFileReader::AtEnd() {
    if (!open_) return std::nullopt;
    if (textEnded_) return true;
    if (!Fill()) return std::nullopt;
    return sourceDone_ || buffer_[position_] == kEndOfText;
}

}  // namespace kavrel
