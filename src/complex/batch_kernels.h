#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

#include "complex/escape_kernels.h"
#include "complex/fixed28.h"

// The escape-time kernels over many plane points at once: several pixels in flight
// per core in vector lanes (in fixed point only where the machine multiplies 64-bit
// lanes; elsewhere fixed point runs point by point). Every count is the
// one the single-point kernel in escape_kernels.h returns for the same point, bit for
// bit: the same operations in the same order, the same escape tests, no contracted
// multiply-adds.
namespace complex::kernels {

enum class Formula { kMandelbrot, kJulia, kUnity, kSpider, kManowar, kPhoenix };

// Everything a kernel reads besides the point.
struct BatchSetup {
    Formula formula = Formula::kMandelbrot;
    int limit = 1;  // maxIterations
    bool integer = false;
    double paramReal = 0.0;
    double paramImag = 0.0;
};

// The single-point kernel for (x, y), as the types' iteratePoint runs it.
inline int countPoint(const BatchSetup& s, double x, double y) noexcept {
    using fixed28::toFixed28;
    if (s.integer) {
        switch (s.formula) {
            case Formula::kMandelbrot:
                return quadratic(toFixed28(s.paramReal), toFixed28(s.paramImag), toFixed28(x),
                                 toFixed28(y), s.limit);
            case Formula::kJulia:
                return quadratic(toFixed28(x), toFixed28(y), toFixed28(s.paramReal),
                                 toFixed28(s.paramImag), s.limit);
            case Formula::kUnity:
                return unity(toFixed28(x), toFixed28(y), s.limit);
            case Formula::kSpider:
                return spider(toFixed28(s.paramReal), toFixed28(s.paramImag), toFixed28(x),
                              toFixed28(y), s.limit);
            case Formula::kManowar:
                return manowar(toFixed28(s.paramReal), toFixed28(s.paramImag), toFixed28(x),
                               toFixed28(y), s.limit);
            case Formula::kPhoenix:
                return phoenix(toFixed28(x), toFixed28(y), toFixed28(s.paramReal),
                               toFixed28(s.paramImag), s.limit);
        }
        return s.limit;
    }
    switch (s.formula) {
        case Formula::kMandelbrot:
            return quadratic(s.paramReal, s.paramImag, x, y, s.limit);
        case Formula::kJulia:
            return quadratic(x, y, s.paramReal, s.paramImag, s.limit);
        case Formula::kUnity:
            return unity(x, y, s.limit);
        case Formula::kSpider:
            return spider(s.paramReal, s.paramImag, x, y, s.limit);
        case Formula::kManowar:
            return manowar(s.paramReal, s.paramImag, x, y, s.limit);
        case Formula::kPhoenix:
            return phoenix(x, y, s.paramReal, s.paramImag, s.limit);
    }
    return s.limit;
}

// A run's flags, which a batch looks at every few steps: it gives up when the run
// was stopped or paused, or when cancel (a picture computed without a run) was set.
// A flag not given is never raised.
struct BatchInterrupt {
    const std::atomic<bool>* running = nullptr;
    const std::atomic<bool>* paused = nullptr;
    const std::atomic<bool>* cancel = nullptr;
    bool requested() const noexcept {
        return (running != nullptr && !running->load(std::memory_order_relaxed)) ||
               (paused != nullptr && paused->load(std::memory_order_relaxed)) ||
               (cancel != nullptr && cancel->load(std::memory_order_relaxed));
    }
};

// counts[i] = countPoint(setup, x[i], y[i]) for i < count; false when interrupt (if
// given) was requested before every count was found (the counts are then partial).
bool countBatch(const BatchSetup& setup, const double* x, const double* y, std::size_t count,
                int* counts, const BatchInterrupt* interrupt = nullptr) noexcept;

// The instruction set the batch kernels chose on this machine ("AVX3", "AVX2", ...).
std::string vectorTargetName();

// Runs check once per instruction set that is compiled in and that this machine has,
// with countBatch held to it; afterwards countBatch chooses the best one again. For
// tests and benchmarks, on a thread where no scan runs.
void forEachVectorTarget(const std::function<void(const std::string& name)>& check);

}  // namespace complex::kernels
