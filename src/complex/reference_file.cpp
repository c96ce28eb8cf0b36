#include "complex/reference_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "numeric/mpfr_access.h"
#include "platform/regular_file.h"

namespace complex {

namespace {

constexpr std::string_view kMagic = "Corvane reference orbits\n";
constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;
constexpr std::size_t kPointBytes = 3 * 8;
constexpr std::size_t kSecondBytes = 2 * 8;
constexpr std::size_t kSmallMarginBytes = 3 * 8;
constexpr std::uint32_t kTypes = 6;
constexpr std::uint64_t kNoIndex = ~std::uint64_t{0};
// The largest binary exponent of a margin below double's normal range (2^-1022).
constexpr std::int64_t kLargestSmallExponent = -1021;

class Fnv1a {
  public:
    void add(const unsigned char* bytes, std::size_t count) noexcept {
        for (std::size_t k = 0; k < count; ++k) {
            hash_ ^= bytes[k];
            hash_ *= kFnvPrime;
        }
    }
    std::uint64_t value() const noexcept { return hash_; }

  private:
    std::uint64_t hash_ = kFnvOffset;
};

// ---- writing

// Little-endian numbers into a stream, the checksum following every byte.
class Writer {
  public:
    explicit Writer(std::FILE* file) : file_(file) {}
    bool ok() const noexcept { return ok_; }

    void bytes(const void* data, std::size_t count) {
        if (!ok_ || count == 0)
            return;
        hash_.add(static_cast<const unsigned char*>(data), count);
        ok_ = std::fwrite(data, 1, count, file_) == count;
    }
    void u8(std::uint8_t v) { bytes(&v, 1); }
    void u32(std::uint32_t v) {
        std::array<unsigned char, 4> b{};
        for (std::size_t k = 0; k < b.size(); ++k)
            b[k] = static_cast<unsigned char>(v >> (8 * k));
        bytes(b.data(), b.size());
    }
    void u64(std::uint64_t v) {
        std::array<unsigned char, 8> b{};
        for (std::size_t k = 0; k < b.size(); ++k)
            b[k] = static_cast<unsigned char>(v >> (8 * k));
        bytes(b.data(), b.size());
    }
    void f64(double v) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        u64(bits);
    }
    void text(const std::string& t) {
        u32(static_cast<std::uint32_t>(t.size()));
        bytes(t.data(), t.size());
    }
    void checksum() { u64(hash_.value()); }

  private:
    std::FILE* file_;
    Fnv1a hash_;
    bool ok_ = true;
};

// The exact value in hexadecimal ("0x1.8p+3"), which reads back to the same number.
std::string exactText(const numeric::BigFloat& v) {
    char* text = nullptr;
    if (mpfr_asprintf(&text, "%Ra", numeric::raw(v)) < 0 || text == nullptr)
        return {};
    std::string result(text);
    mpfr_free_str(text);
    return result;
}

void writeOrbit(Writer& out, const ReferenceOrbit& orbit) {
    out.u8(orbit.escaped ? 1 : 0);
    out.f64(orbit.cr);
    out.f64(orbit.ci);
    out.f64(orbit.firstSecond.ar);
    out.f64(orbit.firstSecond.ai);
    out.u64(orbit.points.size());
    out.u64(orbit.seconds.size());
    for (const OrbitPoint& p : orbit.points) {
        out.f64(p.zr);
        out.f64(p.zi);
        out.f64(p.outside);
    }
    for (const SecondValue& s : orbit.seconds) {
        out.f64(s.ar);
        out.f64(s.ai);
    }
    out.u64(orbit.smallMargins.size());
    for (const SmallMargin& m : orbit.smallMargins) {
        out.u64(m.index);
        out.f64(m.mantissa);
        out.u64(static_cast<std::uint64_t>(m.exponent));
    }
}

// ---- reading

// Reads the file front to back, little-endian, the checksum following every byte. A
// read past the end fails and every later one with it.
class Reader {
  public:
    explicit Reader(const platform::RegularFile& file) : file_(file) {}
    bool ok() const noexcept { return ok_; }
    std::uint64_t left() const noexcept { return ok_ ? file_.size() - offset_ : 0; }

    bool bytes(void* data, std::size_t count) {
        if (!ok_ || count > left() || !file_.readAt(offset_, data, count)) {
            ok_ = false;
            return false;
        }
        hash_.add(static_cast<const unsigned char*>(data), count);
        offset_ += count;
        return true;
    }
    std::uint8_t u8() {
        std::uint8_t v = 0;
        bytes(&v, 1);
        return v;
    }
    std::uint32_t u32() {
        std::array<unsigned char, 4> b{};
        if (!bytes(b.data(), b.size()))
            return 0;
        return decode32(b.data());
    }
    std::uint64_t u64() {
        std::array<unsigned char, 8> b{};
        if (!bytes(b.data(), b.size()))
            return 0;
        return decode64(b.data());
    }
    double f64() { return asDouble(u64()); }
    // The checksum of every byte so far.
    std::uint64_t hashSoFar() const noexcept { return hash_.value(); }

    static std::uint32_t decode32(const unsigned char* b) noexcept {
        std::uint32_t v = 0;
        for (int k = 3; k >= 0; --k)
            v = (v << 8) | b[k];
        return v;
    }
    static std::uint64_t decode64(const unsigned char* b) noexcept {
        std::uint64_t v = 0;
        for (int k = 7; k >= 0; --k)
            v = (v << 8) | b[k];
        return v;
    }
    static double asDouble(std::uint64_t bits) noexcept {
        double v = 0.0;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }

  private:
    const platform::RegularFile& file_;
    std::uint64_t offset_ = 0;
    Fnv1a hash_;
    bool ok_ = true;
};

constexpr std::size_t kChunkBytes = std::size_t{1} << 16;

// count records of recordBytes, decoded a chunk at a time by decode(bytes, index).
template <class Decode>
bool readRecords(Reader& in, std::size_t count, std::size_t recordBytes, Decode decode) {
    std::vector<unsigned char> chunk(kChunkBytes / recordBytes * recordBytes);
    const std::size_t perChunk = chunk.size() / recordBytes;
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(perChunk, count - done);
        if (!in.bytes(chunk.data(), n * recordBytes))
            return false;
        for (std::size_t k = 0; k < n; ++k)
            decode(chunk.data() + (k * recordBytes), done + k);
        done += n;
    }
    return true;
}

struct Refusal {
    std::string why;
};

bool allFinite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

std::optional<numeric::BigFloat> readPoint(Reader& in, long precision, std::string& why) {
    const std::uint32_t length = in.u32();
    // The hexadecimal text of a number of this precision: a digit per 4 bits, and room
    // for the sign, the point and the exponent.
    if (!in.ok() || length == 0 || length > static_cast<std::uint64_t>(precision) / 4 + 64 ||
        length > in.left()) {
        why = "the reference point is damaged";
        return std::nullopt;
    }
    std::string text(length, '\0');
    in.bytes(text.data(), text.size());
    numeric::BigFloat value(precision);
    char* end = nullptr;
    const int inexact = mpfr_strtofr(numeric::raw(value), text.c_str(), &end, 0, MPFR_RNDN);
    if (end != text.c_str() + text.size() || inexact != 0 || !value.isFinite()) {
        why = "the reference point is damaged";
        return std::nullopt;
    }
    return value;
}

// Adds need bytes to the used part of the bound; false, with the reason, where they do not
// fit in what is left of it.
bool claimMemory(std::uint64_t need, std::size_t mostBytes, std::size_t& used, std::string& why) {
    if (need > mostBytes - used) {
        why =
            "its orbits need more memory than the " + std::to_string(mostBytes) + " bytes allowed";
        return false;
    }
    used += static_cast<std::size_t>(need);
    return true;
}

// A small margin belongs to a state whose margin stands for one (the same sign), follows
// the one before it, and is below double's normal range.
bool fitsItsState(const SmallMargin& m, const ReferenceOrbit& orbit, std::uint64_t after) {
    if (m.index >= orbit.points.size() || (after != kNoIndex && m.index <= after))
        return false;
    const OrbitPoint& p = orbit.points[static_cast<std::size_t>(m.index)];
    const double size = std::fabs(m.mantissa);
    return p.marginBelowRange() && size >= 0.5 && size < 1.0 &&
           (m.mantissa < 0.0) == (p.outside < 0.0) && m.exponent <= kLargestSmallExponent &&
           m.exponent >= -numeric::ExtFloat::kExponentLimit;
}

// The small margins that follow an orbit's states.
bool readSmallMargins(Reader& in, std::size_t mostBytes, std::size_t& used, ReferenceOrbit& orbit,
                      std::string& why) {
    const std::uint64_t count = in.u64();
    if (!in.ok() || count > in.left() / kSmallMarginBytes) {
        why = "the file is truncated";
        return false;
    }
    if (count > orbit.points.size()) {
        why = "an orbit is damaged";
        return false;
    }
    if (!claimMemory(count * sizeof(SmallMargin), mostBytes, used, why))
        return false;
    orbit.smallMargins.resize(static_cast<std::size_t>(count));
    bool fits = true;
    const bool read = readRecords(
        in, orbit.smallMargins.size(), kSmallMarginBytes,
        [&](const unsigned char* b, std::size_t k) {
            SmallMargin& m = orbit.smallMargins[k];
            m.index = Reader::decode64(b);
            m.mantissa = Reader::asDouble(Reader::decode64(b + 8));
            m.exponent = static_cast<std::int64_t>(Reader::decode64(b + 16));
            const std::uint64_t after = k == 0 ? kNoIndex : orbit.smallMargins[k - 1].index;
            fits = fits && fitsItsState(m, orbit, after);
        });
    if (!read) {
        why = "the file is truncated";
        return false;
    }
    if (!fits) {
        why = "an orbit is damaged";
        return false;
    }
    return true;
}

// One orbit: its counts are checked against what the file still holds, and against the
// memory bound, before its states are allocated.
bool readOrbit(Reader& in, const EscapeFormula& formula, std::size_t mostBytes, std::size_t& used,
               ReferenceOrbit& orbit, std::string& why) {
    const std::uint8_t escaped = in.u8();
    orbit.type = formula.type;
    orbit.cr = in.f64();
    orbit.ci = in.f64();
    orbit.firstSecond.ar = in.f64();
    orbit.firstSecond.ai = in.f64();
    const std::uint64_t states = in.u64();
    const std::uint64_t seconds = in.u64();
    if (!in.ok()) {
        why = "the file is truncated";
        return false;
    }
    const std::uint64_t limit = static_cast<std::uint64_t>(formula.maxIterations);
    const std::uint64_t wantSeconds = formula.type == kernels::Formula::kSpider ? states : 0;
    // An orbit that did not escape has every state to the limit; one that did, fewer.
    const bool statesFit = escaped == 1 ? states >= 1 && states <= limit : states == limit + 1;
    if (escaped > 1 || !statesFit || seconds != wantSeconds ||
        !allFinite({orbit.cr, orbit.ci, orbit.firstSecond.ar, orbit.firstSecond.ai})) {
        why = "an orbit is damaged";
        return false;
    }
    if (states > in.left() / kPointBytes ||
        seconds > (in.left() - (states * kPointBytes)) / kSecondBytes) {
        why = "the file is truncated (an orbit claims more states than it holds)";
        return false;
    }
    if (!claimMemory((states * sizeof(OrbitPoint)) + (seconds * sizeof(SecondValue)), mostBytes,
                     used, why))
        return false;
    orbit.escaped = escaped == 1;
    orbit.points.resize(static_cast<std::size_t>(states));
    orbit.seconds.resize(static_cast<std::size_t>(seconds));
    bool finite = true;
    const bool read = readRecords(in, orbit.points.size(), kPointBytes,
                                  [&](const unsigned char* b, std::size_t k) {
                                      OrbitPoint& p = orbit.points[k];
                                      p.zr = Reader::asDouble(Reader::decode64(b));
                                      p.zi = Reader::asDouble(Reader::decode64(b + 8));
                                      p.outside = Reader::asDouble(Reader::decode64(b + 16));
                                      finite = finite && allFinite({p.zr, p.zi, p.outside});
                                  }) &&
                      readRecords(in, orbit.seconds.size(), kSecondBytes,
                                  [&](const unsigned char* b, std::size_t k) {
                                      SecondValue& s = orbit.seconds[k];
                                      s.ar = Reader::asDouble(Reader::decode64(b));
                                      s.ai = Reader::asDouble(Reader::decode64(b + 8));
                                      finite = finite && allFinite({s.ar, s.ai});
                                  });
    if (!read) {
        why = "the file is truncated";
        return false;
    }
    if (!finite) {
        why = "an orbit holds a value that is not a finite number";
        return false;
    }
    return readSmallMargins(in, mostBytes, used, orbit, why);
}

bool readHeader(Reader& in, ReferenceOrbits& orbits, std::string& why) {
    std::array<char, kMagic.size()> magic{};
    if (!in.bytes(magic.data(), magic.size()) ||
        std::string_view(magic.data(), magic.size()) != kMagic) {
        why = "not a reference file";
        return false;
    }
    const std::uint32_t version = in.u32();
    if (in.ok() && version != kReferenceFileVersion) {
        why = "a reference file of another format version (" + std::to_string(version) + ")";
        return false;
    }
    const std::uint32_t type = in.u32();
    orbits.formula.paramReal = in.f64();
    orbits.formula.paramImag = in.f64();
    const auto limit = static_cast<std::int32_t>(in.u32());
    const std::uint64_t precision = in.u64();
    if (!in.ok()) {
        why = "the file is truncated";
        return false;
    }
    if (type >= kTypes || limit < 1 ||
        !allFinite({orbits.formula.paramReal, orbits.formula.paramImag}) ||
        precision < static_cast<std::uint64_t>(numeric::BigFloat::kLeastPrecision) ||
        precision > static_cast<std::uint64_t>(numeric::BigFloat::kMostPrecision)) {
        why = "the location it belongs to is damaged";
        return false;
    }
    orbits.formula.type = static_cast<kernels::Formula>(type);
    orbits.formula.maxIterations = limit;
    orbits.precision = static_cast<long>(precision);
    std::optional<numeric::BigFloat> x = readPoint(in, orbits.precision, why);
    if (!x)
        return false;
    std::optional<numeric::BigFloat> y = readPoint(in, orbits.precision, why);
    if (!y)
        return false;
    orbits.x = std::move(*x);
    orbits.y = std::move(*y);
    const std::uint8_t critical = in.u8();
    if (!in.ok()) {
        why = "the file is truncated";
        return false;
    }
    if (critical != (keepsCriticalOrbit(orbits.formula) ? 1 : 0)) {
        why = "the location it belongs to is damaged";
        return false;
    }
    orbits.hasCritical = critical == 1;
    return true;
}

}  // namespace

ReferenceFileRead readReferenceFile(const std::string& path, std::size_t mostBytes) {
    ReferenceFileRead result;
    int error = 0;
    const std::optional<platform::RegularFile> file = platform::RegularFile::open(path, &error);
    if (!file) {
        result.error = platform::RegularFile::failureReason(error);
        return result;
    }
    result.bytes = static_cast<std::size_t>(file->size());
    Reader in(*file);
    auto orbits = std::make_shared<ReferenceOrbits>();
    std::size_t used = 0;
    if (!readHeader(in, *orbits, result.error) ||
        !readOrbit(in, orbits->formula, mostBytes, used, orbits->primary, result.error) ||
        (orbits->hasCritical &&
         !readOrbit(in, orbits->formula, mostBytes, used, orbits->critical, result.error)))
        return result;
    const std::uint64_t expected = in.hashSoFar();
    const std::uint64_t recorded = in.u64();
    if (!in.ok()) {
        result.error = "the file is truncated";
        return result;
    }
    if (recorded != expected) {
        result.error = "the file is damaged (its checksum does not match)";
        return result;
    }
    if (in.left() != 0) {
        result.error = "the file has bytes after its end";
        return result;
    }
    auto reference = std::make_shared<SharedReference>();
    reference->orbits = std::move(orbits);
    reference->orbitsOnly = true;
    result.reference = std::move(reference);
    return result;
}

platform::FileWriteResult writeReferenceFile(const std::string& path,
                                             const ReferenceOrbits& orbits) {
    // The point is read back at the orbits' precision: it must be exact there.
    if (orbits.x.precision() > orbits.precision || orbits.y.precision() > orbits.precision)
        return platform::FileWriteResult{false, "the point has more bits than its orbits"};
    const std::string x = exactText(orbits.x);
    const std::string y = exactText(orbits.y);
    if (x.empty() || y.empty())
        return platform::FileWriteResult{false, "not enough memory"};
    return platform::writeFile(path, platform::FileWriteOptions{}, [&](std::FILE* file) {
        Writer out(file);
        out.bytes(kMagic.data(), kMagic.size());
        out.u32(kReferenceFileVersion);
        out.u32(static_cast<std::uint32_t>(orbits.formula.type));
        out.f64(orbits.formula.paramReal);
        out.f64(orbits.formula.paramImag);
        out.u32(static_cast<std::uint32_t>(orbits.formula.maxIterations));
        out.u64(static_cast<std::uint64_t>(orbits.precision));
        out.text(x);
        out.text(y);
        out.u8(orbits.hasCritical ? 1 : 0);
        writeOrbit(out, orbits.primary);
        if (orbits.hasCritical)
            writeOrbit(out, orbits.critical);
        out.checksum();
        return out.ok();
    });
}

}  // namespace complex
