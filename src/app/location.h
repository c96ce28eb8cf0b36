#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/fractal.h"
#include "view/deep_view.h"

namespace app {

// A place in a fractal a person can read, copy, keep and type: the type, the centre
// and width of the view, the iteration limit and the type's parameter string. As text,
// one "key value" pair a line:
//
//   type Mandelbrot
//   centre -0.743643887037158704752191506114774 0.131825904205311970493132056385139
//   width 1.5e-30
//   iterations 50000
//   parameters -2.5,-1.5,1,1.5,50000,0,0,1,0,0
//
// Keys are English words in any case, in any order, each at most once ("center" is
// taken for "centre"); blank lines, lines starting with '#' and the whitespace around
// keys and values are ignored; any other key is refused, so that a typing mistake
// never passes unnoticed. "type" (a name or an id), "centre" and "width" are needed;
// "iterations" (escape-time types only) and "parameters" may be left out, and the
// type's current parameters are kept then. The centre and width win over the view of
// the parameter string, and the iterations over its limit.
struct Location {
    engine::FractalType type = 0;
    view::CentreAndWidth view;
    std::optional<int> iterations;
    // The classic fields of the type's parameter string, without the precise field of
    // a deep view (the centre and width say it).
    std::optional<std::string> parameters;
};

struct LocationResult {
    std::optional<Location> value;
    std::string error;  // a short English sentence when value is empty
};

// The longest location text read: a centre of the narrowest view takes tens of
// thousands of digits, a parameter string at most kMaxParameterUnits.
inline constexpr std::size_t kLongestLocationText = 400000;

// Refuses, with a message, text that does not parse, names no type, has a width or a
// centre out of range, more digits than its width could ever need, an iteration limit
// out of range or a parameter string the type's reader takes for damaged.
LocationResult parseLocation(std::string_view text);

// The view of a location on a picture, given fitted, the view of its centre and width
// there. A location copied from a view double holds carries that view's exact
// rectangle in its parameter string; where that rectangle shows the same centre and
// width to a thousandth of a pixel it is taken, so that a copy pasted back is the very
// view copied, not one a rounding away.
view::DeepView viewOfLocation(const Location& location, const view::DeepView& fitted);

// The text of a location; the centre and width with as many digits as the view needs.
std::string formatLocation(engine::FractalType type, const view::DeepView& view,
                           std::optional<int> iterations, const std::string& parameters);
// The location of the fractal shown.
std::string locationOf(const engine::Fractal& fractal);

// The parameter string without the precise field of a deep view.
std::string classicFields(std::string_view parameters);
// The iteration limit of an escape-time type's parameter string (its fifth field).
std::optional<int> iterationsOf(std::string_view parameters);
// The parameter string showing view instead of its own (the rectangle, and the
// precise field when view is deep), with iterations as its limit when given.
std::string parametersShowing(std::string_view parameters, const view::DeepView& view,
                              std::optional<int> iterations);

// Why the type's reader takes parameters for damaged; empty when it does not.
std::string parameterStringDamage(engine::FractalType type, const std::string& parameters);

}  // namespace app
