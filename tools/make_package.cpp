// Prepares the two payload parts of an installer and the header that tells
// the program its package version: either a real package file, checked and
// split in two, or a synthetic package with a real header and seeded
// pseudo-random content, so that builds are reproducible.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/package_check_rules.h"

namespace {

struct Options {
    std::string fromFile;
    std::uint64_t size = 0;
    std::uint64_t split = 0;
    std::uint64_t seed = 0;
    std::string baseName = "zyq";
    // Synthetic: the version written. Real file: the version the build was
    // given, which the header must record; none: the header's is taken.
    std::optional<std::uint64_t> version;
    std::string out1, out2;
    std::string versionHeader;
    // The installer built from these parts: a refused package must not leave
    // the one from an earlier package looking like the result of this build.
    std::string installer;
};

// A package refused by the build's check: its message is the tool's output.
class Refused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// splitmix64: small, fast and the same everywhere.
class SeededBytes {
public:
    explicit SeededBytes(std::uint64_t seed) : state_(seed) {}
    void Fill(unsigned char* data, std::size_t count) {
        for (std::size_t i = 0; i < count; i += 8) {
            std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            z ^= z >> 31;
            for (std::size_t k = 0; k < 8 && i + k < count; ++k) data[i + k] = static_cast<unsigned char>(z >> (8 * k));
        }
    }
private:
    std::uint64_t state_;
};

// Streams a package of a given size into the two part files.
class PartWriter {
public:
    PartWriter(const Options& o, std::uint64_t total) : split_(kavrel::SplitPackage(total, o.split).first), total_(total) {
        first_.open(o.out1, std::ios::binary | std::ios::trunc);
        second_.open(o.out2, std::ios::binary | std::ios::trunc);
        if (!first_ || !second_) throw std::runtime_error("cannot create the part files");
    }
    void Write(const unsigned char* data, std::size_t count) {
        while (count > 0) {
            std::ofstream& out = written_ < split_ ? first_ : second_;
            std::uint64_t room = written_ < split_ ? split_ - written_ : total_ - written_;
            std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(room, count));
            if (chunk == 0) throw std::runtime_error("more bytes than the package size");
            out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(chunk));
            written_ += chunk; data += chunk; count -= chunk;
        }
    }
    void Finish() {
        first_.close(); second_.close();
        if (!first_ || !second_ || written_ != total_) throw std::runtime_error("writing the part files failed");
    }
private:
    std::uint64_t split_, total_, written_ = 0;
    std::ofstream first_, second_;
};

void MakeSynthetic(const Options& o) {
    if (o.size < 8) throw std::runtime_error("a package needs at least its 8 header bytes");
    if (!o.version || *o.version > 0xFFFF) throw std::runtime_error("a synthetic package needs --version 0 to 65535");
    PartWriter writer(o, o.size);
    unsigned char header[8] = {0, 0, 0, 0, 0x22, 0x02,
                               static_cast<unsigned char>(*o.version & 0xFF),
                               static_cast<unsigned char>((*o.version >> 8) & 0xFF)};
    const std::string magic = kavrel::PackageMagic(o.baseName);
    std::memcpy(header, magic.data(), magic.size());
    writer.Write(header, sizeof header);
    SeededBytes random(o.seed);
    std::vector<unsigned char> block(1 << 20);
    for (std::uint64_t left = o.size - 8; left > 0;) {
        std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
        random.Fill(block.data(), chunk);
        writer.Write(block.data(), chunk);
        left -= chunk;
    }
    writer.Finish();
}

// Closes a POSIX file descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { if (fd_ >= 0) ::close(fd_); }
    int get() const { return fd_; }
private:
    int fd_;
};

// The size and first bytes of a package file, or its refusal when it cannot be read.
kavrel::PackageFileFacts ReadFacts(const std::string& path) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) throw Refused(kavrel::UnreadablePackageProblem(path, std::strerror(errno)));
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) throw Refused(kavrel::UnreadablePackageProblem(path, std::strerror(errno)));
    if (!S_ISREG(info.st_mode)) throw Refused(kavrel::UnreadablePackageProblem(path, "not a regular file"));
    kavrel::PackageFileFacts facts;
    facts.size = static_cast<std::uint64_t>(info.st_size);
    char head[kavrel::kPackageHeaderBytes];
    std::size_t got = 0;
    while (got < sizeof head) {
        ssize_t n = ::read(file.get(), head + got, sizeof head - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw Refused(kavrel::UnreadablePackageProblem(path, std::strerror(errno)));
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    facts.head.assign(head, got);
    return facts;
}

// Checks the package, then splits it; returns the version its header records.
std::uint64_t SplitRealFile(const Options& o) {
    const kavrel::PackageFileFacts facts = ReadFacts(o.fromFile);
    const kavrel::PackageVerdict verdict = kavrel::CheckPackageFile(o.fromFile, facts, o.baseName, o.version);
    if (!verdict.accepted) throw Refused(verdict.problem);

    std::ifstream in(o.fromFile, std::ios::binary);
    if (!in) throw Refused(kavrel::UnreadablePackageProblem(o.fromFile, std::strerror(errno)));
    PartWriter writer(o, facts.size);
    std::vector<char> block(1 << 20);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        writer.Write(reinterpret_cast<unsigned char*>(block.data()), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) throw Refused(kavrel::UnreadablePackageProblem(o.fromFile, "a read failed"));
    writer.Finish();
    return verdict.version;
}

// The version for the program and its version resource, both of which include this header.
void WriteVersionHeader(const std::string& path, std::uint64_t version) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "#pragma once\n"
           "// The version the carried package records in its header (written by make_package).\n"
           "#define KAVREL_PACKAGE_VERSION " << version << "\n"
           "#define KAVREL_PACKAGE_VERSION_TEXT \"" << version << "\"\n";
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::uint64_t Number(const char* text) {
    char* end = nullptr;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (!*text || *end) throw std::runtime_error(std::string("not a number: ") + text);
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    try {
        for (int i = 1; i + 1 < argc; i += 2) {
            std::string key = argv[i];
            const char* value = argv[i + 1];
            if (key == "--from") o.fromFile = value;
            else if (key == "--size") o.size = Number(value);
            else if (key == "--split") o.split = Number(value);
            else if (key == "--seed") o.seed = Number(value);
            else if (key == "--base-name") o.baseName = value;
            else if (key == "--version") o.version = Number(value);
            else if (key == "--out1") o.out1 = value;
            else if (key == "--out2") o.out2 = value;
            else if (key == "--version-header") o.versionHeader = value;
            else if (key == "--installer") o.installer = value;
            else throw std::runtime_error("unknown option " + key);
        }
        if (argc % 2 == 0) throw std::runtime_error(std::string("no value after ") + argv[argc - 1]);
        if (o.out1.empty() || o.out2.empty()) throw std::runtime_error("--out1 and --out2 are needed");
        // Nothing of an earlier build outlives a refusal.
        for (const std::string& stale : {o.out1, o.out2, o.versionHeader, o.installer})
            if (!stale.empty()) std::remove(stale.c_str());
        std::uint64_t version = 0;
        if (o.fromFile.empty()) {
            MakeSynthetic(o);
            version = *o.version;
        } else {
            version = SplitRealFile(o);
        }
        if (!o.versionHeader.empty()) WriteVersionHeader(o.versionHeader, version);
        return 0;
    } catch (const Refused& e) {
        // One line that names the file and what was found.
        std::cerr << "make_package: refused: " << e.what() << "\n";
    } catch (const std::exception& e) {
        std::cerr << "make_package: " << e.what() << "\n";
    }
    // No part is left behind, whole or cut off, for a later build to take.
    for (const std::string& output : {o.out1, o.out2, o.versionHeader})
        if (!output.empty()) std::remove(output.c_str());
    return 1;
}
