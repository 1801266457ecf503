#include "tests/support/font_collection.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>

namespace {

using Bytes = std::vector<unsigned char>;

uint32_t Read32(const Bytes& b, size_t at) {
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | uint32_t{b[at + 3]};
}

void Write32(Bytes& b, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

}  // namespace

// Each face keeps its table directory; the tables follow all directories, and
// their offsets count from the start of the collection.
bool WriteFontCollection(const std::filesystem::path& target, const std::vector<std::filesystem::path>& faces) {
    std::vector<Bytes> fonts;
    for (const auto& face : faces) {
        std::ifstream in(face, std::ios::binary);
        fonts.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (fonts.back().size() < 12) return false;
    }
    Bytes out(12 + 4 * fonts.size());
    std::copy_n("ttcf\0\1\0\0", 8, out.begin());
    Write32(out, 8, static_cast<uint32_t>(fonts.size()));
    std::vector<size_t> directories;
    for (size_t f = 0; f < fonts.size(); ++f) {
        Write32(out, 12 + 4 * f, static_cast<uint32_t>(out.size()));
        directories.push_back(out.size());
        const size_t tables = (fonts[f][4] << 8) | fonts[f][5];
        out.insert(out.end(), fonts[f].begin(), fonts[f].begin() + static_cast<std::ptrdiff_t>(12 + 16 * tables));
    }
    for (size_t f = 0; f < fonts.size(); ++f) {
        const size_t tables = (fonts[f][4] << 8) | fonts[f][5];
        for (size_t t = 0; t < tables; ++t) {
            const size_t record = directories[f] + 12 + 16 * t;
            const uint32_t offset = Read32(out, record + 8), length = Read32(out, record + 12);
            out.resize((out.size() + 3) & ~size_t{3});
            Write32(out, record + 8, static_cast<uint32_t>(out.size()));
            out.insert(out.end(), fonts[f].begin() + offset, fonts[f].begin() + offset + length);
        }
    }
    std::ofstream file(target, std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}
