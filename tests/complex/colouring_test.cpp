// Colouring of escape-time pictures: the banded pictures every stored setting shows,
// and the smooth colouring beside them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "complex/escape_colouring.h"
#include "complex/julia_fractal.h"
#include "complex/mandelbrot_fractal.h"
#include "complex/manowar_fractal.h"
#include "complex/phoenix_fractal.h"
#include "complex/spider_fractal.h"
#include "complex/unity_fractal.h"
#include "complex_test_rig.h"
#include "platform/c_format.h"

namespace {

using complex_test::Rig;

constexpr auto* makeType = &complex_test::makeComplexType;

// The type's defaults with the method and arithmetic given, nothing started.
void prepare(complex::ComplexFractal& f, int method, bool integer) {
    engine::TakingOverScope noRun(f);
    f.setDefaultParameters();
    f.setDefaultView();
    f.setMethod(method);
    f.setIntegerArithmetic(integer);
}

// One whole scan on this thread, as the worker runs it.
void scan(complex::ComplexFractal& f) {
    f.prepareRun();
    f.runState.running = true;
    f.calculate();
    f.runState.running = false;
}

std::uint64_t pictureHash(const platform::Bitmap& picture) {
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (const platform::Color c : picture.snapshot()) {
        for (int shift = 0; shift < 32; shift += 8) {
            hash ^= (c >> shift) & 0xFFu;
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

std::string methodName(int method) {
    return method == complex::kRelief     ? "relief"
           : method == complex::kTesseral ? "tesseral"
                                          : "simple";
}

// The banded pictures of every type, method and arithmetic, as they have always come
// out: stored pictures and settings must look exactly as before.
TEST(ColouringTest, BandedPicturesAreUnchanged) {
    struct Case {
        engine::FractalType type;
        bool zoomed;               // a small view at the edge of the set instead of the default
        std::uint64_t hash[3][2];  // [method][integer]
    };
    const Case cases[] = {
        {engine::kMandelbrot,
         false,
         {{0x05fd1d8cf6cc6343ull, 0xf121f4134ef93e73ull},
          {0xce8dcce3df10bef4ull, 0x353a4bcb1235157cull},
          {0x05fd1d8cf6cc6343ull, 0xf121f4134ef93e73ull}}},
        {engine::kJulia,
         false,
         {{0xa3081b12f123a1ebull, 0x6de30a2deadb9d5bull},
          {0x985676cd73e6748eull, 0x28108093d99821d0ull},
          {0xa3081b12f123a1ebull, 0x6de30a2deadb9d5bull}}},
        {engine::kUnity,
         false,
         {{0xac63bc3d4bd1c6e3ull, 0x4b9f6b61a6c5c3c3ull},
          {0xc3bb5bda7b03f168ull, 0xa7be3261d7c235a0ull},
          {0xac63bc3d4bd1c6e3ull, 0x4b9f6b61a6c5c3c3ull}}},
        {engine::kSpider,
         false,
         {{0x96bcdd9a74028881ull, 0x0cd933d40f6ad745ull},
          {0x71f3d311f08e19dcull, 0x71f3d311f08e19dcull},
          {0x96bcdd9a74028881ull, 0x0cd933d40f6ad745ull}}},
        {engine::kManowar,
         false,
         {{0x5819120feb153147ull, 0x5819120feb153147ull},
          {0x03e41a0f47c709f2ull, 0x03e41a0f47c709f2ull},
          {0x5819120feb153147ull, 0x5819120feb153147ull}}},
        {engine::kPhoenix,
         false,
         {{0x180487a38a46de03ull, 0x8944c8168c67807full},
          {0x5fe803e09b472f4aull, 0x791989a72c0987f5ull},
          {0x180487a38a46de03ull, 0x8944c8168c67807full}}},
        {engine::kMandelbrot,
         true,
         {{0x6ab0bb96c5e6f95bull, 0x6ab0bb96c5e6f95bull},
          {0x677316055d3afe8bull, 0x677316055d3afe8bull},
          {0x6ab0bb96c5e6f95bull, 0x6ab0bb96c5e6f95bull}}},
    };
    for (const Case& c : cases) {
        for (int method = 0; method < 3; ++method) {
            for (int integer = 0; integer < 2; ++integer) {
                Rig rig(97, 83);
                auto f = makeType(c.type, rig.services());
                prepare(*f, method, integer != 0);
                if (c.zoomed)
                    f->setViewRect(-0.7512, 0.0312, -0.7412, 0.0412);
                scan(*f);
                EXPECT_EQ(pictureHash(f->picture), c.hash[method][integer])
                    << f->typeName << " " << methodName(method) << " integer " << integer;
            }
        }
    }
}

// With c = 0 every start point x > 1 on the real axis has the continuous count
// 1 - log2(log2 x) exactly (each step doubles log2 |z|), whichever step it escapes
// at; its whole count stays the banded one.
TEST(ColouringTest, SmoothCountOfKnownPoints) {
    struct Case {
        engine::FractalType type;  // Julia and Phoenix with both parameters 0 iterate z^2
        double x;
        int count;  // as the banded picture has it
    };
    const Case cases[] = {
        {engine::kJulia, 1.5, 2},    {engine::kJulia, 1.9, 2},   {engine::kJulia, 2.0, 1},
        {engine::kJulia, 2.6651, 1}, {engine::kJulia, 4.0, 1},   {engine::kJulia, 1.05, 5},
        {engine::kPhoenix, 1.5, 2},  {engine::kPhoenix, 2.0, 1}, {engine::kPhoenix, 1.05, 5},
    };
    for (const Case& c : cases) {
        Rig rig;
        auto f = makeType(c.type, rig.services());
        prepare(*f, complex::kSimple, false);
        f->setParamReal(0.0);
        f->setParamImag(0.0);
        const complex::EscapeValue value = f->smoothPoint(c.x, 0.0);
        EXPECT_EQ(value.count, c.count) << f->typeName << " at " << c.x;
        EXPECT_EQ(value.count, f->iteratePoint(c.x, 0.0)) << f->typeName << " at " << c.x;
        EXPECT_NEAR(value.continuous, 1.0 - std::log2(std::log2(c.x)), 1e-9)
            << f->typeName << " at " << c.x;
    }
    Rig rig;
    auto julia = makeType(engine::kJulia, rig.services());
    prepare(*julia, complex::kSimple, false);
    julia->setParamReal(0.0);
    julia->setParamImag(0.0);
    const complex::EscapeValue inside = julia->smoothPoint(0.5, 0.0);
    EXPECT_EQ(inside.count, julia->maxIterations());
    EXPECT_EQ(inside.continuous, julia->maxIterations());
}

// Along a line outside the set the continuous count changes by small steps where the
// whole count jumps from band to band.
TEST(ColouringTest, SmoothCountHasNoStepsWhereTheBandsChange) {
    struct Case {
        engine::FractalType type;
        double x1, y1, x2, y2;  // the line, outside the set
    };
    const Case cases[] = {
        {engine::kMandelbrot, -2.4, 1.3, 1.2, 1.3}, {engine::kJulia, -2.0, 0.9, 2.0, 0.9},
        {engine::kSpider, -2.4, 0.9, 1.2, 0.9},     {engine::kManowar, -1.2, 0.6, 1.2, 0.6},
        {engine::kPhoenix, -2.0, 1.6, 2.0, 1.6},
    };
    constexpr int kSteps = 4000;
    for (const Case& c : cases) {
        Rig rig;
        auto f = makeType(c.type, rig.services());
        prepare(*f, complex::kSimple, false);
        int bandChanges = 0;
        double largestStep = 0.0;
        complex::EscapeValue last = f->smoothPoint(c.x1, c.y1);
        for (int i = 1; i <= kSteps; ++i) {
            const double t = static_cast<double>(i) / kSteps;
            const complex::EscapeValue value =
                f->smoothPoint(c.x1 + t * (c.x2 - c.x1), c.y1 + t * (c.y2 - c.y1));
            ASSERT_LT(value.count, f->maxIterations()) << f->typeName << ": the line meets the set";
            bandChanges += value.count != last.count ? 1 : 0;
            largestStep = std::max(largestStep, std::abs(value.continuous - last.continuous));
            last = value;
        }
        EXPECT_GT(bandChanges, 2) << f->typeName;
        EXPECT_LT(largestStep, 0.05) << f->typeName;
    }
}

// Palette entries 0..2 and a limit of 10 counts.
struct ThreeColours {
    ThreeColours() {
        const platform::Color colors[] = {platform::rgb(0, 0, 0), platform::rgb(200, 100, 0),
                                          platform::rgb(0, 0, 255)};
        table.setColors(colors, 3);
    }
    engine::ColorTable table;
};

TEST(ColouringTest, EscapeValuesToColours) {
    ThreeColours palette;
    const complex::EscapeColouring bands(palette.table, 10, complex::kBands);
    const complex::EscapeColouring smooth(palette.table, 10, complex::kSmooth);
    const complex::EscapeColouring unknown(palette.table, 10, 7);
    const double nan = std::nan("");
    struct Case {
        const complex::EscapeColouring* colouring;
        complex::EscapeValue value;
        platform::Color expected;
    };
    const Case cases[] = {
        {&bands, {1, 1.6}, platform::rgb(200, 100, 0)},    // bands ignore the fraction
        {&bands, {4, 4.0}, platform::rgb(200, 100, 0)},    // entry 4 mod 3
        {&bands, {10, 10.0}, platform::kBlack},            // inside
        {&unknown, {2, 1.5}, platform::rgb(0, 0, 255)},    // an unknown colouring is banded
        {&smooth, {2, 2.0}, platform::rgb(0, 0, 255)},     // a whole continuous count
        {&smooth, {2, 1.5}, platform::rgb(100, 50, 128)},  // halfway from entry 1 to 2
        {&smooth, {2, 1.25}, platform::rgb(150, 75, 64)},
        {&smooth, {3, 2.75}, platform::rgb(0, 0, 64)},   // from entry 2 on to entry 0 (3 mod 3)
        {&smooth, {10, 9.5}, platform::kBlack},          // inside stays black
        {&smooth, {2, nan}, platform::rgb(0, 0, 255)},   // no number: the whole count
        {&smooth, {2, -3.0}, platform::rgb(0, 0, 255)},  // out of range: the whole count
        {&smooth, {2, 1e300}, platform::rgb(0, 0, 255)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.colouring->plain(c.value), c.expected)
            << c.value.count << " " << c.value.continuous;
    }
}

TEST(ColouringTest, ReliefShadingOfEachColouring) {
    ThreeColours palette;
    const complex::EscapeColouring bands(palette.table, 10, complex::kBands);
    const complex::EscapeColouring smooth(palette.table, 10, complex::kSmooth);
    const platform::Color entry1 = platform::rgb(200, 100, 0);
    struct Case {
        const complex::EscapeColouring* colouring;
        complex::EscapeValue previous;
        complex::EscapeValue value;
        platform::Color expected;
    };
    const Case cases[] = {
        {&bands, {-1, -1.0}, {1, 1.0}, entry1},                      // first of a diagonal
        {&bands, {1, 0.2}, {1, 1.0}, entry1},                        // same count
        {&bands, {0, 0.0}, {1, 1.0}, platform::rgb(255, 200, 100)},  // rising: lighter
        {&bands, {3, 3.0}, {1, 1.0}, platform::rgb(100, 0, 0)},      // falling: darker
        {&bands, {10, 10.0}, {1, 1.0}, platform::rgb(100, 0, 0)},    // after an inside pixel
        {&bands, {1, 1.0}, {10, 10.0}, platform::kBlack},            // inside: never shaded
        {&smooth, {-1, -1.0}, {1, 1.0}, entry1},                     // first of a diagonal
        {&smooth, {1, 0.5}, {1, 1.0}, platform::rgb(250, 150, 50)},  // half a count: half
        {&smooth, {1, 1.0}, {1, 1.0}, entry1},                       // level
        {&smooth, {2, 1.75}, {1, 1.0}, platform::rgb(125, 25, 0)},   // falling 0.75
        {&smooth, {9, 9.0}, {1, 1.0}, platform::rgb(100, 0, 0)},     // at most the depth
        {&smooth, {1, 1.0}, {10, 10.0}, platform::kBlack},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.colouring->relief(c.value, c.previous, 100), c.expected)
            << c.previous.continuous << " -> " << c.value.continuous;
    }
}

// A row of relief colours at once is each pixel's relief against the count above it,
// for every colouring a batched scan can meet, with neighbours higher, lower, level,
// inside and missing, and depths from none to the whole.
TEST(ColouringTest, ReliefOfARowIsEachPixelsRelief) {
    ThreeColours palette;
    complex::ColorControls spreadControls;
    spreadControls.density = 2.5;
    spreadControls.offset = 0.5;
    const complex::EscapeColouring bands(palette.table, 10, complex::kBands);
    const complex::EscapeColouring smooth(palette.table, 10, complex::kSmooth);
    const complex::EscapeColouring spread(palette.table, 10, complex::kBands, spreadControls);
    struct Case {
        const char* what;
        const complex::EscapeColouring* colouring;
    };
    const Case cases[] = {{"bands", &bands}, {"smooth", &smooth}, {"spread", &spread}};
    const std::vector<int> counts = {1, 1, 2, 5, 10, 3, 4, 12, 1, 9, 2, 7};
    const std::vector<int> above = {-1, 1, 1, 7, 3, 10, -1, 2, 4, 9, 11, 6};
    for (const Case& c : cases) {
        for (const int depth : {0, 1, 100, 255}) {
            std::vector<platform::Color> row(counts.size());
            c.colouring->reliefBands(counts.data(), above.data(), static_cast<int>(counts.size()),
                                     depth, row.data());
            for (std::size_t k = 0; k < counts.size(); ++k) {
                const complex::EscapeValue value{counts[k], static_cast<double>(counts[k])};
                const complex::EscapeValue previous{above[k], above[k] < 0 ? -1.0 : above[k]};
                EXPECT_EQ(row[k], c.colouring->relief(value, previous, depth))
                    << c.what << " depth " << depth << " pixel " << k;
            }
        }
    }
}

// Smooth pictures: every method and arithmetic gives the same colours (a tesseral
// rectangle of one count is computed pixel by pixel unless it is inside, and smooth
// counts are always computed in double precision), only relief shades them.
TEST(ColouringTest, SmoothPicturesOfEveryMethodAgree) {
    for (const engine::FractalType type : {engine::kMandelbrot, engine::kJulia, engine::kUnity}) {
        std::vector<std::uint64_t> hashes;
        std::uint64_t filled = 0;
        for (int method = 0; method < 3; ++method) {
            for (int integer = 0; integer < 2; ++integer) {
                Rig rig(97, 83);
                auto f = makeType(type, rig.services());
                prepare(*f, method, integer != 0);
                f->setColouring(complex::kSmooth);
                scan(*f);
                hashes.push_back(pictureHash(f->picture));
                if (method == complex::kTesseral)
                    filled += f->filledPixels.load();
            }
        }
        const std::string name = platform::cformat("type %d", type);
        EXPECT_EQ(hashes[0], hashes[1]) << name;  // simple: integer or not
        EXPECT_EQ(hashes[2], hashes[3]) << name;  // relief
        EXPECT_EQ(hashes[4], hashes[0]) << name;  // tesseral as simple
        EXPECT_EQ(hashes[5], hashes[0]) << name;
        EXPECT_NE(hashes[2], hashes[0]) << name;  // relief shades
        if (type == engine::kMandelbrot) {
            EXPECT_GT(filled, 0u) << name << ": the inside is still filled";
        }
    }
}

// The colouring travels as an eleventh field, written only when it is not bands; a
// string without it is banded, and readers of ten fields read the ten as before.
TEST(ColouringTest, ColouringFieldInTheParameterString) {
    struct Case {
        const char* stored;
        int colouring;     // after loading
        const char* back;  // the string saved back, from the eleventh field on
    };
    const Case cases[] = {
        {"-2,-1.5,1,1.5,200,0,0,1,1,100", complex::kBands, ""},
        {"-2,-1.5,1,1.5,200,0,0,1,1,100,1", complex::kSmooth, ",1"},
        {"-2,-1.5,1,1.5,200,0,0,1,1,100,0", complex::kBands, ""},
        {"-2,-1.5,1,1.5,200,0,0,1,1,100,7", 7, ",7"},  // kept as it is, coloured as bands
        {"-2,-1.5,1,1.5,200,0,0,1,1,100,x", complex::kBands, ""},
        {"-2,-1.5,1,1.5,200,0,0,1,1,100,1,9,9", complex::kSmooth, ",1"},
    };
    for (const Case& c : cases) {
        Rig rig(24, 18);
        complex::MandelbrotFractal f(rig.services());
        f.setColouring(complex::kSmooth);  // what the object held before
        rig.storeText("Mandelbrot", c.stored);
        {
            engine::TakingOverScope noRun(f);
            ASSERT_TRUE(f.loadParameters());
        }
        EXPECT_EQ(f.colouring.load(), c.colouring) << c.stored;
        EXPECT_EQ(f.maxIterations(), 200) << c.stored;
        EXPECT_EQ(f.method.load(), complex::kRelief) << c.stored;
        const std::string saved = f.parameterString();
        const std::size_t tenth = saved.find(",100");
        ASSERT_NE(tenth, std::string::npos) << saved;
        EXPECT_EQ(saved.substr(tenth + 4), c.back) << c.stored;

        // A reader of ten fields takes the same ten from the new string.
        double v[6] = {};
        int n[4] = {};
        EXPECT_EQ(platform::cscan(saved, "%lf,%lf,%lf,%lf,%d,%lf,%lf,%d,%d,%d", &v[0], &v[1], &v[2],
                                  &v[3], &n[0], &v[4], &v[5], &n[1], &n[2], &n[3]),
                  10)
            << saved;
        EXPECT_EQ(n[0], 200);
        EXPECT_EQ(n[3], 100);
    }
}

}  // namespace
