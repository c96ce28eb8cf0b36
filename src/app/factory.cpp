#include "app/factory.h"

#include <cctype>
#include <new>
#include <numbers>

#include "complex/julia_fractal.h"
#include "complex/mandelbrot_fractal.h"
#include "complex/manowar_fractal.h"
#include "complex/phoenix_fractal.h"
#include "complex/spider_fractal.h"
#include "complex/unity_fractal.h"
#include "orbit/chip_fractal.h"
#include "orbit/gingerbreadman_fractal.h"
#include "orbit/henon_fractal.h"
#include "orbit/hopalong_fractal.h"
#include "orbit/martin_fractal.h"
#include "orbit/quadruptwo_fractal.h"
#include "orbit/threeply_fractal.h"
#include "platform/string_table.h"

namespace app {

namespace {

engine::Fractal* newFractal(engine::FractalType id, const platform::Services& services) {
    switch (id) {
        case engine::kHopalong:
            return new orbit::HopalongFractal(services, 10, 20, 30);
        case engine::kQuadruptwo:
            return new orbit::QuadruptwoFractal(services, 40, 10, 30);
        case engine::kThreeply:
            return new orbit::ThreeplyFractal(services, 10, 20, 30);
        case engine::kChip:
            return new orbit::ChipFractal(services, 10, 20, 30);
        case engine::kJulia:
            return new complex::JuliaFractal(services);
        case engine::kMartin:
            return new orbit::MartinFractal(services, std::numbers::pi);
        case engine::kHenon:
            return new orbit::HenonFractal(services, 1.4, 0.3);
        case engine::kGingerbreadman:
            return new orbit::GingerbreadmanFractal(services, -0.1, 0, 0);
        case engine::kUnity:
            return new complex::UnityFractal(services);
        case engine::kSpider:
            return new complex::SpiderFractal(services);
        case engine::kManowar:
            return new complex::ManowarFractal(services);
        case engine::kPhoenix:
            return new complex::PhoenixFractal(services);
        default:
            return new complex::MandelbrotFractal(services);
    }
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

engine::FractalPtr createFractal(engine::FractalType id, const platform::Services& services) {
    try {
        return engine::FractalPtr(newFractal(id, services));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::optional<engine::FractalType> fractalTypeFromName(std::string_view name) {
    for (engine::FractalType id = engine::kHopalong; id <= engine::kPhoenix; ++id) {
        if (equalIgnoringCase(name, fractalTypeName(id)))
            return id;
    }
    return std::nullopt;
}

std::string fractalTypeName(engine::FractalType id) {
    const int stringId = platform::typeNameStringId(id);
    return stringId == 0 ? std::string() : std::string(platform::loadString(stringId));
}

}  // namespace app
