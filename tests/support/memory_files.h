#pragma once
// Language files in memory for the native tests: a table of files by path,
// each with its bytes and the faults to play.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "lang/language_rules.h"

namespace kavrel::testing {

struct MemoryFile {
    std::string bytes;
    std::size_t chunk = 1;                   // most bytes one read hands out
    std::size_t failAt = std::string::npos;  // reads from this offset on fail
    bool locked = false;                     // opens fail
    int opens = 0;
    bool open = false;
};

using FileTable = std::map<std::string, std::shared_ptr<MemoryFile>>;

// Bytes of a MemoryFile, read through the faults it plays.
class MemorySource final : public ByteSource {
public:
    // The file that the table holds for path at the time of each open.
    MemorySource(const FileTable& files, std::string path) : files_(&files), path_(std::move(path)) {}
    // Always the same file.
    explicit MemorySource(MemoryFile file) : own_(std::make_shared<MemoryFile>(std::move(file))) {}
    std::optional<Failure> Open() override {
        Close();
        std::shared_ptr<MemoryFile> file = own_;
        if (files_) {
            auto found = files_->find(path_);
            if (found != files_->end()) file = found->second;
        }
        // Told as the system tells a file that another program holds.
        if (!file || file->locked) return WindowsFailure("cannot open", file ? 32 : 2, {});
        file_ = file;
        file_->open = true;
        ++file_->opens;
        at_ = 0;
        return std::nullopt;
    }
    Result<std::size_t> Read(char* buffer, std::size_t capacity) override {
        if (!file_ || at_ >= file_->failAt) return WindowsFailure("cannot read", 23, {});
        std::size_t count = std::min({capacity, file_->chunk, file_->bytes.size() - at_});
        std::memcpy(buffer, file_->bytes.data() + at_, count);
        at_ += count;
        return std::size_t{count};
    }
    void Close() override {
        if (file_) file_->open = false;
        file_.reset();
    }

private:
    const FileTable* files_ = nullptr;
    std::string path_;
    std::shared_ptr<MemoryFile> own_;
    std::shared_ptr<MemoryFile> file_;
    std::size_t at_ = 0;
};

}  // namespace kavrel::testing
