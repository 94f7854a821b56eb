// Stores the reference digest of a linked installer in its digest slot, so
// that the installer can check its own file at run time.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/integrity_rules.h"

namespace {

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::size_t FindOnlySlot(const std::vector<std::uint8_t>& file) {
    const auto& marker = kavrel::kDigestSlotMarker;
    std::size_t found = std::string::npos;
    for (auto it = file.begin();; ++it) {
        it = std::search(it, file.end(), marker.begin(), marker.end());
        if (it == file.end()) break;
        if (found != std::string::npos) throw std::runtime_error("the digest slot marker occurs more than once");
        found = static_cast<std::size_t>(it - file.begin());
    }
    if (found == std::string::npos) throw std::runtime_error("no digest slot in the file");
    if (found + sizeof(kavrel::DigestSlot) > file.size()) throw std::runtime_error("the digest slot is cut off");
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc != 2) throw std::runtime_error("usage: stamp_digest <installer.exe>");
        const std::string path = argv[1];
        std::vector<std::uint8_t> file = ReadAll(path);
        auto layout = kavrel::ParseImageLayout(file.data(), file.size());
        if (!layout) throw std::runtime_error("not a PE image: " + path);
        if (layout->certTableOffset != 0) throw std::runtime_error("stamp before signing, not after");
        const std::size_t slot = FindOnlySlot(file);

        kavrel::DigestSlot stamped{};
        std::memcpy(&stamped, file.data() + slot, sizeof stamped);
        stamped.slotFileOffset = static_cast<std::uint32_t>(slot);
        stamped.reserved = 0;
        stamped.coveredLength = file.size();
        const auto bytes = kavrel::ContentDigest(file.data(), file.size(), kavrel::DigestMasks(*layout, slot));
        std::memcpy(stamped.digest, bytes.data(), bytes.size());

        std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(static_cast<std::streamoff>(slot));
        out.write(reinterpret_cast<const char*>(&stamped), sizeof stamped);
        if (!out.flush()) throw std::runtime_error("cannot write " + path);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "stamp_digest: " << e.what() << "\n";
        return 1;
    }
}
