#include "reference_command.h"

#include <chrono>
#include <cstdio>
#include <system_error>

#include "complex/complex_fractal.h"
#include "complex/reference_budget.h"
#include "complex/reference_file.h"
#include "engine/options.h"

namespace render {

namespace {

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

std::string saveReference(engine::Fractal& fractal, const std::string& path, bool& refused) {
    auto* escape = dynamic_cast<complex::ComplexFractal*>(&fractal);
    refused = true;
    if (escape == nullptr)
        return "--save-reference applies to escape-time types only";
    if (const std::string refusal = escape->nextLimitRefusal(); !refusal.empty())
        return "the view cannot be computed: " + refusal;
    // What a run does first: among others the automatic limit and the deep scene.
    fractal.prepareRun();
    if (!escape->runsDeepView())
        return "the view is computed in double precision and has no reference orbits";
    std::optional<complex::ReferenceRequest> request = escape->deepReferenceRequest();
    if (!request)
        return "the view cannot be computed: " + escape->deepRefusal();
    refused = false;
    // The orbits only: each picture builds the tables for its own reach.
    request->pictureReach = numeric::ExtFloat();
    return writeReference(*request, path);
}

std::string writeReference(const complex::ReferenceRequest& request, const std::string& path) {
    const auto started = std::chrono::steady_clock::now();
    const complex::ComputedReference computed = complex::computeSharedReference(request);
    const double computing = millisecondsSince(started);
    if (computed.outcome != complex::OrbitOutcome::kDone)
        return "the view's reference orbits need more memory than can be had";
    const complex::ReferenceOrbits& orbits = *computed.reference->orbits;
    if (const platform::FileWriteResult written = complex::writeReferenceFile(path, orbits);
        !written)
        return path + ": cannot write the reference: " + written.reason;
    // The figures of the file as it is read back: what a picture that uses it pays.
    const auto readStarted = std::chrono::steady_clock::now();
    const complex::ReferenceFileRead read = complex::readReferenceFile(path, request.mostBytes);
    const double reading = millisecondsSince(readStarted);
    if (!read.reference)
        return path + ": the reference written cannot be read back: " + read.error;
    std::printf(
        "states=%zu critical_states=%zu precision=%ld iterations=%d bytes=%zu "
        "milliseconds=%.1f read_milliseconds=%.1f\n",
        orbits.primary.points.size(), orbits.hasCritical ? orbits.critical.points.size() : 0,
        orbits.precision, orbits.formula.maxIterations, read.bytes, computing, reading);
    return {};
}

std::string readReference(const std::string& path,
                          std::shared_ptr<const complex::SharedReference>& reference) {
    // The same bound the picture's own orbits have.
    const complex::ReferenceFileRead read = complex::readReferenceFile(
        path, complex::bytesOfMiB(engine::Options::kDefaultReferenceMiB));
    if (!read.reference)
        return path + ": cannot use the reference: " + read.error;
    reference = read.reference;
    return {};
}

}  // namespace render
