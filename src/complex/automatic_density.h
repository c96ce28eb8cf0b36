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

// The density that keeps most neighbouring pixels of the sample (values in the order of
// the spots) a few palette steps apart at most: the spread (after the transfer) that
// four in five escaped pairs stay within makes eight steps. A sample whose pairs mostly
// hold the same value (or no escaped pair) keeps the density of 1; a linear transfer
// never goes below 1, the others not below kFinestDensity, and none above
// kCoarsestDensity.
double densityOfSample(const std::vector<EscapeValue>& values, int maxIterations, bool smooth,
                       Transfer transfer);

}  // namespace complex
