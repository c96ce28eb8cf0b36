#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/job_thread.h"
#include "complex/color_controls.h"
#include "complex/perturbation.h"
#include "complex/pixel_window.h"
#include "engine/fractal.h"
#include "engine/row_sink.h"
#include "platform/bitmap.h"
#include "platform/png_writer.h"
#include "platform/window.h"
#include "platform/write_target.h"
#include "view/deep_view.h"

namespace app {

// The longest side of an exported picture. Escape-time pictures are computed in bands
// of rows, so their memory grows with the width only (and the bookkeeping of the
// tesseral scan with width plus height).
constexpr int kMaxExportSide = 65536;
// Orbit pictures plot their points anywhere, so they are computed whole in memory (12
// bytes a pixel: the fractal's three surfaces): this many pixels at most (16384 x 16384),
// as for a bitmap picture file.
constexpr std::uint64_t kMaxOrbitExportPixels = std::uint64_t{1} << 28;
// What an orbit export computes when nothing else is asked for.
constexpr std::uint64_t kDefaultOrbitExportPoints = 1000000;

// What to export: a type, its parameter string and colours at a size. The picture is
// the one a window of that size computes from the same parameter string.
struct ExportRequest {
    engine::FractalType type = engine::kMandelbrot;
    // The type's parameter string; empty: the type's defaults.
    std::string parameters;
    // The colours; empty: the built-in palette.
    std::vector<platform::Color> colors;
    int width = 0;
    int height = 0;
    // Orbit types: the points computed before the picture is written.
    std::uint64_t orbitPoints = kDefaultOrbitExportPoints;
    // Escape-time rows computed before they are handed on (rows of samples when
    // supersampled); 0 chooses by the width.
    int bandHeight = 0;
    // Escape-time types: each pixel the mean of supersample x supersample samples
    // (1..kMostSupersample; 1 is the plain picture).
    int supersample = 1;
    // Escape-time types: a colouring (kBands, kSmooth) that replaces the one the
    // parameter string carries.
    std::optional<int> colouring;
    // Escape-time types: colouring controls that replace those the parameter string
    // carries.
    complex::ColorControlChanges colorChanges;
    // Escape-time types: a view (of width x height pixels) that replaces the one the
    // parameter string carries.
    std::optional<view::DeepView> view;
    // Escape-time types: the threads that compute the picture (1..256); nullopt: one
    // per core.
    std::optional<int> threads;
    // Escape-time types: an iteration limit that replaces the one the parameter string
    // carries, or the automatic limit.
    std::optional<int> iterations;
    bool autoIterations = false;
    // Escape-time types: deep views count again, more precisely, the pixels whose count
    // double differences cannot decide (the window's option).
    bool exactCounts = false;
    // Escape-time types: the memory a deep view's reference orbits may take, in MiB (the
    // window's option); nullopt: the default.
    std::optional<int> referenceMemoryMiB;
    // Text chunks a PNG picture carries after its own (a frame's place in its path, a
    // tile's place in its picture).
    std::vector<platform::PngText> extraTexts;
    // Escape-time types: only this part of the width x height picture (a tile) is
    // computed and handed on, rows numbered from its top; its pixels are the whole
    // picture's. nullopt: the whole picture.
    std::optional<complex::PixelWindow> window;
    // Escape-time types: reference orbits (read from a file) the deep scene(s) must use;
    // one that cannot serve the picture fails the export. Unused by a view double
    // precision resolves.
    std::shared_ptr<const complex::SharedReference> reference;
};

// The reference orbits the deep scene of request's escape-time picture would compute
// for itself (its centre pixel's point, or its samples' centre, at its precision and
// limit), without tables; nullopt, with why, for a picture double precision resolves
// or one that cannot be computed. request.reference is not looked at.
std::optional<complex::ReferenceRequest> referenceRequestOf(const ExportRequest& request,
                                                            std::string& why);

// Why a picture of this type and size cannot be exported (one line, no file named);
// nullopt when it can.
std::optional<std::string> exportSizeProblem(engine::FractalType type, int width, int height);

// Shared with the thread that exports: its progress and the user's cancel.
struct ExportControl {
    std::atomic<bool> cancel{false};
    // 0..1000.
    std::atomic<int> permille{0};
};

struct ExportResult {
    enum class Outcome { Written, Cancelled, Failed };
    Outcome outcome = Outcome::Failed;
    std::string reason;  // why it failed, naming no file
    std::string typeName;
    std::uint64_t points = 0;
    std::uint64_t iterations = 0;
    std::uint64_t referenceBytes = 0;  // of a deep view's reference orbits
    // What the window title would note about the run ("computed in double precision").
    std::string note;
    // How a deep picture was computed (reference, table, pixels); none for others.
    std::optional<engine::DeepReport> deep;
    // Failed because the iteration limit cannot be computed at the view (reason says why).
    bool limitRefused = false;
    bool written() const { return outcome == Outcome::Written; }
    // A failure, for why (naming no file).
    static ExportResult failure(std::string why) {
        ExportResult result;
        result.reason = std::move(why);
        return result;
    }
};

// Why the request's window cannot be exported (one line); nullopt when it can or when
// it asks for none.
std::optional<std::string> windowProblem(const ExportRequest& request);

// Where the rows of an export go; begin() comes first with what the picture carries
// (the size of the window when the request gives one).
class ExportSink : public engine::RowSink {
  public:
    virtual bool begin(int width, int height, engine::FractalType type,
                       const std::string& parameters) = 0;
    // Why the sink failed; empty when it did not.
    virtual std::string error() const = 0;
};

// Computes the picture of request and hands it to sink row by row. An escape-time
// picture is computed in bands, never whole; an orbit picture whole, then handed on.
ExportResult renderExport(const ExportRequest& request, ExportControl& control, ExportSink& sink);

// The text chunks of a PNG picture: the type, the parameters, the anti-aliasing factor
// (beyond 1) and the extra texts, in that order.
std::vector<platform::PngText> pictureTexts(engine::FractalType type, const std::string& parameters,
                                            int supersample,
                                            const std::vector<platform::PngText>& extraTexts);

// The parameter string a picture of request carries (its own view's); empty when the
// request cannot be set up.
std::string pictureParametersOf(const ExportRequest& request);

// Writes the picture as a PNG file at path (a temporary file renamed at the end: a
// failed or cancelled export leaves no file behind and an earlier file intact). The
// file carries the type id and the parameter string in the text chunks "Corvane-Type"
// and "Corvane-Parameters" (and an anti-aliased picture its factor in
// "Corvane-Supersample").
ExportResult exportPicture(const ExportRequest& request, const std::string& path,
                           platform::StreamTargets streams, ExportControl& control);

// Computes the picture of request whole (an escape-time picture at the window's size)
// and writes it as a picture file at path: a bitmap with the trailer, or a PNG file
// with the text chunks, as the name says. What Save writes of an unfinished picture
// once the user has it completed. Nothing is written when it is cancelled or fails.
ExportResult completePictureFile(const ExportRequest& request, const std::string& path,
                                 platform::StreamTargets streams, ExportControl& control);

// Whether path names a PNG file by its extension (".png", any case).
bool hasPngExtension(const std::string& path);

// One export on a thread of its own. When it ends it posts message to window (the
// window procedure then takes the result). Destroying a job that still runs
// cancels it and waits for it.
class ExportJob {
  public:
    // What the job writes: a PNG export, or a picture file that Save completes.
    enum class Output { Export, CompletedPicture };

    ExportJob(ExportRequest request, std::string path, platform::Window& window, unsigned message,
              Output output = Output::Export);
    ~ExportJob();
    ExportJob(const ExportJob&) = delete;
    ExportJob& operator=(const ExportJob&) = delete;

    void cancel() { control_.cancel.store(true, std::memory_order_relaxed); }
    bool cancelling() const { return control_.cancel.load(std::memory_order_relaxed); }
    int permille() const { return control_.permille.load(std::memory_order_relaxed); }
    bool finished() const { return thread_.finished(); }
    const std::string& path() const { return path_; }
    const ExportRequest& request() const { return request_; }
    Output output() const { return output_; }
    // Waits for the thread; the result of the export.
    const ExportResult& result();

  private:
    ExportRequest request_;
    std::string path_;
    Output output_;
    ExportControl control_;
    ExportResult result_;
    JobThread thread_;  // last: it starts once everything it reads exists
};

}  // namespace app
