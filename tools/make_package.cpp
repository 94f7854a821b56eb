// Prepares the two payload parts of an installer: either a real package file
// split in two, or a synthetic package with a real header and seeded
// pseudo-random content, so that builds are reproducible.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Options {
    std::string fromFile;
    std::uint64_t size = 0;
    std::uint64_t split = 0;
    std::uint64_t seed = 0;
    std::string baseName = "zyq";
    std::uint32_t version = 0;
    std::string out1, out2;
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
    PartWriter(const Options& o, std::uint64_t total) : split_(o.split), total_(total) {
        // A split at or beyond the end keeps the whole package in the first part.
        if (split_ > total_) split_ = total_;
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
    PartWriter writer(o, o.size);
    unsigned char header[8] = {0, 0, 0, 0, 0x22, 0x02,
                               static_cast<unsigned char>(o.version & 0xFF),
                               static_cast<unsigned char>((o.version >> 8) & 0xFF)};
    std::memcpy(header, o.baseName.c_str(), std::min<std::size_t>(3, o.baseName.size()));
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

void SplitRealFile(const Options& o) {
    std::ifstream in(o.fromFile, std::ios::binary | std::ios::ate);
    if (!in) throw std::runtime_error("cannot open " + o.fromFile);
    std::uint64_t total = static_cast<std::uint64_t>(in.tellg());
    in.seekg(0);
    Options split = o;
    if (split.split > total) split.split = total;
    PartWriter writer(split, total);
    std::vector<char> block(1 << 20);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        writer.Write(reinterpret_cast<unsigned char*>(block.data()), static_cast<std::size_t>(in.gcount()));
    }
    writer.Finish();
}

std::uint64_t Number(const char* text) {
    char* end = nullptr;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (!*text || *end) throw std::runtime_error(std::string("not a number: ") + text);
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        Options o;
        for (int i = 1; i + 1 < argc; i += 2) {
            std::string key = argv[i];
            const char* value = argv[i + 1];
            if (key == "--from") o.fromFile = value;
            else if (key == "--size") o.size = Number(value);
            else if (key == "--split") o.split = Number(value);
            else if (key == "--seed") o.seed = Number(value);
            else if (key == "--base-name") o.baseName = value;
            else if (key == "--version") o.version = static_cast<std::uint32_t>(Number(value));
            else if (key == "--out1") o.out1 = value;
            else if (key == "--out2") o.out2 = value;
            else throw std::runtime_error("unknown option " + key);
        }
        if (o.out1.empty() || o.out2.empty()) throw std::runtime_error("--out1 and --out2 are needed");
        if (o.fromFile.empty()) MakeSynthetic(o); else SplitRealFile(o);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "make_package: " << e.what() << "\n";
        return 1;
    }
}
