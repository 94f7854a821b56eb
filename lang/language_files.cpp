#include "lang/language_files.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "base/setup_state.h"
#include "platform/folder_handle.h"
#include "platform/unique_handle.h"

namespace kavrel {

namespace {

// Opened for reading only and shared with other readers: a language file
// may be open in the application at the same time.
class SystemFile final : public ByteSource {
public:
    explicit SystemFile(std::wstring path) : path_(std::move(path)) {}

    // The records name no file: the language support tells it by the name its box shows.
    std::optional<Failure> Open() override {
        file_.reset(::CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file_) return WindowsFailure("cannot open the language support file", ::GetLastError(), {});
        return std::nullopt;
    }

    Result<std::size_t> Read(char* buffer, std::size_t capacity) override {
        if (!file_) return Refusal("the language support file is not open", ERROR_INVALID_HANDLE, {});
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(capacity, MAXDWORD));
        DWORD got = 0;
        if (!::ReadFile(file_.get(), buffer, wanted, &got, nullptr))
            return WindowsFailure("cannot read the language support file", ::GetLastError(), {});
        if (got > wanted) return Refusal("the system read more than was asked", ERROR_READ_FAULT, {});
        return std::size_t{got};
    }

    void Close() override { file_.reset(); }

private:
    std::wstring path_;
    UniqueHandle file_;
};

class SystemLanguagePlatform final : public LanguagePlatform {
public:
    std::unique_ptr<ByteSource> FileAt(const std::wstring& path) override { return std::make_unique<SystemFile>(path); }

    bool FileExists(const std::wstring& path) override { return IsExistingFile(path); }

    void ReportError(const Failure& failure) override { errors.push_back(failure); }

    std::vector<Failure> errors;
};

SystemLanguagePlatform& Platform() {
    static SystemLanguagePlatform platform;
    return platform;
}

}  // namespace

LanguageSupport& LanguageModule() {
    static LanguageSupport module(CurrentSetup(), Platform());
    return module;
}

std::vector<Failure> TakeLanguageFileErrors() { return std::exchange(Platform().errors, {}); }

void ShutDownLanguageFiles() { LanguageModule().ShutDown(); }

}  // namespace kavrel
