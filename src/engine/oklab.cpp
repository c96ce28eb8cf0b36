#include "engine/oklab.h"

#include <algorithm>
#include <cmath>

namespace engine {

namespace {

struct LinearRgb {
    double red;
    double green;
    double blue;
};

LinearRgb linearOf(platform::Color color) {
    return {linearFromSrgb(platform::redOf(color)), linearFromSrgb(platform::greenOf(color)),
            linearFromSrgb(platform::blueOf(color))};
}

}  // namespace

double linearFromSrgb(unsigned byte) {
    const double encoded = static_cast<double>(std::min(byte, 255u)) / 255.0;
    if (encoded <= 0.04045)
        return encoded / 12.92;
    return std::pow((encoded + 0.055) / 1.055, 2.4);
}

unsigned srgbFromLinear(double linear) {
    // NaN compares false everywhere: it becomes black, never an undefined conversion.
    if (!(linear > 0.0))
        return 0;
    if (linear >= 1.0)
        return 255;
    const double encoded =
        linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
    const double scaled = std::clamp(encoded * 255.0, 0.0, 255.0);
    return static_cast<unsigned>(std::lround(scaled));
}

// The matrices of the OKLab definition, from linear sRGB through the cone responses.
OkLab okLabFromColor(platform::Color color) {
    const LinearRgb c = linearOf(color);
    const double l =
        std::cbrt(0.4122214708 * c.red + 0.5363325363 * c.green + 0.0514459929 * c.blue);
    const double m =
        std::cbrt(0.2119034982 * c.red + 0.6806995451 * c.green + 0.1073969566 * c.blue);
    const double s =
        std::cbrt(0.0883024619 * c.red + 0.2817188376 * c.green + 0.6299787005 * c.blue);
    return {0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
            1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
            0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
}

platform::Color colorFromOkLab(const OkLab& lab) {
    const double l = lab.lightness + 0.3963377774 * lab.a + 0.2158037573 * lab.b;
    const double m = lab.lightness - 0.1055613458 * lab.a - 0.0638541728 * lab.b;
    const double s = lab.lightness - 0.0894841775 * lab.a - 1.2914855480 * lab.b;
    const double l3 = l * l * l;
    const double m3 = m * m * m;
    const double s3 = s * s * s;
    const double red = 4.0767416621 * l3 - 3.3077115913 * m3 + 0.2309699292 * s3;
    const double green = -1.2684380046 * l3 + 2.6097574011 * m3 - 0.3413193965 * s3;
    const double blue = -0.0041960863 * l3 - 0.7034186147 * m3 + 1.7076147010 * s3;
    return platform::rgb(srgbFromLinear(red), srgbFromLinear(green), srgbFromLinear(blue));
}

platform::Color mixOkLab(platform::Color a, platform::Color b, double t) {
    if (!(t > 0.0))
        return a;
    if (t >= 1.0)
        return b;
    const OkLab from = okLabFromColor(a);
    const OkLab to = okLabFromColor(b);
    return colorFromOkLab({from.lightness + (to.lightness - from.lightness) * t,
                           from.a + (to.a - from.a) * t, from.b + (to.b - from.b) * t});
}

}  // namespace engine
