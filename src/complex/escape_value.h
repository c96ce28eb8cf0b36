#pragma once

namespace complex {

// What one point of an escape-time picture gives: the kernel's whole iteration count,
// and the continuous count that smooth colouring blends by. The continuous count
// equals the whole count wherever there is none to give (inside points, banded runs).
// Runs coloured by distance give the point's estimated distance to the set's boundary
// as well, in pixels of the run's view (0: inside, or too near to tell).
struct EscapeValue {
    int count = 0;
    double continuous = 0.0;
    double distance = 0.0;
};

}  // namespace complex
