#pragma once

namespace complex {

// What an escape-time kernel reads besides the point: taken as a run starts, so that
// the iteration settings may change while it goes on and reach only the next run.
struct EscapeParameters {
    int maxIterations = 100;
    double paramReal = 0.0;
    double paramImag = 0.0;
    // The arithmetic the run computes in: the user's choice of fixed point, unless the
    // view is finer than the integer algorithm resolves.
    bool integer = true;
};

}  // namespace complex
