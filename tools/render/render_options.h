#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/tile_split.h"
#include "complex/color_controls.h"
#include "view/deep_view.h"

namespace render {

// What the command line asks for.
struct RenderOptions {
    std::optional<std::int32_t> type;  // --type, by name or id
    std::optional<int> width;          // --size WxH
    std::optional<int> height;
    std::optional<std::string> params;   // --params
    std::optional<std::string> palette;  // --palette
    std::uint32_t points = 1000000;      // --points, orbit types only
    std::optional<std::string> from;     // --from
    std::optional<int> colouring;        // --colouring bands|smooth, escape-time types
    // --density D|auto, --offset O, --transfer linear|sqrt|log, escape-time types:
    // replace those the parameters carry.
    complex::ColorControlChanges colorChanges;
    std::optional<int> threads;  // --threads, escape-time types; default all cores
    // --iterations N|auto, escape-time types: replaces the limit of the parameters.
    std::optional<int> iterations;
    bool autoIterations = false;
    // --exact-counts, escape-time pictures: deep views count again, more precisely, the
    // pixels whose count double differences cannot decide (slower).
    bool exactCounts = false;
    // --center RE,IM --width W, escape-time types: replaces the view of the parameters.
    std::optional<view::CentreAndWidth> view;
    // The view came with --location, which any type may take (an orbit type's only
    // where double precision resolves it).
    bool viewOfLocation = false;
    // --supersample N, escape-time types in a .png: N x N samples a pixel; replaces the
    // factor a --from picture tells.
    std::optional<int> supersample;
    // --find-minibrot: prints the view of the minibrot nearest the view instead of
    // rendering; takes no OUTPUT.
    bool findMinibrot = false;
    // --tile I/N, escape-time types in a .png: only tile I of the picture split into N.
    std::optional<app::TileId> tile;
    // --stitch N PATTERN OUTPUT: joins tiles 0..N-1, named by PATTERN, into OUTPUT.
    std::optional<int> stitchCount;
    std::string stitchPattern;
    // --save-reference FILE: writes the reference orbits of the view's centre instead
    // of rendering; takes no OUTPUT.
    std::optional<std::string> saveReference;
    // --reference FILE: reference orbits the picture uses instead of computing its own.
    std::optional<std::string> reference;
    std::string output;

    // A zoom path: --path FILE, or --zoom-to RE,IM --zoom-width W --per-doubling N (the
    // start the view of the other options) with --ease E and --keyframe-every K.
    std::optional<std::string> pathFile;
    std::optional<view::CentreAndWidth> zoomTo;
    std::optional<int> perDoubling;
    std::optional<int> ease;
    std::optional<int> keyframeEvery;
    // What is done with the path: one of these.
    std::optional<long> frame;                    // --frame K
    std::optional<std::pair<long, long>> frames;  // --frames A-B
    std::optional<std::string> plan;              // --plan OUT-PATTERN
    bool frameCount = false;                      // --frame-count
    std::optional<long> chunk;                    // --chunk N, with --plan
    int skippedExit = 3;                          // --skipped-exit N
    // The options that give the path, as given (a file named made absolute): what
    // each command of a plan repeats.
    std::vector<std::string> pathArguments;

    bool pathGiven() const { return pathFile.has_value() || zoomTo.has_value(); }
};

struct ParsedCommandLine {
    RenderOptions options;
    bool help = false;
    std::string error;  // empty when the command line is usable
};

// Every option takes the next argument as its value, as it is (a parameter string
// may well begin with '-'). "--" ends the options.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

// "WxH" with two positive decimal numbers up to the longest side of a bitmap picture;
// false for anything else.
bool parseSize(const std::string& text, int& width, int& height);
// Whether a picture of width x height may be computed whole and saved as a bitmap
// file (a .png is computed in bands and may be larger).
bool sizeAllowed(int width, int height);

// Why the type's reader takes params for a damaged string (too few fields, a number
// beyond its field's range); empty when it does not.
std::string parameterStringDamage(std::int32_t type, const std::string& params);

const char* usageText();

}  // namespace render
