#pragma once

#include <cstdarg>
#include <string>

namespace platform {

// printf and sscanf with the C library's formats, always with '.' as the decimal
// point whatever the process locale (the GUI toolkit sets it from the environment).
std::string cformat(const char* format, ...) __attribute__((format(printf, 1, 2)));
int cscan(const std::string& text, const char* format, ...) __attribute__((format(scanf, 2, 3)));

// The shortest text that "%lf" reads back as exactly this double ("-0.7436438870371587",
// "1e-07", "120"), with '.' as the decimal point in any locale. Views are written this way
// so that they survive every store and file bit for bit.
std::string formatRoundTrip(double value);

}  // namespace platform
