#pragma once

#include "platform/bitmap.h"

namespace engine {

// A colour in the OKLab space: lightness and two opponent axes. Straight lines in it
// look even to the eye, so gradients are mixed here rather than in sRGB bytes.
struct OkLab {
    double lightness = 0.0;
    double a = 0.0;
    double b = 0.0;
};

// An sRGB byte (0..255) as linear light (0..1), and back (clamped, rounded to nearest).
double linearFromSrgb(unsigned byte);
unsigned srgbFromLinear(double linear);

OkLab okLabFromColor(platform::Color color);
// Colours outside the sRGB gamut are clamped channel by channel.
platform::Color colorFromOkLab(const OkLab& lab);

// The colour share t (0..1) of the way from a to b, mixed in OKLab.
platform::Color mixOkLab(platform::Color a, platform::Color b, double t);

}  // namespace engine
