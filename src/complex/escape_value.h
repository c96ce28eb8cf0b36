#pragma once

namespace complex {

// What one point of an escape-time picture gives: the kernel's whole iteration count,
// and the continuous count that smooth colouring blends by. The continuous count
// equals the whole count wherever there is none to give (inside points, banded runs).
struct EscapeValue {
    int count = 0;
    double continuous = 0.0;
};

}  // namespace complex
