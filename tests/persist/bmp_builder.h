#pragma once

// Builds bitmap files byte by byte, independently of the program's own writer, so
// that the loader is tested against the format rather than against itself.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace bmp_test {

inline void put16(std::string& s, std::size_t at, std::uint32_t v) {
    if (s.size() < at + 2)
        s.resize(at + 2, '\0');
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void put32(std::string& s, std::size_t at, std::uint32_t v) {
    put16(s, at, v & 0xFFFF);
    put16(s, at + 2, v >> 16);
}
inline std::uint32_t get32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return v;
}

// An uncompressed bitmap as other programs write it.
struct Description {
    std::int32_t width = 1;
    std::int32_t height = 1;  // negative: rows top-down
    std::uint16_t bitsPerPixel = 24;
    std::uint32_t compression = 0;
    std::uint32_t headerSize = 40;
    std::uint32_t colorsUsed = 0;
    std::vector<std::uint32_t> palette;  // 0x00RRGGBB, stored as B, G, R, 0
    std::vector<std::uint32_t> masks;    // red, green, blue; stored after a 40-byte header
    // The stored rows in file order, each already padded.
    std::vector<std::string> rows;
    std::int64_t dataOffset = -1;  // -1: right after the headers
};

inline std::string build(const Description& description) {
    std::string s;
    s += "BM";
    put32(s, 14, description.headerSize);
    put32(s, 18, static_cast<std::uint32_t>(description.width));
    put32(s, 22, static_cast<std::uint32_t>(description.height));
    put16(s, 26, 1);
    put16(s, 28, description.bitsPerPixel);
    put32(s, 30, description.compression);
    put32(s, 46, description.colorsUsed);
    s.resize(14 + description.headerSize, '\0');
    for (std::size_t i = 0; i < description.masks.size(); ++i) {
        if (description.headerSize >= 52) {
            put32(s, 54 + 4 * i, description.masks[i]);
        } else {
            put32(s, s.size(), description.masks[i]);
        }
    }
    for (const std::uint32_t c : description.palette)
        put32(s, s.size(), c);
    const std::size_t offset =
        description.dataOffset < 0 ? s.size() : static_cast<std::size_t>(description.dataOffset);
    put32(s, 10, static_cast<std::uint32_t>(offset));
    if (s.size() < offset)
        s.resize(offset, '\0');
    for (const std::string& row : description.rows)
        s += row;
    put32(s, 2, static_cast<std::uint32_t>(s.size()));
    return s;
}

// A 24-bit picture of width x height black pixels that take no disk space (a hole in a
// sparse file), followed by trailer.
inline void writeSparsePicture(const std::string& path, std::int32_t width, std::int32_t height,
                               const std::string& trailer) {
    Description d;
    d.width = width;
    d.height = height;
    d.dataOffset = 58;  // where the program's pictures keep their pixels
    const std::string header = build(d);
    const std::uint64_t rowSize =
        (std::uint64_t{3} * static_cast<std::uint32_t>(width) + 3) / 4 * 4;
    const std::uint64_t end = header.size() + rowSize * static_cast<std::uint32_t>(height);
    std::ofstream(path, std::ios::binary) << header;
    std::filesystem::resize_file(path, end);
    std::ofstream(path, std::ios::binary | std::ios::app) << trailer;
}

inline std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (const int v : values)
        s += static_cast<char>(v);
    return s;
}

}  // namespace bmp_test
