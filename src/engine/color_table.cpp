#include "engine/color_table.h"

#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>
#include <utility>

namespace engine {

namespace {

// Written as red, green, blue hex triples, the way palettes are usually quoted.
// clang-format off
constexpr std::uint32_t kBuiltInRgb[255] = {
    0x0000FC, 0x0404F8, 0x0808F4, 0x0808F0, 0x0C0CF0, 0x1010EC, 0x1414E8, 0x1414E4,  // 0
    0x1818E4, 0x1C1CE0, 0x2020DC, 0x2020D8, 0x2424D8, 0x2828D4, 0x2C2CD0, 0x2C2CCC,  // 8
    0x3030CC, 0x3434C8, 0x3838C4, 0x3838C0, 0x3C3CC0, 0x4040BC, 0x4444B8, 0x4444B4,  // 16
    0x4848B4, 0x4C4CB0, 0x5050AC, 0x5050A8, 0x5454A8, 0x5858A4, 0x5858A0, 0x5C5CA0,  // 24
    0x60609C, 0x0A6498, 0x0A6494, 0x0A6894, 0x6C6C90, 0x70708C, 0x707088, 0x747488,  // 32
    0x787884, 0x7C7C80, 0x7C7C7C, 0x80807C, 0x848478, 0x888874, 0x888870, 0x8C8C70,  // 40
    0x90906C, 0x949468, 0x949464, 0x989864, 0x9C9C60, 0xA0A05C, 0xA0A058, 0xA4A458,  // 48
    0xA8A854, 0xA8A850, 0xACAC50, 0xB0B04C, 0xB4B448, 0xB4B444, 0xB8B844, 0xBCBC40,  // 56
    0xC0C03C, 0xC0C038, 0xC4C438, 0xC8C834, 0xCCCC30, 0xCCCC2C, 0xD0D02C, 0xD4D428,  // 64
    0xD8D824, 0xD8D820, 0xDCDC20, 0xE0E01C, 0xE4E418, 0xE4E414, 0xE8E814, 0xECEC10,  // 72
    0xF0F00C, 0xF0F008, 0xF4F408, 0xF8F804, 0xFCFC00, 0xFCFC00, 0xFCF800, 0xFCF400,  // 80
    0xFCF000, 0xFCF000, 0xFCEC00, 0xFCE800, 0xFCE400, 0xFCE400, 0xFCE000, 0xFCDC00,  // 88
    0xFCD800, 0xFCD800, 0xFCD400, 0xFCD000, 0xFCCC00, 0xFCCC00, 0xFCC800, 0xFCC400,  // 96
    0xFCC000, 0xFCC000, 0xFCBC00, 0xFCB800, 0xFCB400, 0xFCB400, 0xFCB000, 0xFCAC00,  // 104
    0xFCA800, 0xFCA800, 0xFCA400, 0xFCA000, 0xFCA000, 0xFC9C00, 0xFC9800, 0xFC9400,  // 112
    0xFC9400, 0xFC9000, 0xFC8C00, 0xFC8800, 0xFC8800, 0xFC8400, 0xFC8000, 0xFC7C00,  // 120
    0xFC7C00, 0xFC7800, 0xFC7400, 0xFC7000, 0xFC7000, 0xFC6C00, 0xFC6800, 0xFC6400,  // 128
    0xFC6400, 0xFC6000, 0xFC5C00, 0xFC5800, 0xFC5800, 0xFC5400, 0xFC5000, 0xFC5000,  // 136
    0xFC4C00, 0xFC4800, 0xFC4400, 0xFC4400, 0xFC4000, 0xFC3C00, 0xFC3800, 0xFC3800,  // 144
    0xFC3400, 0xFC3000, 0xFC2C00, 0xFC2C00, 0xFC2800, 0xFC2400, 0xFC2000, 0xFC2000,  // 152
    0xFC1C00, 0xFC1800, 0xFC1400, 0xFC1400, 0xFC1000, 0xFC0C00, 0xFC0800, 0xFC0800,  // 160
    0xFC0400, 0xFC0000, 0xFC0000, 0xF80004, 0xF40008, 0xF00008, 0xF0000C, 0xEC0010,  // 168
    0xE80014, 0xE40014, 0xE40018, 0xE0001C, 0xDC0020, 0xD80020, 0xD80024, 0xD40028,  // 176
    0xD0002C, 0xCC002C, 0xCC0030, 0xC80034, 0xC40038, 0xC00038, 0xC0003C, 0xBC0040,  // 184
    0xB80044, 0xB40044, 0xB40048, 0xB0004C, 0xAC0050, 0xA80050, 0xA80054, 0xA40058,  // 192
    0xA00058, 0xA0005C, 0x9C0060, 0x980064, 0x940064, 0x940068, 0x90006C, 0x8C0070,  // 200
    0x880070, 0x880074, 0x840078, 0x80007C, 0x7C007C, 0x7C0080, 0x780084, 0x740088,  // 208
    0x700088, 0x70008C, 0x6C0090, 0x680094, 0x640094, 0x640098, 0x60009C, 0x5C00A0,  // 216
    0x5800A0, 0x5800A4, 0x5400A8, 0x5000A8, 0x5000AC, 0x4C00B0, 0x4800B4, 0x4400B4,  // 224
    0x4400B8, 0x4000BC, 0x3C00C0, 0x3800C0, 0x3800C4, 0x3400C8, 0x3000CC, 0x2C00CC,  // 232
    0x2C00D0, 0x2800D4, 0x2400D8, 0x2000D8, 0x2000DC, 0x1C00E0, 0x1800E4, 0x1400E4,  // 240
    0x1400E8, 0x1000EC, 0x0C00F0, 0x0800F0, 0x0800F4, 0x0400F8, 0x0000FC,  // 248
};
// clang-format on

constexpr platform::Color fromRgbHex(std::uint32_t rgb) {
    return platform::rgb((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

constexpr std::array<platform::Color, 255> makeBuiltInPalette() {
    std::array<platform::Color, 255> colors{};
    for (std::size_t i = 0; i < colors.size(); ++i)
        colors[i] = fromRgbHex(kBuiltInRgb[i]);
    return colors;
}

constexpr std::array<platform::Color, 255> kBuiltInPalette = makeBuiltInPalette();

// A palette is a few kilobytes; more than this is not read.
constexpr std::size_t kMaxPaletteBytes = std::size_t{16} * 1024 * 1024;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// One "%hu" conversion: leading white space, an optional sign, decimal digits. The
// digits saturate like strtoul and a minus sign negates modulo 2^64; the caller keeps
// only the low 8 bits. nullopt when no digits follow.
std::optional<std::uint64_t> scanNumber(const char* text, std::size_t size, std::size_t& pos) {
    while (pos < size && isSpace(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < size && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos >= size || !isDigit(text[pos]))
        return std::nullopt;
    constexpr std::uint64_t kMax = UINT64_MAX;
    std::uint64_t value = 0;
    bool saturated = false;
    for (; pos < size && isDigit(text[pos]); ++pos) {
        const auto digit = static_cast<std::uint64_t>(text[pos] - '0');
        if (value > (kMax - digit) / 10)
            saturated = true;
        if (!saturated)
            value = value * 10 + digit;
    }
    if (saturated)
        return kMax;
    return negative ? 0 - value : value;
}

unsigned low8(std::uint64_t value) {
    return static_cast<unsigned>(static_cast<std::uint16_t>(value) & 0xFFu);
}

// The bytes of a regular file, at most kMaxPaletteBytes; nullopt (and why) when the path
// is not a regular file that can be read. Opening does not block on a FIFO, and nothing
// but a regular file is read.
std::optional<std::string> readPaletteFile(const std::string& path, std::string& whyNot) {
    int error = 0;
    const auto file = platform::RegularFile::open(path, &error);
    if (!file) {
        whyNot = platform::RegularFile::failureReason(error);
        return std::nullopt;
    }
    bool truncated = false;
    errno = 0;
    auto data = file->readAll(kMaxPaletteBytes, truncated);
    if (!data)
        whyNot = platform::RegularFile::failureReason(errno);
    if (data && truncated) {
        // Cut after the last complete number, so that none is read short.
        std::size_t used = data->size();
        while (used > 0 && !isSpace((*data)[used - 1]))
            --used;
        data->resize(used);
    }
    return data;
}

// Control characters other than white space (and the old end-of-text mark) do not
// occur in text.
bool isBinary(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && !isSpace(c) && byte != 0x1A) || byte == 0x7F;
    });
}

// Why text that gave no colour is not a palette.
std::string whyNoColours(const std::string& text) {
    if (std::all_of(text.begin(), text.end(), isSpace))
        return "the file is empty";
    if (isBinary(text))
        return "it is a binary file, not a palette of text";
    return "it holds no colours (three numbers from 0 to 255 on each line)";
}

}  // namespace

const std::array<platform::Color, 255>& builtInPalette() {
    return kBuiltInPalette;
}

ColorTable::ColorTable(ColorTable&& other) noexcept
    : colors_(std::move(other.colors_)), colorCount_(std::exchange(other.colorCount_, 0)) {}

ColorTable& ColorTable::operator=(ColorTable&& other) noexcept {
    if (this != &other) {
        colors_ = std::move(other.colors_);
        colorCount_ = std::exchange(other.colorCount_, 0);
    }
    return *this;
}

void ColorTable::clear() {
    colors_.reset();
    colorCount_ = 0;
}

// The copy is made before the old entries are freed, so a source inside this table
// stays valid.
int ColorTable::setColors(const platform::Color* source, int count) {
    const auto n = static_cast<std::int16_t>(count);
    if (n < 0 || (n > 0 && source == nullptr)) {
        clear();
        return 2;
    }
    std::unique_ptr<platform::Color[]> fresh(new (std::nothrow)
                                                 platform::Color[static_cast<std::size_t>(n)]);
    if (!fresh) {
        clear();
        return 2;
    }
    std::copy(source, source + n, fresh.get());
    colors_ = std::move(fresh);
    colorCount_ = n;
    return 1;
}

int ColorTable::loadFile(const std::string& path, int maxCount, std::string* whyNone) {
    std::string problem = "no palette file";
    int count = 0;
    if (!path.empty() && maxCount > 0) {
        if (const auto text = readPaletteFile(path, problem))
            count = fill(*text, maxCount, problem);
    }
    if (count == 0 && whyNone != nullptr)
        *whyNone = problem;
    return count;
}

int ColorTable::fill(const std::string& text, int maxCount, std::string& whyNone) {
    clear();
    // Never more entries than the text could hold: each needs at least five bytes.
    const std::size_t capacity = std::min(static_cast<std::size_t>(maxCount), text.size() / 5 + 1);
    std::unique_ptr<platform::Color[]> fresh(new (std::nothrow) platform::Color[capacity]);
    if (!fresh) {
        whyNone = "not enough memory";
        return 0;
    }
    colorCount_ = parsePalette(text.data(), text.size(), fresh.get(), static_cast<int>(capacity));
    colors_ = std::move(fresh);
    if (colorCount_ == 0)
        whyNone = whyNoColours(text);
    return colorCount_;
}

int parsePalette(const char* text, std::size_t size, platform::Color* out, int maxCount) {
    if (text == nullptr || out == nullptr || maxCount <= 0)
        return 0;
    int count = 0;
    std::size_t pos = 0;
    while (count < maxCount) {
        const auto red = scanNumber(text, size, pos);
        if (!red)
            break;
        const auto green = scanNumber(text, size, pos);
        if (!green)
            break;
        const auto blue = scanNumber(text, size, pos);
        if (!blue)
            break;
        out[count++] = platform::rgb(low8(*red), low8(*green), low8(*blue));
    }
    return count;
}

}  // namespace engine
