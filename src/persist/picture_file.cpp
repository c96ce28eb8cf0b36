#include "persist/picture_file.h"

#include "platform/regular_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "persist/bitmap_file.h"
#include "platform/c_format.h"
#include "platform/file_writer.h"
#include "platform/png_reader.h"
#include "platform/png_writer.h"
#include "platform/text.h"

namespace persist {

namespace {

std::int32_t littleEndian32(const unsigned char* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

bool writeTypeId(std::FILE* file, std::int32_t type) {
    const auto v = static_cast<std::uint32_t>(type);
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
        static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    return std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
}

// The parameter string as UTF-16LE units with its terminating zero unit.
bool writeParameterString(std::FILE* file, const std::string& text) {
    std::u16string units = platform::toUtf16(text);
    units.push_back(u'\0');
    std::vector<unsigned char> bytes;
    bytes.reserve(units.size() * 2);
    for (const char16_t unit : units) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

// The parameter string from offset on: its units up to the first zero unit or the end
// of the file. A string that goes on beyond capacity units is not delivered at all
// (empty), as the settings refuse a text too long for a read: cut short, its last
// field could read as another number.
std::u16string readParameterUnits(const platform::RegularFile& file, std::uint64_t offset,
                                  std::uint64_t fileSize, int capacity) {
    const std::uint64_t limit = static_cast<std::uint64_t>(std::max(capacity, 0));
    // One unit beyond the capacity tells a string that ends there from a longer one.
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>((fileSize - offset) / 2, limit + 1));
    std::vector<unsigned char> bytes(count * 2);
    if (!file.readAt(offset, bytes.data(), bytes.size()))
        return {};
    std::u16string units;
    for (std::size_t i = 0; i < count; ++i) {
        const auto unit = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (unit == u'\0')
            return units;
        if (i == limit)
            return {};
        units.push_back(unit);
    }
    return units;
}

// The type id of a PNG picture: a whole number in the range of the id, nothing else.
std::optional<std::int32_t> parseTypeId(const std::string& text) {
    std::int32_t type = 0;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, type);
    if (error != std::errc() || next != end || text.empty())
        return std::nullopt;
    return type;
}

int parseSupersample(const std::string& text) {
    int factor = 0;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, factor);
    if (error != std::errc() || next != end || factor < 1 || factor > kMostSupersample)
        return 1;
    return factor;
}

// The parameter string of a PNG picture by the rules of the trailer: up to the first
// zero character, and not at all when longer than capacity units.
std::string takeParameters(const std::string& text, int capacity) {
    const std::string upToZero = text.substr(0, text.find('\0'));
    if (platform::utf16Length(upToZero) > static_cast<std::size_t>(std::max(capacity, 0)))
        return {};
    return upToZero;
}

PictureFile readPngPicture(const platform::RegularFile& file, int capacity, int width, int height,
                           platform::ReadControl* control) {
    PictureFile result;
    result.format = PictureFormat::Png;
    platform::PngRead read = platform::readPngScaled(file, width, height, control);
    if (!read.ok()) {
        result.image.error = std::move(read.error);
        result.cancelled = read.cancelled;
        return result;
    }
    result.image.bitmap = std::move(read.bitmap);
    result.image.fileWidth = static_cast<int>(read.fileWidth);  // at most kMaxPngSide
    result.image.fileHeight = static_cast<int>(read.fileHeight);
    // The first chunk of each keyword counts, as a reader showing texts lists it first.
    bool typeSeen = false;
    bool paramsSeen = false;
    bool supersampleSeen = false;
    for (const platform::PngText& text : read.texts) {
        if (text.keyword == kPngTypeKeyword && !typeSeen) {
            typeSeen = true;
            result.type = parseTypeId(text.text);
        } else if (text.keyword == kPngParametersKeyword && !paramsSeen) {
            paramsSeen = true;
            result.params = takeParameters(text.text, capacity);
        } else if (text.keyword == kPngSupersampleKeyword && !supersampleSeen) {
            supersampleSeen = true;
            result.supersample = parseSupersample(text.text);
        }
    }
    return result;
}

bool startsWithPngSignature(const platform::RegularFile& file) {
    unsigned char bytes[platform::kPngSignatureSize];
    return file.size() >= sizeof bytes && file.readAt(0, bytes, sizeof bytes) &&
           platform::hasPngSignature(bytes, sizeof bytes);
}

}  // namespace

int readPictureTrailer(const std::string& path, int width, int height, std::int32_t& fileType,
                       std::string& fileParams, int capacity) {
    const auto file = platform::RegularFile::open(path);
    if (!file)
        return kStatusCannotOpen;
    readPictureTrailer(*file, width, height, fileType, fileParams, capacity);
    return kStatusOk;
}

bool readPictureTrailer(const platform::RegularFile& file, int width, int height,
                        std::int32_t& fileType, std::string& fileParams, int capacity) {
    const std::uint64_t fileSize = file.size();
    const std::uint64_t start =
        pictureTrailerOffset(static_cast<std::uint64_t>(std::max(width, 0)),
                             static_cast<std::uint64_t>(std::max(height, 0)));
    std::u16string units;
    bool typeRead = false;
    if (start <= fileSize && fileSize - start >= 4) {
        unsigned char typeBytes[4];
        if (file.readAt(start, typeBytes, sizeof typeBytes)) {
            fileType = littleEndian32(typeBytes);
            typeRead = true;
            units = readParameterUnits(file, start + 4, fileSize, capacity);
        }
    }
    fileParams = platform::fromUtf16(units);
    return typeRead;
}

namespace {

PictureFile readOpenPictureFile(const platform::RegularFile& file, int capacity, int width,
                                int height, platform::ReadControl* control = nullptr) {
    if (startsWithPngSignature(file))
        return readPngPicture(file, capacity, width, height, control);
    PictureFile result;
    result.image = loadBitmapFileScaled(file, width, height);
    if (!result.image.ok())
        return result;
    std::int32_t type = 0;
    if (readPictureTrailer(file, result.image.fileWidth, result.image.fileHeight, type,
                           result.params, capacity)) {
        result.type = type;
    }
    return result;
}

PictureFile cannotOpen(int error) {
    PictureFile result;
    result.image.error = openFailureReason(error);
    return result;
}

}  // namespace

PictureFile readPictureFile(const std::string& path, int capacity, int width, int height) {
    int error = 0;
    const auto file = platform::RegularFile::open(path, &error);
    if (!file)
        return cannotOpen(error);
    return readOpenPictureFile(*file, capacity, width, height);
}

PictureFile readPictureFileToFit(const std::string& path, int capacity, int width, int height,
                                 platform::ReadControl* control) {
    int error = 0;
    const auto file = platform::RegularFile::open(path, &error);
    if (!file)
        return cannotOpen(error);
    // The headers first (they are cheap to read twice), then the pixels at the fitted size.
    PictureFile headers = readOpenPictureFile(*file, capacity, 0, 0);
    if (!headers.image.ok() || width <= 0 || height <= 0)
        return headers;
    const PictureSize fitted =
        fittedSize(headers.image.fileWidth, headers.image.fileHeight, width, height);
    return readOpenPictureFile(*file, capacity, fitted.width, fitted.height, control);
}

PictureSize fittedSize(std::int64_t pictureWidth, std::int64_t pictureHeight, int width,
                       int height) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || width <= 0 || height <= 0)
        return {width, height};
    // Sides are below 2^31: every product and sum below stays far inside 64 bits.
    const auto pw = static_cast<std::uint64_t>(pictureWidth);
    const auto ph = static_cast<std::uint64_t>(pictureHeight);
    const auto w = static_cast<std::uint64_t>(width);
    const auto h = static_cast<std::uint64_t>(height);
    const auto rounded = [](std::uint64_t numerator, std::uint64_t denominator,
                            std::uint64_t limit) {
        const std::uint64_t value = (2 * numerator + denominator) / (2 * denominator);
        return static_cast<int>(std::clamp<std::uint64_t>(value, 1, limit));
    };
    if (pw * h <= ph * w)  // relatively taller (or the same shape): the height fills
        return {rounded(pw * h, ph, w), height};
    return {width, rounded(ph * w, pw, h)};
}

void drawFitted(platform::Bitmap& target, const platform::Bitmap& image) {
    if (target.empty() || image.empty())
        return;
    const PictureSize fitted =
        fittedSize(image.width(), image.height(), target.width(), target.height());
    if (fitted != PictureSize{target.width(), target.height()})
        target.fillRect(platform::Rect{0, 0, target.width(), target.height()}, kPictureBorder);
    target.stretchFrom(image, (target.width() - fitted.width) / 2,
                       (target.height() - fitted.height) / 2, fitted.width, fitted.height, 0, 0,
                       image.width(), image.height());
}

PictureFormat pictureFormatFor(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() < 4)
        return PictureFormat::Bitmap;
    std::string extension = name.substr(name.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".png" ? PictureFormat::Png : PictureFormat::Bitmap;
}

bool pngPictureSizeAllowed(int width, int height) {
    const auto side = static_cast<std::int64_t>(platform::kMaxPngSide);
    return width > 0 && height > 0 && width <= side && height <= side &&
           static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <=
               platform::kMaxPngPixels;
}

namespace {

bool writePngWithTexts(std::FILE* file, const platform::Bitmap& picture, int width, int height,
                       const std::vector<platform::PngText>& texts) {
    if (!pngPictureSizeAllowed(width, height))
        return false;
    platform::PngWriter writer(file, static_cast<std::uint32_t>(width),
                               static_cast<std::uint32_t>(height), texts);
    std::vector<platform::Color> colors(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            colors[static_cast<std::size_t>(x)] = picture.pixel(x, y);
        if (!writer.writeColors(colors.data()))
            return false;
    }
    return writer.finish();
}

}  // namespace

bool writePicturePng(std::FILE* file, const platform::Bitmap& picture, int width, int height,
                     std::int32_t type, const std::string& params) {
    return writePngWithTexts(
        file, picture, width, height,
        {{kPngTypeKeyword, std::to_string(type)}, {kPngParametersKeyword, params}});
}

bool writePicture(std::FILE* file, PictureFormat format, const platform::Bitmap& picture, int width,
                  int height, std::int32_t type, const std::string& params) {
    if (format == PictureFormat::Png)
        return writePicturePng(file, picture, width, height, type, params);
    return writePictureBitmap(file, picture, width, height) && writeTypeId(file, type) &&
           writeParameterString(file, params);
}

bool writePlainPicture(std::FILE* file, PictureFormat format, const platform::Bitmap& picture,
                       int width, int height) {
    if (format == PictureFormat::Png)
        return writePngWithTexts(file, picture, width, height, {});
    return writePictureBitmap(file, picture, width, height);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(0, slash);
}

}  // namespace persist
