#include "catalogue/fractal_types.h"

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

namespace catalogue {

namespace {

using engine::FractalType;
using engine::TypeDescription;
using engine::TypeFamily;

// Index i holds the type whose id is i + 1.
constexpr const TypeDescription* kTypes[] = {
    &orbit::HopalongFractal::kDescription,       &orbit::QuadruptwoFractal::kDescription,
    &orbit::ThreeplyFractal::kDescription,       &orbit::ChipFractal::kDescription,
    &complex::MandelbrotFractal::kDescription,   &complex::JuliaFractal::kDescription,
    &orbit::MartinFractal::kDescription,         &orbit::HenonFractal::kDescription,
    &orbit::GingerbreadmanFractal::kDescription, &complex::UnityFractal::kDescription,
    &complex::SpiderFractal::kDescription,       &complex::ManowarFractal::kDescription,
    &complex::PhoenixFractal::kDescription,
};

}  // namespace

std::span<const TypeDescription* const> fractalTypes() {
    return kTypes;
}

const TypeDescription* findFractalType(FractalType id) {
    // Compared before subtracting: every 32-bit id is safe here.
    if (id < 1 || id > static_cast<FractalType>(std::size(kTypes)))
        return nullptr;
    return kTypes[id - 1];
}

bool isOrbitType(FractalType type) {
    const TypeDescription* description = findFractalType(type);
    return description != nullptr && description->family == TypeFamily::kOrbit;
}

bool isComplexType(FractalType type) {
    const TypeDescription* description = findFractalType(type);
    return description != nullptr && description->family == TypeFamily::kComplex;
}

}  // namespace catalogue
