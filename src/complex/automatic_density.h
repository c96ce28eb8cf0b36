#pragma once

#include <vector>

#include "complex/color_controls.h"
#include "complex/escape_value.h"

namespace complex {

// The automatic density looks at a sample of a picture's pixels: a grid across the
// picture, each point with its right and its lower neighbour, so that it sees how far
// apart the counts of neighbouring pixels lie. The same picture size always gives the
// same sample, so a picture and its export at that size find the same density.
struct SampleSpot {
    int column;
    int row;
};
// Three spots a point of the grid (the point, its right, its lower neighbour); none
// for a picture narrower or lower than two pixels.
std::vector<SampleSpot> densitySampleSpots(int width, int height);

// The density that puts most neighbouring pixels of the sample (values in the order of
// the spots) at most about one palette step apart: the spread that nine pairs of ten
// escaped pairs stay within, after the transfer, counts one step. A sample whose
// pairs mostly hold the same value (or no escaped pair) keeps the density of 1; the
// result lies between kFinestDensity and kCoarsestDensity.
double densityOfSample(const std::vector<EscapeValue>& values, int maxIterations, bool smooth,
                       Transfer transfer);

}  // namespace complex
