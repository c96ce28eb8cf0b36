#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "complex/perturbation.h"
#include "platform/file_writer.h"

namespace complex {

// A reference file holds the orbits of one reference point, so that the pictures of one
// location (the frames of a zoom, the tiles of a large picture) read them instead of
// each computing them again. The tables are not kept: each picture builds them for its
// own reach from the orbits, which is cheap.
//
// Layout, every number little-endian and of fixed width:
//   the line "Corvane reference orbits\n", u32 format version,
//   u32 type, f64 parameter real, f64 parameter imaginary, i32 iteration limit,
//   u64 precision in bits, the point x and y as exact hexadecimal text (u32 length,
//   then the characters), u8 whether the critical orbit follows;
//   each orbit: u8 escaped, f64 cr, f64 ci, f64 first second value (real, imaginary),
//   u64 states, u64 second values (Spider: one a state, else 0), the states (f64 zr,
//   zi, outside), the second values (f64 real, imaginary), u64 small margins (the
//   margins below double's normal range) and each as u64 state index, f64 mantissa,
//   i64 binary exponent;
//   u64 FNV-1a checksum of every byte before it, and nothing after.
inline constexpr std::uint32_t kReferenceFileVersion = 2;

struct ReferenceFileRead {
    // The orbits, without tables; nullptr when the file is refused.
    std::shared_ptr<const SharedReference> reference;
    // Why the file is refused: one line, naming no file.
    std::string error;
    // The file's size in bytes.
    std::size_t bytes = 0;
};

// Reads a reference file. Refuses (with the reason) anything that is not a regular file,
// is damaged, truncated or longer than its contents, of another format version, or
// whose orbits would need more than mostBytes of memory. Every count is checked against
// the bytes the file really has before anything is allocated for it.
ReferenceFileRead readReferenceFile(const std::string& path, std::size_t mostBytes);

// Writes orbits to path through a temporary file renamed into place; a path that names
// anything but a regular file (or nothing) is refused.
platform::FileWriteResult writeReferenceFile(const std::string& path,
                                             const ReferenceOrbits& orbits);

}  // namespace complex
