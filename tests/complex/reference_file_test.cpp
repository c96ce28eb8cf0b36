#include "complex/reference_file.h"
#include "numeric/mpfr_access.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/temp_folder.h"

namespace complex {
namespace {

using numeric::BigFloat;
using numeric::ExtFloat;
using testing_support::TempFolder;

// Points on the edge of each type's set, where deep views show detail.
struct Location {
    const char* name;
    EscapeFormula formula;
    const char* x;
    const char* y;
};

const Location kLocations[] = {
    {"Mandelbrot", {kernels::Formula::kMandelbrot, 0.0, 0.0, 3000}, "0", "1"},
    {"Mandelbrot z0",
     {kernels::Formula::kMandelbrot, 0.05, 0.02, 3000},
     "3.29262665589945659484832131967442697423743797094812658e-1",
     "5.72188932148940225176224729980166723369678523762598334e-1"},
    {"Julia",
     {kernels::Formula::kJulia, -0.123, 0.745, 3000},
     "1.588065269623468842175701332518998771052555888306435273966855502860977786936977e-1",
     "3.176130539246937684351402665037997542105111776612870547933711005721955573873954e-1"},
    {"Unity",
     {kernels::Formula::kUnity, 0.0, 0.0, 3000},
     "3.000488524093633546957173140103744433551386900368674801137137023944089118196258e-1",
     "5.000732786140450486833620729720042023422077877140478671852107775740433652690361e-1"},
    {"Spider",
     {kernels::Formula::kSpider, 0.0, 0.0, 3000},
     "5.817468631848204548921818909296247448049935993506078366095582678424818344682287e-2",
     "1.372620294777230737005046869158705486978348161001728108642432932831500700767516e-1"},
    {"Phoenix",
     {kernels::Formula::kPhoenix, -1.0, 0.1, 3000},
     "2.672971046569215615203714706598662915566029733062586247205818082597182042066173e-1",
     "3.742159465196901623877680584634550662173769200323738196170264128321505067108511e-1"},
    {"Manowar",
     {kernels::Formula::kManowar, 0.0, 0.0, 400},
     "-0.340000000000426094012422679964",
     "2.84046391677425752981464106644e-13"},
};

constexpr long kWidth = 24;
constexpr long kHeight = 16;

ExtFloat power10(int exponent) {
    return ExtFloat::fromBig(*BigFloat::parse("1e" + std::to_string(exponent), 128));
}

// A kWidth x kHeight picture `width` wide whose corner pixel is offset by (shiftX, shiftY)
// pixels from half a pixel beside (x, y).
SceneSetup viewAround(const Location& location, const ExtFloat& width, double shiftX = 0.0,
                      double shiftY = 0.0) {
    SceneSetup setup;
    setup.formula = location.formula;
    setup.smooth = true;
    setup.width = kWidth;
    setup.height = kHeight;
    setup.dx = width * (1.0 / kWidth);
    setup.dy = setup.dx;
    const long precision = numeric::precisionFor(setup.dx.exponent()) + 64;
    const BigFloat x = *BigFloat::parse(location.x, precision);
    const BigFloat y = *BigFloat::parse(location.y, precision);
    setup.originX = x - setup.dx.toBig(precision) * (kWidth / 2 - 0.5 + shiftX);
    setup.originY = y - setup.dy.toBig(precision) * (kHeight / 2 - 0.5 + shiftY);
    return setup;
}

// The orbits a scene of setup computes for itself, without tables.
std::shared_ptr<SharedReference> ownOrbits(const SceneSetup& setup) {
    auto scene = PerturbationScene::create(setup);
    ReferenceRequest request = scene->ownReferenceRequest();
    request.pictureReach = ExtFloat();
    ComputedReference computed = computeSharedReference(request);
    EXPECT_EQ(computed.outcome, OrbitOutcome::kDone);
    return computed.reference;
}

std::shared_ptr<const SharedReference> throughFile(const TempFolder& folder,
                                                   const ReferenceOrbits& orbits) {
    const std::string path = folder.file("orbits.ref");
    EXPECT_TRUE(writeReferenceFile(path, orbits).ok);
    ReferenceFileRead read = readReferenceFile(path, std::size_t{1} << 30);
    EXPECT_EQ(read.error, "");
    return read.reference;
}

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The first state where two orbits differ in any bit; -1 when none does.
long firstDifference(const ReferenceOrbit& a, const ReferenceOrbit& b) {
    if (a.points.size() != b.points.size() || a.seconds.size() != b.seconds.size())
        return 0;
    for (std::size_t k = 0; k < a.points.size(); ++k) {
        const OrbitPoint& p = a.points[k];
        const OrbitPoint& q = b.points[k];
        if (!sameBits(p.zr, q.zr) || !sameBits(p.zi, q.zi) || !sameBits(p.outside, q.outside))
            return static_cast<long>(k);
    }
    for (std::size_t k = 0; k < a.seconds.size(); ++k) {
        if (!sameBits(a.seconds[k].ar, b.seconds[k].ar) ||
            !sameBits(a.seconds[k].ai, b.seconds[k].ai))
            return static_cast<long>(k);
    }
    if (a.smallMargins.size() != b.smallMargins.size())
        return 0;
    for (std::size_t k = 0; k < a.smallMargins.size(); ++k) {
        const SmallMargin& p = a.smallMargins[k];
        const SmallMargin& q = b.smallMargins[k];
        if (p.index != q.index || !sameBits(p.mantissa, q.mantissa) || p.exponent != q.exponent)
            return static_cast<long>(p.index);
    }
    return -1;
}

void expectSameOrbit(const ReferenceOrbit& a, const ReferenceOrbit& b) {
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.escaped, b.escaped);
    EXPECT_TRUE(sameBits(a.cr, b.cr) && sameBits(a.ci, b.ci));
    EXPECT_TRUE(sameBits(a.firstSecond.ar, b.firstSecond.ar) &&
                sameBits(a.firstSecond.ai, b.firstSecond.ai));
    EXPECT_EQ(firstDifference(a, b), -1);
}

TEST(ReferenceFileTest, KeepsEveryFieldOfEveryTypesOrbits) {
    const TempFolder folder;
    for (const Location& location : kLocations) {
        SCOPED_TRACE(location.name);
        const std::shared_ptr<SharedReference> computed =
            ownOrbits(viewAround(location, power10(-30)));
        ASSERT_TRUE(computed);
        const ReferenceOrbits& written = *computed->orbits;
        const std::shared_ptr<const SharedReference> read = throughFile(folder, written);
        ASSERT_TRUE(read && read->orbits);
        const ReferenceOrbits& back = *read->orbits;
        EXPECT_TRUE(read->orbitsOnly);
        EXPECT_EQ(back.formula.type, written.formula.type);
        EXPECT_TRUE(sameBits(back.formula.paramReal, written.formula.paramReal) &&
                    sameBits(back.formula.paramImag, written.formula.paramImag));
        EXPECT_EQ(back.formula.maxIterations, written.formula.maxIterations);
        EXPECT_EQ(back.precision, written.precision);
        EXPECT_TRUE(mpfr_equal_p(numeric::raw(back.x), numeric::raw(written.x)));
        EXPECT_TRUE(mpfr_equal_p(numeric::raw(back.y), numeric::raw(written.y)));
        EXPECT_EQ(back.hasCritical, written.hasCritical);
        EXPECT_GT(written.primary.points.size(), 1u);
        expectSameOrbit(back.primary, written.primary);
        expectSameOrbit(back.critical, written.critical);
        // What each type keeps beside its states, so that each field above was tested.
        const kernels::Formula type = location.formula.type;
        EXPECT_EQ(written.hasCritical,
                  type == kernels::Formula::kJulia || type == kernels::Formula::kUnity ||
                      (type == kernels::Formula::kMandelbrot && location.formula.paramReal != 0.0));
        EXPECT_EQ(!written.primary.seconds.empty(), type == kernels::Formula::kSpider);
    }
}

// ---- refusals of damaged files

constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;

// Writes the checksum of everything before the last 8 bytes into them, so that a
// change made on purpose reaches the check behind the checksum.
void resealed(std::string& bytes) {
    std::uint64_t hash = kFnvOffset;
    for (std::size_t k = 0; k + 8 < bytes.size(); ++k) {
        hash ^= static_cast<unsigned char>(bytes[k]);
        hash *= kFnvPrime;
    }
    for (std::size_t k = 0; k < 8; ++k)
        bytes[bytes.size() - 8 + k] = static_cast<char>(hash >> (8 * k));
}

void putU64(std::string& bytes, std::size_t at, std::uint64_t v) {
    for (std::size_t k = 0; k < 8; ++k)
        bytes[at + k] = static_cast<char>(v >> (8 * k));
}

// A small file: Julia (a critical orbit as well) with a limit of 40.
std::string smallFile(const TempFolder& folder) {
    Location julia = kLocations[2];
    julia.formula.maxIterations = 40;
    const std::shared_ptr<SharedReference> computed = ownOrbits(viewAround(julia, power10(-30)));
    const std::string path = folder.file("small.ref");
    EXPECT_TRUE(writeReferenceFile(path, *computed->orbits).ok);
    return TempFolder::read(path);
}

// Where the primary orbit's state count lies: after the header and the orbit's five
// fixed fields.
std::size_t primaryStatesAt(const std::string& bytes) {
    std::size_t at = std::strlen("Corvane reference orbits\n") + 4 + 4 + 8 + 8 + 4 + 8;
    for (int point = 0; point < 2; ++point) {
        std::uint32_t length = 0;
        for (std::size_t k = 0; k < 4; ++k)
            length |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + k]))
                      << (8 * k);
        at += 4 + length;
    }
    return at + 1 + 1 + (4 * 8);
}

// Whether bytes, written as a file of their own, read as a reference. (A new file each
// time: rewriting one file in place makes some file systems flush it to the disk.)
bool readsBack(const TempFolder& folder, const std::string& bytes, std::string* why = nullptr) {
    static int serial = 0;
    const std::string path = folder.write("case-" + std::to_string(serial++) + ".ref", bytes);
    const ReferenceFileRead read = readReferenceFile(path, std::size_t{1} << 30);
    std::filesystem::remove(path);
    if (why)
        *why = read.error;
    return read.reference != nullptr;
}

TEST(ReferenceFileTest, RefusesEveryTruncationAndEveryFlippedByte) {
    const TempFolder folder;
    const std::string whole = smallFile(folder);
    ASSERT_GT(whole.size(), 1000u);
    for (std::size_t length = 0; length < whole.size(); ++length) {
        std::string why;
        EXPECT_FALSE(readsBack(folder, whole.substr(0, length), &why)) << "truncated to " << length;
        EXPECT_FALSE(why.empty());
    }
    for (std::size_t at = 0; at < whole.size(); ++at) {
        std::string flipped = whole;
        flipped[at] = static_cast<char>(flipped[at] ^ 0x10);
        EXPECT_FALSE(readsBack(folder, flipped)) << "byte " << at;
    }
    EXPECT_TRUE(readsBack(folder, whole));
}

TEST(ReferenceFileTest, RefusesFilesWithTheReason) {
    const TempFolder folder;
    const std::string whole = smallFile(folder);
    const std::size_t statesAt = primaryStatesAt(whole);
    struct Case {
        const char* name;
        std::string bytes;  // empty: the path is a folder
        std::size_t mostBytes;
        const char* reason;
    };
    std::string magic = whole;
    magic[0] = 'c';
    resealed(magic);
    std::string version = whole;
    version[std::strlen("Corvane reference orbits\n")] = 1;
    resealed(version);
    // A limit of 2^30 - 1 whose orbit has every state: more than the file holds.
    std::string claimsMore = whole;
    const std::size_t limitAt = std::strlen("Corvane reference orbits\n") + 4 + 4 + 8 + 8;
    for (std::size_t k = 0; k < 4; ++k)
        claimsMore[limitAt + k] = static_cast<char>(((1u << 30) - 1) >> (8 * k));
    putU64(claimsMore, statesAt, 1u << 30);
    resealed(claimsMore);
    std::string claimsHuge = whole;
    putU64(claimsHuge, statesAt, ~std::uint64_t{0} / 2);
    resealed(claimsHuge);
    std::string beyondLimit = whole;  // a state more than the limit allows
    putU64(beyondLimit, statesAt, 42);
    resealed(beyondLimit);
    std::string longer = whole + "x";
    std::string checksum = whole;
    checksum.back() = static_cast<char>(checksum.back() ^ 1);
    const Case cases[] = {
        {"a folder", "", std::size_t{1} << 30, "not a regular file"},
        {"wrong magic", magic, std::size_t{1} << 30, "not a reference file"},
        {"another version", version, std::size_t{1} << 30, "another format version (1)"},
        {"counts beyond the file", claimsMore, std::size_t{1} << 30, "truncated"},
        {"counts beyond any file", claimsHuge, std::size_t{1} << 30, "damaged"},
        {"more states than the limit", beyondLimit, std::size_t{1} << 30, "damaged"},
        {"bytes after the end", longer, std::size_t{1} << 30, "after its end"},
        {"wrong checksum", checksum, std::size_t{1} << 30, "checksum"},
        {"over the memory bound", whole, 512, "more memory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = folder.file("case.ref");
        if (c.bytes.empty())
            path = folder.path().string();
        else
            folder.write("case.ref", c.bytes);
        const ReferenceFileRead read = readReferenceFile(path, c.mostBytes);
        EXPECT_FALSE(read.reference);
        EXPECT_NE(read.error.find(c.reason), std::string::npos) << read.error;
    }
}

TEST(ReferenceFileTest, WritingRefusesWhatIsNotARegularFile) {
    const TempFolder folder;
    const std::shared_ptr<SharedReference> computed =
        ownOrbits(viewAround(kLocations[0], power10(-30)));
    EXPECT_FALSE(writeReferenceFile(folder.path().string(), *computed->orbits).ok);
    EXPECT_FALSE(writeReferenceFile("/dev/null", *computed->orbits).ok);
}

// ---- the scenes a file serves

TEST(ReferenceFileTest, ScenesRefuseOrbitsOfAnotherLocation) {
    const TempFolder folder;
    // A limit the reference's orbit reaches without escaping.
    Location mandelbrot = kLocations[0];
    mandelbrot.formula.maxIterations = 20;
    const std::shared_ptr<const SharedReference> file =
        throughFile(folder, *ownOrbits(viewAround(mandelbrot, power10(-30)))->orbits);
    ASSERT_TRUE(file);
    struct Case {
        const char* name;
        SceneSetup setup;
        const char* reason;  // empty: served
    };
    const auto changed = [&](auto change) {
        SceneSetup setup = viewAround(mandelbrot, power10(-30));
        change(setup);
        return setup;
    };
    const Case cases[] = {
        {"the same view", viewAround(mandelbrot, power10(-30)), ""},
        {"a deeper view inside", viewAround(mandelbrot, power10(-31), 3.0, -2.0), ""},
        {"a lower limit", changed([](SceneSetup& s) { s.formula.maxIterations = 10; }), ""},
        {"another type", changed([](SceneSetup& s) { s.formula.type = kernels::Formula::kJulia; }),
         "another fractal type"},
        {"other parameters", changed([](SceneSetup& s) { s.formula.paramReal = 0.25; }),
         "other parameters"},
        {"a higher limit", changed([](SceneSetup& s) { s.formula.maxIterations = 21; }),
         "iterations"},
        {"a view too deep for its precision", viewAround(mandelbrot, power10(-60)), "bits"},
        {"a view beside it", viewAround(mandelbrot, power10(-30), 30.0, 0.0), "outside"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto scene = PerturbationScene::create(c.setup);
        ASSERT_TRUE(scene);
        const std::string why = scene->refusalOf(*file);
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
        EXPECT_EQ(why.empty(), *c.reason == '\0');
        scene->offerReference(file);
        ASSERT_EQ(scene->prepare(), PerturbationScene::Prepared::kReady);
        EXPECT_EQ(scene->referenceReused(), why.empty());
    }
}

// Beside the tip c = -2, 1e-400 wide, the reference's margins to the bailout in its first
// states are below double's range. They go through the file as small margins, and a file
// whose small margins do not fit their states is refused. Without them (an orbit saved
// before they were kept) the pixels they decide are counted directly, to the same counts.
TEST(ReferenceFileTest, SmallMarginsTravelWithTheirOrbitAndMustFitIt) {
    const TempFolder folder;
    const std::string besideTip = "-1." + std::string(400, '9') + "7";  // -2 + 3e-401
    const Location tip{
        "beside the tip", {kernels::Formula::kMandelbrot, 0.0, 0.0, 3000}, besideTip.c_str(), "0"};
    const SceneSetup setup = viewAround(tip, power10(-400));
    const std::shared_ptr<SharedReference> computed = ownOrbits(setup);
    ASSERT_TRUE(computed);
    const ReferenceOrbits& written = *computed->orbits;
    ASSERT_GT(written.primary.smallMargins.size(), 1u);
    const std::shared_ptr<const SharedReference> read = throughFile(folder, written);
    ASSERT_TRUE(read);
    expectSameOrbit(read->orbits->primary, written.primary);

    struct Case {
        const char* name;
        void (*damage)(std::vector<SmallMargin>& margins, const ReferenceOrbit& orbit);
    };
    const Case cases[] = {
        {"a state with its margin in range",
         [](std::vector<SmallMargin>& m, const ReferenceOrbit& o) { m.back().index = o.last(); }},
        {"out of order",
         [](std::vector<SmallMargin>& m, const ReferenceOrbit&) { std::swap(m[0], m[1]); }},
        {"the other sign",
         [](std::vector<SmallMargin>& m, const ReferenceOrbit&) { m[0].mantissa *= -1.0; }},
        {"a mantissa of 1",
         [](std::vector<SmallMargin>& m, const ReferenceOrbit&) { m[0].mantissa = 1.0; }},
        {"a margin in double's range",
         [](std::vector<SmallMargin>& m, const ReferenceOrbit&) { m[0].exponent = -1000; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReferenceOrbits damaged = written;
        c.damage(damaged.primary.smallMargins, damaged.primary);
        const std::string path = folder.file("damaged.ref");
        ASSERT_TRUE(writeReferenceFile(path, damaged).ok);
        const ReferenceFileRead refused = readReferenceFile(path, std::size_t{1} << 30);
        EXPECT_FALSE(refused.reference);
        EXPECT_NE(refused.error.find("damaged"), std::string::npos) << refused.error;
    }

    auto with = PerturbationScene::create(setup);
    with->offerReference(read);
    ASSERT_EQ(with->prepare(), PerturbationScene::Prepared::kReady);
    ReferenceOrbits withoutMargins = written;
    withoutMargins.primary.smallMargins.clear();
    auto without = PerturbationScene::create(setup);
    without->offerReference(std::make_shared<const SharedReference>(
        SharedReference{std::make_shared<const ReferenceOrbits>(std::move(withoutMargins)),
                        {},
                        {},
                        {},
                        {},
                        {},
                        true}));
    ASSERT_EQ(without->prepare(), PerturbationScene::Prepared::kReady);
    ASSERT_TRUE(with->referenceReused() && without->referenceReused());
    for (long j = 0; j < kHeight; j += 5) {
        for (long i = 0; i < kWidth; ++i) {
            const int direct = directEscape(setup.formula, with->planeX(i), with->planeY(j),
                                            with->precision() + 64)
                                   .count;
            EXPECT_EQ(with->countAt(i, j).count, direct) << "pixel " << i << ", " << j;
            EXPECT_EQ(without->countAt(i, j).count, direct) << "pixel " << i << ", " << j;
        }
    }
    EXPECT_LT(with->directPixels(), without->directPixels());
}

// Every pixel's value, by the lanes and one by one.
std::vector<EscapeValue> pictureOf(PerturbationScene& scene) {
    std::vector<PixelIndex> pixels;
    for (long j = 0; j < kHeight; ++j)
        for (long i = 0; i < kWidth; ++i)
            pixels.push_back({i, j});
    std::vector<EscapeValue> values(pixels.size() * 2);
    scene.countPixels(pixels.data(), static_cast<long>(pixels.size()), values.data());
    for (std::size_t k = 0; k < pixels.size(); ++k)
        values[pixels.size() + k] = scene.countAt(pixels[k].i, pixels[k].j);
    return values;
}

void expectSamePicture(const std::vector<EscapeValue>& a, const std::vector<EscapeValue>& b) {
    ASSERT_EQ(a.size(), b.size());
    long differ = 0;
    for (std::size_t k = 0; k < a.size(); ++k)
        differ += a[k].count != b[k].count || !sameBits(a[k].continuous, b[k].continuous) ? 1 : 0;
    EXPECT_EQ(differ, 0);
}

std::vector<EscapeValue> pictureWith(const SceneSetup& setup,
                                     std::shared_ptr<const SharedReference> reference,
                                     bool expectReused) {
    auto scene = PerturbationScene::create(setup);
    EXPECT_TRUE(scene);
    scene->offerReference(std::move(reference));
    EXPECT_EQ(scene->prepare(), PerturbationScene::Prepared::kReady);
    EXPECT_EQ(scene->referenceReused(), expectReused);
    return pictureOf(*scene);
}

TEST(ReferenceFileTest, PicturesFromAFileEqualThoseThatComputeTheReference) {
    const TempFolder folder;
    const int depths[] = {-30, -300};
    for (const Location& location : kLocations) {
        for (const int depth : depths) {
            // The deepest view of each type the perturbation tests check.
            if (depth == -300 && (location.formula.type == kernels::Formula::kManowar ||
                                  location.formula.paramReal != 0.0))
                continue;
            SCOPED_TRACE(std::string(location.name) + " 1e" + std::to_string(depth));
            const SceneSetup plain = viewAround(location, power10(depth));
            const std::shared_ptr<SharedReference> own = ownOrbits(plain);
            const std::shared_ptr<const SharedReference> file = throughFile(folder, *own->orbits);
            ASSERT_TRUE(file);
            // The view the file was saved for: the reference is the centre pixel's own.
            expectSamePicture(pictureWith(plain, nullptr, false), pictureWith(plain, file, true));
            // A view ten times deeper inside it, where the reference lies between pixels.
            const SceneSetup deeper = viewAround(location, power10(depth) * 0.1, 2.3, -1.6);
            expectSamePicture(pictureWith(deeper, own, true), pictureWith(deeper, file, true));
        }
    }
}

}  // namespace
}  // namespace complex
