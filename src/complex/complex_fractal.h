#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "complex/batch_kernels.h"

#include "engine/fractal.h"
#include "platform/bitmap.h"
#include "platform/services.h"

namespace complex {

// How calculate() walks the picture; any other value scans as kSimple.
constexpr int kSimple = 0;
constexpr int kRelief = 1;
constexpr int kTesseral = 2;

// The finest pixel spacing the integer algorithm draws: sixteen steps of its 2^-28
// grid. Below it neighbouring pixels would share start values and the picture would
// turn into blocks, so such a view is computed in double precision.
constexpr double kFinestFixedPointSpacing = 0x1p-24;
bool fixedPointResolves(const engine::ViewWindow& view) noexcept;

// Channel-wise shading of the relief scan; depth is 0..255.
platform::Color brightenColor(platform::Color color, int depth) noexcept;
platform::Color darkenColor(platform::Color color, int depth) noexcept;

// The escape-time family: a kernel that gives an iteration count per plane point, and
// three ways of scanning the picture with it.
//
// Threads: calculate(), iteratePoint() and colorForCount() run on the worker. The
// dialog may change method and reliefDepth during a run (method is read when a scan
// starts, the depth before every shaded pixel); everything else the kernels read is
// changed only between a stop and the next start.
class ComplexFractal : public engine::Fractal {
  public:
    bool loadParameters() override;
    bool saveParameters() override;
    int calculate() override;
    void clearPicture() override;
    void prepareCalculation() override;
    std::string titleNote() const override;

    virtual void setMethod(int m);
    // An iteration count n with 1 <= n <= maxIterations; maxIterations means inside.
    virtual int iteratePoint(double x, double y) = 0;
    virtual void setParameters(int iterations, double real, double imag, bool integer);
    virtual void setMaxIterations(int n);
    virtual void setParamReal(double value);
    virtual void setParamImag(double value);
    // What the kernel reads, for evaluating many points at once with the batch
    // kernels; none when the kernel runs only point by point (iteratePoint).
    virtual std::optional<kernels::BatchSetup> batchSetup() const { return std::nullopt; }

    platform::Color colorForCount(int n) const noexcept;
    // Whether the kernels run in fixed point: the user's choice, unless the run's view
    // is finer than the integer algorithm resolves (the stored choice stays).
    bool integerArithmetic() const noexcept { return useInteger && !doubleForced_; }
    // The view and the iteration settings as one line of text, stored under the
    // type's name and carried inside picture files.
    std::string parameterString() const override;

    std::atomic<int> method{kRelief};
    std::atomic<int> reliefDepth{100};
    int maxIterations = 100;
    bool useInteger = true;
    double paramReal = 0.0;
    double paramImag = 0.0;
    // The pixels the tesseral scan filled without computing them, in this run.
    std::atomic<std::uint64_t> filledPixels{0};

  protected:
    explicit ComplexFractal(const platform::Services& services);

    // Sets type and fileType to id and typeName to the type's name.
    void identifyAs(engine::FractalType id);
    // What every type's defaults share; real and imag are the type's own parameters.
    void applyDefaultParameters(double real, double imag);
    // Keeps the view left behind in the zoom history.
    void applyDefaultView(double x1, double y1, double x2, double y2);

    void scanSimple();
    void scanRelief();
    void scanTesseral(int x, int y, int w, int h);
    // Evaluates and plots the border of the rectangle; true when nothing inside is
    // left to do (the border was uniform and the rectangle is filled, the rectangle
    // has no inside, or the run was stopped).
    bool traceBorder(int x, int y, int w, int h);

    // Kernel and statistics for pixel (column, row); x is the column's plane x.
    int evaluateAt(double x, int row) {
        const int n = iteratePoint(x, view.planeY(row));
        addPoints(1);
        addIterations(static_cast<std::uint64_t>(n));
        return n;
    }
    int evaluate(int column, int row) { return evaluateAt(view.planeX(column), row); }

    // Pixels to evaluate together, in the order the scan reaches them.
    struct PixelRun {
        std::vector<int> column;
        std::vector<int> row;
        std::vector<double> x;
        std::vector<double> y;
        std::vector<int> counts;
        void clear() noexcept;
        void add(int c, int r, double planeX, double planeY);
        int size() const noexcept { return static_cast<int>(x.size()); }
    };
    // A scan hands the kernels this many pixels at a time at most: enough to keep the
    // vector lanes full, few enough that a stop or a pause takes effect promptly.
    static constexpr int kRunPixels = 4096;
    // Counts for the run's pixels, with the statistics. Returns how many were
    // evaluated: all, or fewer when the run was stopped. The batch kernels evaluate a
    // whole run once the running flag has been seen set; point by point, the flag is
    // tested before every pixel.
    int evaluateRun(PixelRun& run);

  private:
    void plotCount(int column, int row, int n) { plotPoint(column, row, colorForCount(n)); }
    platform::Color reliefColor(int n, int previous) const noexcept;

    // Set before each run starts, read by the worker.
    bool doubleForced_ = false;
    // The worker's buffer for pixel runs.
    PixelRun run_;
};

}  // namespace complex
