#include "persist/bitmap_file.h"

#include "platform/byte_source.h"
#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <vector>

namespace persist {

namespace {

constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionBitFields = 3;
constexpr std::uint32_t kCompressionAlphaBitFields = 6;
constexpr std::uint32_t kCoreHeaderSize = 12;

using platform::ByteSource;
using platform::FileByteSource;
using platform::MemoryByteSource;

std::uint16_t u16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t u32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t i32(const unsigned char* p) {
    return static_cast<std::int32_t>(u32(p));
}

void put16(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char* p, std::uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

// One colour channel described by a bit mask: the bits are shifted down and the
// value scaled to 0..255.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t maximum = 0;

    static Channel of(std::uint32_t mask) {
        Channel c;
        c.mask = mask;
        if (mask == 0)
            return c;
        while (((mask >> c.shift) & 1u) == 0)
            ++c.shift;
        c.maximum = mask >> c.shift;
        return c;
    }
    unsigned value(std::uint32_t pixel) const {
        if (maximum == 0)
            return 0;
        const std::uint64_t v = (pixel & mask) >> shift;
        return static_cast<unsigned>((v * 255 + maximum / 2) / maximum);
    }
};

// Everything the headers say, after validation.
struct Layout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool topDown = false;
    std::uint32_t bitsPerPixel = 0;
    std::uint64_t rowSize = 0;
    std::uint64_t dataOffset = 0;
    std::vector<platform::Color> palette;
    Channel red, green, blue;
};

BitmapLoad refuse(std::string reason) {
    BitmapLoad result;
    result.error = std::move(reason);
    return result;
}

bool supportedDepth(std::uint32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Reads the colour table of a bitmap with 8 bits or fewer per pixel.
std::string readPalette(const ByteSource& source, std::uint64_t offset, std::uint32_t used,
                        std::size_t entrySize, Layout& layout) {
    const std::uint32_t possible = 1u << layout.bitsPerPixel;
    const std::uint32_t count = (used == 0 || used > possible) ? possible : used;
    const std::uint64_t bytes = std::uint64_t{count} * entrySize;
    if (offset > source.size() || bytes > source.size() - offset) {
        return "the colour table lies beyond the end of the file";
    }
    std::vector<unsigned char> raw(static_cast<std::size_t>(bytes));
    if (!source.read(offset, raw.data(), raw.size()))
        return "cannot read the colour table";
    layout.palette.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const unsigned char* e = raw.data() + std::size_t{i} * entrySize;
        layout.palette[i] = platform::rgb(e[2], e[1], e[0]);
    }
    return {};
}

// The information header as read, and what it says beyond the layout itself.
struct InfoHeader {
    std::uint32_t size = 0;
    // The oldest form of the header: 16-bit sizes, 3-byte colour table entries.
    bool core = false;
    std::uint32_t compression = kCompressionNone;
    std::uint32_t colorsUsed = 0;
    unsigned char bytes[kInfoHeaderSize + 16] = {};
};

// Reads the file header and as much of the information header as we understand.
std::string readHeaders(const ByteSource& source, Layout& layout, InfoHeader& info) {
    unsigned char head[kFileHeaderSize + 4];
    if (!source.read(0, head, sizeof head))
        return "not a bitmap file (too short)";
    if (head[0] != 'B' || head[1] != 'M')
        return "not a bitmap file";
    layout.dataOffset = u32(head + 10);
    info.size = u32(head + 14);
    info.core = info.size == kCoreHeaderSize;
    if (!info.core && info.size < kInfoHeaderSize)
        return "unsupported bitmap header";
    if (std::uint64_t{kFileHeaderSize} + info.size > source.size()) {
        return "truncated bitmap header";
    }
    const std::size_t infoBytes =
        static_cast<std::size_t>(std::min<std::uint64_t>(info.size, sizeof info.bytes));
    if (!source.read(kFileHeaderSize, info.bytes, infoBytes))
        return "truncated bitmap header";
    return {};
}

// The picture size and depth, refused when there is nothing to show or too much.
std::string readDimensions(InfoHeader& info, Layout& layout) {
    std::int64_t width = 0;
    std::int64_t height = 0;
    if (info.core) {
        width = u16(info.bytes + 4);
        height = u16(info.bytes + 6);
        layout.bitsPerPixel = u16(info.bytes + 10);
    } else {
        width = i32(info.bytes + 4);
        height = i32(info.bytes + 8);
        layout.bitsPerPixel = u16(info.bytes + 14);
        info.compression = u32(info.bytes + 16);
        info.colorsUsed = u32(info.bytes + 32);
    }
    if (width <= 0 || height == 0)
        return "the bitmap has no pixels";
    layout.topDown = height < 0;
    layout.width = static_cast<std::uint32_t>(width);
    layout.height = static_cast<std::uint32_t>(height < 0 ? -height : height);
    if (std::uint64_t{layout.width} * layout.height > kMaxPixels) {
        return "the bitmap is too large";
    }
    if (!supportedDepth(layout.bitsPerPixel))
        return "unsupported number of bits per pixel";
    return {};
}

// The channel masks of 16- and 32-bit pixels. The masks may follow the header, which
// moves the colour table (tableOffset) behind them.
std::string readChannels(const ByteSource& source, const InfoHeader& info, Layout& layout,
                         std::uint64_t& tableOffset) {
    const bool bitFields =
        info.compression == kCompressionBitFields || info.compression == kCompressionAlphaBitFields;
    if (info.compression != kCompressionNone && !bitFields) {
        return "compressed bitmaps are not supported";
    }
    if (bitFields && layout.bitsPerPixel != 16 && layout.bitsPerPixel != 32) {
        return "compressed bitmaps are not supported";
    }
    if (bitFields) {
        unsigned char masks[12];
        if (info.size >= kInfoHeaderSize + sizeof masks) {
            std::memcpy(masks, info.bytes + kInfoHeaderSize, sizeof masks);
        } else {
            if (!source.read(tableOffset, masks, sizeof masks))
                return "truncated bitmap header";
            tableOffset += info.compression == kCompressionAlphaBitFields ? 16 : 12;
        }
        layout.red = Channel::of(u32(masks));
        layout.green = Channel::of(u32(masks + 4));
        layout.blue = Channel::of(u32(masks + 8));
    } else if (layout.bitsPerPixel == 16) {
        layout.red = Channel::of(0x7C00);
        layout.green = Channel::of(0x03E0);
        layout.blue = Channel::of(0x001F);
    }
    return {};
}

// The rows must lie behind the headers and within the file.
std::string checkPixelData(const ByteSource& source, const InfoHeader& info, Layout& layout) {
    layout.rowSize = (std::uint64_t{layout.width} * layout.bitsPerPixel + 31) / 32 * 4;
    const std::uint64_t dataSize = layout.rowSize * layout.height;
    if (layout.dataOffset < std::uint64_t{kFileHeaderSize} + info.size) {
        return "the pixel data overlaps the header";
    }
    if (layout.dataOffset > source.size() || dataSize > source.size() - layout.dataOffset) {
        return "the pixel data lies beyond the end of the file (truncated)";
    }
    return {};
}

// Reads and checks the file header and the information header.
std::string readLayout(const ByteSource& source, Layout& layout) {
    InfoHeader info;
    if (std::string error = readHeaders(source, layout, info); !error.empty())
        return error;
    if (std::string error = readDimensions(info, layout); !error.empty())
        return error;
    std::uint64_t tableOffset = std::uint64_t{kFileHeaderSize} + info.size;
    if (std::string error = readChannels(source, info, layout, tableOffset); !error.empty())
        return error;
    if (layout.bitsPerPixel <= 8) {
        std::string error =
            readPalette(source, tableOffset, info.colorsUsed, info.core ? 3 : 4, layout);
        if (!error.empty())
            return error;
    }
    return checkPixelData(source, info, layout);
}

// The pixel at column x of a row; p points at the byte that holds its first bit.
platform::Color decodePixel(const Layout& layout, const unsigned char* p, std::uint64_t x) {
    switch (layout.bitsPerPixel) {
        case 24:
            return platform::rgb(p[2], p[1], p[0]);
        case 32: {
            const std::uint32_t v = u32(p);
            if (layout.red.mask == 0 && layout.green.mask == 0 && layout.blue.mask == 0) {
                return platform::rgb((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
            }
            return platform::rgb(layout.red.value(v), layout.green.value(v), layout.blue.value(v));
        }
        case 16: {
            const std::uint32_t v = u16(p);
            return platform::rgb(layout.red.value(v), layout.green.value(v), layout.blue.value(v));
        }
        default: {
            // 1, 4 or 8 bits: the first pixel of a byte is in its high bits.
            const unsigned bits = layout.bitsPerPixel;
            const auto shift = static_cast<unsigned>(8 - bits - (x * bits) % 8);
            const std::uint32_t index = (p[0] >> shift) & ((1u << bits) - 1);
            return index < layout.palette.size() ? layout.palette[index] : platform::kBlack;
        }
    }
}

// Reads the sampled columns of stored rows: samples close together share one read of
// at most kMaxRunBytes, and the bytes between samples further apart are never read, so a
// narrow row costs one read and a very wide one no more than its samples need.
class RowSampler {
  public:
    // Samples the columns that a stretched copy of the file's width onto width picks.
    RowSampler(const Layout& layout, std::uint32_t width)
        : layout_(layout),
          pixelBytes_(layout.bitsPerPixel < 8 ? 1 : layout.bitsPerPixel / 8),
          columns_(width),
          colors_(width),
          buffer_(static_cast<std::size_t>(std::min<std::uint64_t>(layout.rowSize, kMaxRunBytes))) {
        for (std::uint32_t x = 0; x < width; ++x)
            columns_[x] = static_cast<std::uint32_t>(std::uint64_t{x} * layout.width / width);
    }

    // Decodes the samples of the stored row at rowOffset; false when it cannot be read.
    bool read(const ByteSource& source, std::uint64_t rowOffset) {
        std::size_t first = 0;
        while (first < columns_.size()) {
            const std::uint64_t start = firstByte(columns_[first]);
            std::uint64_t end = start + pixelBytes_;
            std::size_t last = first + 1;
            for (; last < columns_.size(); ++last) {
                const std::uint64_t next = firstByte(columns_[last]);
                if (next > end + kMaxGapBytes || next + pixelBytes_ - start > kMaxRunBytes)
                    break;
                end = std::max(end, next + pixelBytes_);
            }
            const auto length = static_cast<std::size_t>(end - start);
            if (!source.read(rowOffset + start, buffer_.data(), length))
                return false;
            for (std::size_t i = first; i < last; ++i) {
                const std::uint64_t at = firstByte(columns_[i]) - start;
                colors_[i] = decodePixel(layout_, buffer_.data() + at, columns_[i]);
            }
            first = last;
        }
        return true;
    }

    const std::vector<platform::Color>& colors() const { return colors_; }

  private:
    // A read costs about as much as copying a few kilobytes: samples closer than this
    // share one read, and no read is longer than kMaxRunBytes.
    static constexpr std::uint64_t kMaxGapBytes = 4096;
    static constexpr std::uint64_t kMaxRunBytes = 65536;

    std::uint64_t firstByte(std::uint32_t x) const {
        return std::uint64_t{x} * layout_.bitsPerPixel / 8;
    }

    const Layout& layout_;
    std::uint64_t pixelBytes_;
    std::vector<std::uint32_t> columns_;
    std::vector<platform::Color> colors_;
    std::vector<unsigned char> buffer_;
};

// Each row of the result shows the stored row that a stretched copy picks; rows that
// pick the same stored row (an enlarged picture) share one read.
std::string sampleRows(const ByteSource& source, const Layout& layout, RowSampler& sampler,
                       platform::Bitmap& bitmap) {
    const auto height = static_cast<std::uint64_t>(bitmap.height());
    std::optional<std::uint64_t> sampledRow;
    for (std::uint64_t y = 0; y < height; ++y) {
        const std::uint64_t row = y * layout.height / height;  // counted from the top
        if (row != sampledRow) {
            const std::uint64_t stored = layout.topDown ? row : layout.height - 1 - row;
            if (!sampler.read(source, layout.dataOffset + stored * layout.rowSize))
                return "cannot read the pixel data";
            sampledRow = row;
        }
        const std::vector<platform::Color>& colors = sampler.colors();
        for (std::size_t x = 0; x < colors.size(); ++x)
            bitmap.setPixel(static_cast<int>(x), static_cast<int>(y), colors[x]);
    }
    return {};
}

struct Size {
    int width = 0;
    int height = 0;
};

// Decodes the file at the given size, or at its own size when none is given.
BitmapLoad decode(const ByteSource& source, std::optional<Size> size = std::nullopt) {
    Layout layout;
    std::string error = readLayout(source, layout);
    if (!error.empty())
        return refuse(std::move(error));

    BitmapLoad result;
    result.fileWidth = static_cast<int>(layout.width);
    result.fileHeight = static_cast<int>(layout.height);
    const Size target = size.value_or(Size{result.fileWidth, result.fileHeight});
    if (target.width <= 0 || target.height <= 0)
        return result;
    std::optional<RowSampler> sampler;
    try {
        result.bitmap.resize(target.width, target.height);
        sampler.emplace(layout, static_cast<std::uint32_t>(target.width));
    } catch (const std::bad_alloc&) {
        return refuse("not enough memory for the bitmap");
    }
    error = sampleRows(source, layout, *sampler, result.bitmap);
    if (!error.empty())
        return refuse(std::move(error));
    return result;
}

}  // namespace

BitmapLoad decodeBitmap(const unsigned char* data, std::size_t size) {
    return decode(MemoryByteSource(data, size));
}

BitmapLoad decodeBitmapScaled(const unsigned char* data, std::size_t size, int width, int height) {
    return decode(MemoryByteSource(data, size), Size{width, height});
}

std::string openFailureReason(int errorNumber) {
    const std::string reason = platform::RegularFile::failureReason(errorNumber);
    return errorNumber == 0 ? reason : std::string("cannot open the file: ").append(reason);
}

BitmapLoad loadBitmapFile(const std::string& path) {
    int error = 0;
    const auto file = platform::RegularFile::open(path, &error);
    if (!file)
        return refuse(openFailureReason(error));
    return loadBitmapFile(*file);
}

BitmapLoad loadBitmapFile(const platform::RegularFile& file) {
    return decode(FileByteSource(file));
}

BitmapLoad loadBitmapFileScaled(const platform::RegularFile& file, int width, int height) {
    return decode(FileByteSource(file), Size{width, height});
}

bool pictureFileHeader(int width, int height, unsigned char (&header)[kPictureDataOffset]) {
    if (width <= 0 || height <= 0)
        return false;
    const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
    const std::uint64_t fileSize =
        pictureTrailerOffset(std::uint64_t(width), std::uint64_t(height));
    if (pixels > kMaxPixels || fileSize > std::numeric_limits<std::uint32_t>::max())
        return false;
    std::memset(header, 0, sizeof header);
    header[0] = 'B';
    header[1] = 'M';
    put32(header + 2, static_cast<std::uint32_t>(fileSize));
    put32(header + 10, kPictureDataOffset);
    put32(header + 14, kInfoHeaderSize);
    put32(header + 18, static_cast<std::uint32_t>(width));
    put32(header + 22, static_cast<std::uint32_t>(height));
    put16(header + 26, 1);
    put16(header + 28, 24);
    // Compression, image size, resolutions, colour counts and the one empty
    // colour-table entry at 54 all stay zero.
    return true;
}

bool writePictureBitmap(std::FILE* file, const platform::Bitmap& picture, int width, int height) {
    unsigned char header[kPictureDataOffset];
    if (!pictureFileHeader(width, height, header))
        return false;
    if (std::fwrite(header, 1, sizeof header, file) != sizeof header)
        return false;
    std::vector<unsigned char> row(static_cast<std::size_t>(pictureRowSize(std::uint64_t(width))),
                                   0);
    // Rows are stored bottom-up.
    for (int y = height - 1; y >= 0; --y) {
        unsigned char* p = row.data();
        for (int x = 0; x < width; ++x) {
            const platform::Color c = picture.pixel(x, y);
            *p++ = static_cast<unsigned char>(platform::blueOf(c));
            *p++ = static_cast<unsigned char>(platform::greenOf(c));
            *p++ = static_cast<unsigned char>(platform::redOf(c));
        }
        if (std::fwrite(row.data(), 1, row.size(), file) != row.size())
            return false;
    }
    return true;
}

}  // namespace persist
