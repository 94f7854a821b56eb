// The language-support lookups over three in-memory language files built
// from the input: any selection, base files, faults and sequence of lookups.
// No lookup leaves the base file open; a lookup that reports nothing gives
// whole lines joined with CR LF; and with no failing reads the answers do
// not depend on how many bytes each read hands out.
//
// Input: eight configuration bytes, then NUL-ended texts: the three files,
// three keys, and the arguments of the formatted messages.
//   0: bit 0 Russian messages, bit 1 a multi-line lookup pending at the start,
//      bits 2-3 / 4-5 the Russian / English base file (3: none),
//      bits 6-7 the selected file (3: an index outside the names)
//   1: bytes per read (0: the whole buffer)
//   2: where reads start to fail, in 4-byte steps (255: never)
//   3: bits 0-1 the file whose reads fail (3: none), bits 2-4 files that cannot be opened
//   4-7: the lookups: bits 0-1 what (text, lines, formatted, version), bit 2 skip
//      the first line, bits 3-4 the key or the file, bit 5 switches the message
//      language, bit 6 clears the pending flag first
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/setup_state.h"
#include "base/text.h"
#include "fuzz_support.h"
#include "lang/language_support.h"
#include "support/memory_files.h"

namespace {

using kavrel::testing::FileTable;
using kavrel::testing::MemoryFile;
using kavrel::testing::MemorySource;

constexpr std::size_t kFileCount = 3;
const std::array<std::string, kFileCount> kNames = {"a.lng", "b.lng", "c.lng"};
const std::string kFolder = "C:\\App\\language\\";

class FuzzPlatform final : public kavrel::LanguagePlatform {
public:
    // The harness's paths are ASCII.
    std::unique_ptr<kavrel::ByteSource> FileAt(const std::wstring& path) override {
        return std::make_unique<MemorySource>(files, kavrel::NarrowAscii(path));
    }
    bool FileExists(const std::wstring& path) override { return files.count(kavrel::NarrowAscii(path)) > 0; }
    void ReportError(const kavrel::Failure&) override { ++messages; }

    FileTable files;
    int messages = 0;
};

struct Input {
    std::array<std::uint8_t, 8> config{};
    std::array<std::string, kFileCount> files;
    std::array<std::string, 3> keys;
    std::vector<kavrel::ShownText> arguments;
};

std::int32_t IndexOf(unsigned bits) { return bits == 3 ? -1 : static_cast<std::int32_t>(bits); }

// Whole lines joined with CR LF: no lone CR or LF, no Ctrl-Z, no final line end.
bool IsJoinedLines(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\x1A') return false;
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    }
    return !text.ends_with("\r\n");
}

// What a run of the lookups answered, and how many messages it showed.
struct Outcome {
    std::vector<std::string> answers;
    int messages = 0;
    bool operator==(const Outcome&) const = default;
};

Outcome Run(const Input& input, std::optional<std::size_t> chunkOverride) {
    const std::array<std::uint8_t, 8>& config = input.config;
    kavrel::SetupState setup;
    setup.installDir = L"C:\\App\\";
    setup.useRussian = (config[0] & 1) != 0;
    FuzzPlatform platform;
    for (std::size_t i = 0; i < kFileCount; ++i) {
        auto file = std::make_shared<MemoryFile>();
        file->bytes = input.files[i];
        file->chunk = chunkOverride ? *chunkOverride : config[1] == 0 ? 4096 : config[1];
        if ((config[3] & 3u) == i && config[2] != 255) file->failAt = config[2] * 4u;
        file->locked = (config[3] >> (2 + i) & 1u) != 0;
        platform.files[kFolder + kNames[i]] = std::move(file);
    }

    kavrel::LanguageSupport module(setup, platform);
    const std::int32_t selected = config[0] >> 6 == 3 ? 5 : config[0] >> 6;
    const bool selectedOk = module.SelectLanguageFile({kNames.begin(), kNames.end()}, IndexOf(config[0] >> 2 & 3u),
                                                      IndexOf(config[0] >> 4 & 3u), selected, 0x0419);
    FUZZ_CHECK(setup.languageFileIndex == (selectedOk ? selected : -1));
    if (selected == 5) FUZZ_CHECK(!selectedOk && platform.messages == 0);
    if (!selectedOk && selected != 5) FUZZ_CHECK(platform.messages == 1);
    module.multiLinePending = (config[0] & 2) != 0;

    Outcome outcome;
    for (std::size_t step = 4; step < config.size(); ++step) {
        const std::uint8_t op = config[step];
        const bool skipFirstLine = (op & 4) != 0;
        const unsigned which = op >> 3 & 3u;
        if (op & 32) setup.useRussian = !setup.useRussian;
        if (op & 64) module.multiLinePending = false;
        const std::string& key = input.keys[which % input.keys.size()];
        const int messagesBefore = platform.messages;
        std::string answer;
        switch (op & 3) {
        case 0:
            answer = module.GetLanguageText(key).Bytes();
            break;
        case 1:
            answer = module.GetLanguageLines(key, skipFirstLine).Bytes();
            break;
        case 2:
            answer = module.FormatLanguageMessage(key, input.arguments, skipFirstLine).Bytes();
            break;
        default: {
            const std::string path = which < kFileCount ? kFolder + kNames[which] : kFolder + "missing.lng";
            const std::int32_t version = module.ReadLanguageFileVersion(kavrel::WideFromAscii(path));
            if (which >= kFileCount) FUZZ_CHECK(version == 0 && platform.messages == messagesBefore);
            if (version != 0) FUZZ_CHECK(platform.messages == messagesBefore);
            FUZZ_CHECK(platform.messages - messagesBefore <= 1);
            answer = std::to_string(version);
            break;
        }
        }
        // Every base lookup closes the base file before it returns.
        FUZZ_CHECK(!module.baseLanguageFile.IsOpen());
        if (!selectedOk && (op & 3) != 3) FUZZ_CHECK(answer.empty() && platform.messages == messagesBefore);
        if ((op & 3) < 2 && platform.messages == messagesBefore) FUZZ_CHECK(IsJoinedLines(answer));
        outcome.answers.push_back(std::move(answer));
    }
    module.ShutDown();
    FUZZ_CHECK(!module.currentLanguageFile.IsOpen() && module.languageFileNames.empty());
    for (const auto& entry : platform.files) FUZZ_CHECK(!entry.second->open);
    outcome.messages = platform.messages;
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kavrel::fuzz::ByteReader in(data, size);
    Input input;
    for (std::uint8_t& byte : input.config) byte = in.Byte();
    for (std::string& file : input.files) file = in.Text();
    for (std::string& key : input.keys) key = in.Text();
    while (!in.AtEnd() && input.arguments.size() < 5) input.arguments.push_back(kavrel::SystemText(in.Text()));

    const Outcome outcome = Run(input, std::nullopt);
    const bool failingReads = (input.config[3] & 3u) != 3 && input.config[2] != 255;
    if (!failingReads) {
        FUZZ_CHECK(Run(input, std::size_t{1}) == outcome);
        FUZZ_CHECK(Run(input, std::size_t{1} << 20) == outcome);
    }
    return 0;
}
