#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "complex/automatic_limit.h"
#include "complex/batch_kernels.h"
#include "complex/color_controls.h"
#include "complex/escape_colouring.h"
#include "complex/escape_parameters.h"
#include "complex/escape_value.h"
#include "complex/kept_values.h"
#include "complex/perturbation.h"
#include "engine/fractal.h"
#include "engine/type_description.h"
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
bool fixedPointResolves(const view::ViewWindow& view) noexcept;

// A parameter string as the family reads it: the view's corners, the iteration
// limit, the two parameters, the integer switch, the scan method, the relief depth
// and, when present, the colouring.
struct StoredParameters {
    double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0, real = 0.0, imag = 0.0;
    int iterations = 0, integer = 0, method = 0, depth = 0, colouring = kBands;
    // The controls of the colours (the defaults when the string carries none).
    ColorControls controls;
    int fields = 0;  // how many were read
    // Why the string cannot be applied (too few fields, a number out of range);
    // empty when it can.
    std::string damage;
};
StoredParameters readParameterString(const std::string& text);

// The escape-time family: a kernel that gives an iteration count per plane point, and
// three ways of scanning the picture with it.
//
// Threads: calculate(), iteratePoint(), smoothPoint() and colorForCount() run on the
// worker. The dialog may change method, colouring and reliefDepth during a run (method
// and colouring are read when a scan starts, the depth before every shaded pixel);
// the kernels read the run's EscapeParameters, taken as it started.
class ComplexFractal : public engine::Fractal {
  public:
    bool loadParameters() override;
    bool saveParameters() override;
    // The type's defaults from its description.
    void setDefaultParameters() override;
    int calculate() override;
    void clearPicture() override;
    void prepareCalculation() override;
    void setDefaultView() override;
    std::string titleNote() const override;
    // Views deeper than double resolves are computed by perturbation.
    bool computesDeepViews() const override { return true; }
    // Single pixels of a moving view, plainly coloured (live_samples.cpp).
    bool prepareLiveSamples() override;
    void liveSamples(const std::vector<platform::Point>& spots, platform::Color* out) override;
    // A relief picture loses its shading, which moving frames could not keep up.
    std::vector<platform::Color> liveFramePixels() const override;
    // Whether the run under way computes a deep view.
    bool runsDeepView() const noexcept { return runInputs().deep != nullptr; }
    // Computes a deep run's reference orbits (stop is asked at every step); false when
    // stopped or when the view was refused (deepRefusal() says why). stop is kept for
    // the run's pixels and must outlive it.
    bool prepareDeepScene(const std::function<bool()>& stop);
    // Why the deep run under way computes nothing; empty when it computes.
    std::string deepRefusal() const;
    // A reference (read from a file) that every later deep run must use: a run it
    // cannot serve computes nothing and deepRefusal() says why. nullptr: each run
    // computes its own or reuses the last run's.
    void useReference(std::shared_ptr<const complex::SharedReference> reference) {
        givenReference_ = std::move(reference);
    }
    // The reference the prepared deep run computes for itself; nullopt without a deep
    // run (after prepareRun()).
    std::optional<complex::ReferenceRequest> deepReferenceRequest() const;
    // The iteration limit of the run under way (the automatic one when the options
    // say so).
    int runLimit() const noexcept { return runParameters_.maxIterations; }
    // The memory the options allow the reference orbits of a deep view.
    std::uint64_t referenceMemoryBytes() const noexcept;
    // Why the next run's iteration limit cannot be computed at its view (a deep view
    // whose reference orbits could need more memory than allowed); empty when it can.
    std::string nextLimitRefusal() const;
    // The magnification of the next run's view over the type's default view on this
    // picture, as a power of 2.
    double log2Magnification() const;
    std::optional<engine::DeepReport> deepReport() const override;
    // Marks the end of a deep run's pixels (its scan, or an export's last band).
    void finishDeepPixels();

    virtual void setMethod(int m);
    // An iteration count n with 1 <= n <= p.maxIterations; p.maxIterations means inside.
    virtual int iteratePoint(const EscapeParameters& p, double x, double y) = 0;
    // The count as iteratePoint gives it in double precision, with the continuous
    // count smooth colouring blends by. Without a kernel of its own a type gives its
    // whole count as the continuous one (bands).
    virtual EscapeValue smoothPoint(const EscapeParameters& p, double x, double y);
    // What the kernel reads, for evaluating many points at once with the batch
    // kernels (the type's formula, from its description); none when the kernel runs
    // only point by point (iteratePoint).
    virtual std::optional<kernels::BatchSetup> batchSetup(const EscapeParameters& p) const;
    // The count of a point in double precision with its estimated distance to the set's
    // boundary in plane units, for the types whose derivative is known (see
    // carriesDistance; others give their smooth value and no distance). Always in double:
    // the fixed-point words cannot hold the derivative.
    EscapeValue distancePoint(const EscapeParameters& p, double x, double y);
    // Whether the type's points can be coloured by their distance: z^2 + c by c
    // (Mandelbrot) or by the starting point (Julia), at any depth (deep views carry the
    // derivative in a walk of their own).
    bool carriesDistance() const noexcept;
    // A picture computed as factor x factor samples a pixel (supersampled) measures its
    // distances in pixels of the picture the samples are averaged into, so that its
    // colours are those of the plain picture. From the next run; 1 unless set.
    void setSamplesPerPixel(int factor) noexcept { samplesPerPixel_ = std::max(factor, 1); }
    // The same with the settings of the next run.
    int iteratePoint(double x, double y) { return iteratePoint(nextRunParameters(), x, y); }
    EscapeValue smoothPoint(double x, double y) { return smoothPoint(nextRunParameters(), x, y); }
    virtual void setParameters(int iterations, double real, double imag, bool integer);
    virtual void setMaxIterations(int n);
    virtual void setParamReal(double value);
    virtual void setParamImag(double value);
    // Fixed point (when the view allows it) or double, from the next run.
    void setIntegerArithmetic(bool integer) { useInteger_ = integer; }

    // The iteration settings of the next run.
    int maxIterations() const noexcept { return maxIterations_; }
    double paramReal() const noexcept { return paramReal_; }
    double paramImag() const noexcept { return paramImag_; }
    bool useInteger() const noexcept { return useInteger_; }
    EscapeParameters nextRunParameters() const noexcept;

    // Stored like the method, effective from the next start; kBands, kSmooth.
    void setColouring(int c);
    // How the values are spread over the palette, from the next picture on (or at once
    // through recolor()). User-interface thread.
    void setColorControls(const ColorControls& controls) { colorControls_ = controls; }
    const ColorControls& colorControls() const noexcept { return colorControls_; }
    // The density the last picture was coloured with: the one found from its counts
    // when automatic.
    double lastDensity() const noexcept { return lastDensity_.load(std::memory_order_relaxed); }
    // Colours the finished picture again from its kept values with the palette, the
    // colouring controls and the relief depth of now, without computing a pixel: the
    // same pixels a new run would draw. False (nothing drawn) when the picture has no
    // kept values that serve: a run under way or stopped before its end, a picture
    // opened from a file, a colouring (bands or smooth) other than the picture's, or
    // an automatic density the picture did not find. User-interface thread.
    bool recolor();
    // The colouring that gives the finished picture's colours from its kept values; none
    // while a run is under way, or where the kept values do not serve (see recolor).
    std::optional<EscapeColouring> keptColouring() const;
    // The automatic density of the finished picture for a transfer: the one its run found,
    // or one found in its kept values; none for a Tesseral picture whose run found none,
    // as its filled areas hold their border's count rather than what a run would sample.
    std::optional<double> keptAutomaticDensity(Transfer transfer) const;
    // The values the last finished picture was coloured from.
    const KeptValues& keptValues() const noexcept { return kept_; }

    platform::Color colorForCount(int n) const noexcept {
        return EscapeColouring(colorTable(), maxIterations_, kBands).band(n);
    }
    // What one thread has computed and not yet added to the run's statistics: the
    // threads of a run add their counts in steps of a column, a diagonal or a border,
    // not pixel by pixel, so that they do not contend for the counters (so does a
    // picture computed in bands, band by band).
    class Tally {
      public:
        explicit Tally(ComplexFractal& fractal) : fractal_(fractal) {}
        ~Tally() { flush(); }
        Tally(const Tally&) = delete;
        Tally& operator=(const Tally&) = delete;
        void count(int n) noexcept {
            ++points_;
            iterations_ += static_cast<std::uint64_t>(n);
        }
        void flush() noexcept {
            fractal_.addTally(points_, iterations_);
            points_ = iterations_ = 0;
        }

      private:
        ComplexFractal& fractal_;
        std::uint64_t points_ = 0;
        std::uint64_t iterations_ = 0;
    };

    // For a picture computed elsewhere (in bands): takes the colouring of a run as a
    // run's start does; then the pixels' kernel values (the continuous count as well
    // when smooth), counted in tally, and the colouring that turns values into
    // colours, as the scans use them.
    void prepareColouring();
    // After prepareColouring (and a deep run's scene): an automatic density is found
    // from a sample of the picture's pixels and the run's colouring takes it. False
    // when cancel (when given) was seen set.
    bool resolveAutomaticDensity(const std::atomic<bool>* cancel);
    struct PixelSpot {
        int column;
        int row;
    };
    // values[i] for spots[i], found as the run's scans find them: with the batch
    // kernels, in runs, where the run has them, else pixel by pixel. False (the
    // values partial) once cancel (when given) is seen set. Any thread of a team.
    bool valuesAt(const std::vector<PixelSpot>& spots, EscapeValue* values, Tally& tally,
                  const std::atomic<bool>* cancel);
    const EscapeColouring& runColouring() const noexcept { return runColouring_; }
    // Whether the kernels run in fixed point: the user's choice, unless the run's view
    // is finer than the integer algorithm resolves (the stored choice stays).
    bool integerArithmetic() const noexcept { return runParameters_.integer; }
    // The view and the iteration settings as one line of text, stored under the
    // type's name and carried inside picture files.
    std::string parameterString() const override;

    // The recurrence of the type's batch kernels and deep views; none for an object of
    // no type.
    std::optional<kernels::Formula> formula() const noexcept { return formula_; }

    std::atomic<int> method{kRelief};
    std::atomic<int> reliefDepth{100};
    std::atomic<int> colouring{kBands};
    // The pixels the tesseral scan filled without computing them, in this run.
    std::atomic<std::uint64_t> filledPixels{0};

  protected:
    // A type of the family: its description gives the id, the name and the defaults,
    // formula the recurrence its batch kernels and deep views compute.
    ComplexFractal(const platform::Services& services, const engine::TypeDescription& description,
                   kernels::Formula formula);
    // An object of no type: no defaults, no batch kernels, no deep views.
    explicit ComplexFractal(const platform::Services& services);
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

    // Kernel and statistics for pixel (column, row); x is the column's plane x. Smooth
    // runs ask for the continuous count as well.
    EscapeValue evaluateAt(double x, int row, Tally& tally) {
        const double y = runInputs().view.planeY(row);
        EscapeValue value;
        if (runColouring_.byDistance()) {
            value = distancePoint(runParameters_, x, y);
            value.distance = inPixels(value.distance);
            if (!runColouring_.smooth())
                value.continuous = value.count;
        } else if (runColouring_.smooth()) {
            value = smoothPoint(runParameters_, x, y);
        } else {
            value.count = iteratePoint(runParameters_, x, y);
            value.continuous = value.count;
        }
        tally.count(value.count);
        return value;
    }
    EscapeValue evaluate(int column, int row, Tally& tally) {
        if (deepScene_)
            return evaluateDeep(column, row, tally);
        return evaluateAt(runInputs().view.planeX(column), row, tally);
    }
    // The scene's row of picture row row: rows count up from the picture's bottom as
    // planeY counts them.
    long deepRow(int row) const { return runInputs().deep->height() - 2 - row; }
    // A pixel of a deep view, by perturbation.
    EscapeValue evaluateDeep(int column, int row, Tally& tally) {
        EscapeValue value = deepScene_->countAt(column, deepRow(row), deepStop_);
        if (runColouring_.byDistance()) {
            const PixelIndex pixel{column, deepRow(row)};
            measureDeepDistances(&pixel, 1, &value, deepStop_);
        }
        tally.count(value.count);
        return value;
    }

  private:
    // A plane distance in pixels of the run's view.
    double inPixels(double distance) const noexcept;
    // Sets type and opened.type to the description's id and typeName to its name.
    void identifyAs(const engine::TypeDescription& description);
    const engine::TypeDescription* description_ = nullptr;
    std::optional<kernels::Formula> formula_;
    EscapeValue tracePixel(int column, int row, Tally& tally) {
        const EscapeValue value = evaluate(column, row, tally);
        plotValue(column, row, value, runColouring_.plain(value));
        return value;
    }
    // Draws a pixel and keeps the value its colour came from.
    void plotValue(int column, int row, const EscapeValue& value, platform::Color color) noexcept {
        kept_.put(column, row, value);
        plotPoint(column, row, color);
    }
    // Pixels the batch kernels evaluate together, in the order the scan reaches them.
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
    // Counts of the run's pixels with the batch kernels, added to tally; false (nothing
    // evaluated) when the run was stopped.
    bool evaluateRun(PixelRun& run, Tally& tally);
    // A banded run's pixels go to the batch kernels in runs; smooth ones (and a type
    // without batch kernels) point by point.
    bool batched() const noexcept { return runBatch_.has_value(); }
    // Columns firstColumn..firstColumn + columns - 1, from the top in runs of rows.
    bool scanStripBatched(int firstColumn, int columns);
    bool scanDiagonalBatched(int diagonal);
    // Diagonals firstDiagonal..firstDiagonal + diagonals - 1, from the top in runs of rows.
    bool scanBandBatched(int firstDiagonal, int diagonals);
    bool traceBorderBatched(int x, int y, int w, int h, Tally& tally);
    bool fillUniformBorder(int x, int y, int w, int h, int m, Tally& tally);
    bool traceBorderTallied(int x, int y, int w, int h, Tally& tally);
    bool scanColumn(int column);
    // A deep view whose scene counts runs in vector lanes: its scans hand it the
    // pixels of a column, a diagonal or a border at once.
    bool deepRuns() const noexcept { return deepScene_ && deepScene_->countsInLanes(); }
    struct DeepRun {
        std::vector<PixelSpot> spots;
        std::vector<PixelIndex> pixels;
        std::vector<EscapeValue> values;
        void clear() noexcept;
        void add(int column, int row, long planeRow);
    };
    void addDeep(DeepRun& run, int column, int row) const;
    // The run's values, added to tally; false (the values of no use) when stopped.
    bool evaluateDeepRun(DeepRun& run, Tally& tally);
    bool scanColumnDeep(int column);
    bool scanDiagonalDeep(int diagonal);
    bool traceBorderDeep(int x, int y, int w, int h, Tally& tally);
    void traceInsideDeep(int x, int y, int w, int h, Tally& tally);
    bool deepValuesAt(const std::vector<PixelSpot>& spots, EscapeValue* values, Tally& tally,
                      const std::atomic<bool>* cancel);
    // The distances of counted deep pixels, in pixels of the picture (supersampled
    // pictures measure in the pixels their samples are averaged into).
    void measureDeepDistances(const PixelIndex* pixels, long count, EscapeValue* values,
                              const StopCheck& stop) const;
    bool scanDiagonal(int diagonal);
    void scanTesseralOnTeam();
    // Computes every pixel of the rectangle (a uniform border says nothing about the
    // continuous counts inside it).
    void traceInside(int x, int y, int w, int h, Tally& tally);

    int maxIterations_ = 100;
    bool useInteger_ = true;
    double paramReal_ = 0.0;
    double paramImag_ = 0.0;
    // The iteration settings of the run going on, taken as it starts.
    EscapeParameters runParameters_;
    // The given reference where there is one, else the last run's.
    void offerDeepReference(std::shared_ptr<const complex::SharedReference> previous);
    // A deep run's picture by perturbation: set up as the run starts (why it was
    // refused otherwise), its reference orbits computed on the worker.
    std::unique_ptr<complex::PerturbationScene> deepScene_;
    // What stops the deep run under way (given to prepareDeepScene): asked by the
    // pixels counted at full precision as well.
    std::function<bool()> deepStop_;
    std::string deepRefusal_;
    // The reference every deep run is offered (and must take), or nullptr.
    std::shared_ptr<const complex::SharedReference> givenReference_;
    // When the deep run's pixels began and ended, written by the worker and read by the
    // statistics. prepared is set once the scene is prepared: from then on its own
    // figures (times, bytes, reuse) stay as they are and may be read from any thread.
    struct DeepFigures {
        std::atomic<bool> prepared{false};
        // steady-clock nanoseconds at which the pixels began and ended (0: not yet).
        std::atomic<std::int64_t> pixelsFrom{0};
        std::atomic<std::int64_t> pixelsTo{0};
    };
    DeepFigures deepFigures_;
    void recordPreparation();
    // Set by the worker when the reference orbits could not have their memory.
    std::atomic<bool> referenceTooLarge_{false};
    // The automatic iteration limit, and what the worker saw on the border of the last
    // picture it finished (taken up as the next run is prepared).
    AutomaticLimit automaticLimit_;
    std::atomic<int> borderLimit_{0};
    std::atomic<int> borderEscape_{-1};
    // The limit of the next run when the options choose it.
    int automaticIterations();
    // Samples the finished picture's border for the automatic limit (on the worker).
    void observeBorder();
    int countForBorder(int column, int row);
    // The colouring of the run going on, taken when its scan starts.
    EscapeColouring runColouring_{colorTable(), 1, kBands};
    // The controls of the next run and of recolouring (user-interface thread), and
    // those of the run going on, taken as it is prepared.
    ColorControls colorControls_;
    ColorControls runControls_;
    // The values of the window's picture, and what they were computed with: complete
    // once the run has drawn every pixel (written by the worker, read once it is over).
    KeptValues kept_;
    std::atomic<bool> keptComplete_{false};
    int keptMethod_ = kSimple;
    int keptLimit_ = 1;
    bool keptAutomatic_ = false;
    Transfer keptDensityTransfer_ = Transfer::kLinear;  // of lastDensity_ when keptAutomatic_
    // Whether the kept values' run could have kept distances (a type that carries
    // them): recolouring by distance needs them then.
    bool keptDistanceCapable_ = false;
    int samplesPerPixel_ = 1;
    std::atomic<double> lastDensity_{1.0};
    // The batch kernels' setup for the run going on; none: point by point.
    std::optional<kernels::BatchSetup> runBatch_;
};

}  // namespace complex
