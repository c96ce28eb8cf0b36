// The reference file reader on arbitrary files. The checksum is put right first, so that
// the inputs reach the checks behind it; a file read is written again, and that reads
// back and writes the same bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "complex/reference_file.h"

namespace {

std::string scratchPath(const char* name) {
    return "/tmp/corvane-fuzz-reference-" + std::to_string(::getpid()) + name;
}

bool writeScratch(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

std::vector<std::uint8_t> readScratch(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return bytes;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
        bytes.push_back(static_cast<std::uint8_t>(c));
    std::fclose(file);
    return bytes;
}

// The FNV-1a checksum of everything before the last 8 bytes, written into them.
void reseal(std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < 8)
        return;
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (std::size_t k = 0; k + 8 < bytes.size(); ++k) {
        hash ^= bytes[k];
        hash *= 0x100000001b3ULL;
    }
    for (std::size_t k = 0; k < 8; ++k)
        bytes[bytes.size() - 8 + k] = static_cast<std::uint8_t>(hash >> (8 * k));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    reseal(bytes);
    const std::string input = scratchPath(".ref");
    if (!writeScratch(input, bytes))
        return 0;
    // A bound of 64 MiB: large claims are refused, not allocated.
    const complex::ReferenceFileRead read =
        complex::readReferenceFile(input, std::size_t{64} << 20);
    if (read.reference == nullptr) {
        if (read.error.empty())
            __builtin_trap();
        return 0;
    }
    const std::string output = scratchPath("-again.ref");
    if (!complex::writeReferenceFile(output, *read.reference->orbits).ok)
        __builtin_trap();
    // The input may spell the point otherwise than ours: what we write reads back and is
    // written again to the same bytes.
    const complex::ReferenceFileRead again =
        complex::readReferenceFile(output, std::size_t{64} << 20);
    const std::string third = scratchPath("-third.ref");
    if (again.reference == nullptr ||
        !complex::writeReferenceFile(third, *again.reference->orbits).ok ||
        readScratch(output) != readScratch(third))
        __builtin_trap();
    std::remove(output.c_str());
    std::remove(third.c_str());
    return 0;
}
