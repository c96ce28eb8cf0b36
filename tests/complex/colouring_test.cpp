// Colouring of escape-time pictures: the banded pictures every stored setting shows,
// and the smooth colouring beside them.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "complex/julia_fractal.h"
#include "complex/mandelbrot_fractal.h"
#include "complex/manowar_fractal.h"
#include "complex/phoenix_fractal.h"
#include "complex/spider_fractal.h"
#include "complex/unity_fractal.h"
#include "complex_test_rig.h"

namespace {

using complex_test::Rig;

std::unique_ptr<complex::ComplexFractal> makeType(engine::FractalType type,
                                                  const platform::Services& services) {
    switch (type) {
        case engine::kJulia:
            return std::make_unique<complex::JuliaFractal>(services);
        case engine::kUnity:
            return std::make_unique<complex::UnityFractal>(services);
        case engine::kSpider:
            return std::make_unique<complex::SpiderFractal>(services);
        case engine::kManowar:
            return std::make_unique<complex::ManowarFractal>(services);
        case engine::kPhoenix:
            return std::make_unique<complex::PhoenixFractal>(services);
        default:
            return std::make_unique<complex::MandelbrotFractal>(services);
    }
}

// The type's defaults with the method and arithmetic given, nothing started.
void prepare(complex::ComplexFractal& f, int method, bool integer) {
    engine::TakingOverScope noRun(f);
    f.setDefaultParameters();
    f.setDefaultView();
    f.setMethod(method);
    f.useInteger = integer;
}

// One whole scan on this thread, as the worker runs it.
void scan(complex::ComplexFractal& f) {
    f.prepareCalculation();
    f.running = true;
    f.calculate();
    f.running = false;
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
                    f->view.setRect(-0.7512, 0.0312, -0.7412, 0.0412);
                scan(*f);
                EXPECT_EQ(pictureHash(f->picture), c.hash[method][integer])
                    << f->typeName << " " << methodName(method) << " integer " << integer;
            }
        }
    }
}

}  // namespace
