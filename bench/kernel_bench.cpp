// Per-core speed of the escape-time kernels on one thread: the single-point kernel as
// iteratePoint runs it, the batch kernels as the scans hand them pixels (runs of up to
// 4096, column by column), and for Mandelbrot the plain loop of plain_loops.h. Every
// type on its default view at 1920 x 1080 with 200 iterations, and zoomed 16 times
// into the deepest point of a coarse scan of that view with 1000 iterations.
//
// Each figure is iterations per ns of the thread's processor time, the best of the
// passes, which is the least disturbed by other work on the machine.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "complex/batch_kernels.h"
#include "plain_loops.h"
#include "view/view_window.h"

namespace {

using complex::kernels::BatchSetup;
using complex::kernels::Formula;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kRunPixels = 4096;

struct Type {
    const char* name;
    Formula formula;
    double real, imag;
    double x1, y1, x2, y2;  // the default view's corners
};
const Type kTypes[] = {
    {"Mandelbrot", Formula::kMandelbrot, 0.0, 0.0, -2.1, -1.69, 1.0, 1.72},
    {"Julia", Formula::kJulia, -0.7, 0.3, -2.0, -2.6, 2.2, 2.6},
    {"Unity", Formula::kUnity, 0.0, 0.0, -1.75, -2.0, 1.75, 2.0},
    {"Spider", Formula::kSpider, 0.0, 0.0, -2.1, -1.69, 1.0, 1.72},
    {"Manowar", Formula::kManowar, 0.0, 0.0, -1.2, -1.4, 1.2, 1.4},
    {"Phoenix", Formula::kPhoenix, 0.56667, -0.5, -2.0, -2.6, 2.2, 2.6},
};

enum class Mode { kSingle, kBatch, kPlain };

struct Job {
    const Type* type;
    bool integer;
    bool zoomed;
    Mode mode;
};

view::ViewWindow fittedView(double x1, double y1, double x2, double y2) {
    view::ViewWindow view(true);
    view.setScreenSize(kWidth, kHeight);
    view.setRect(x1, y1, x2, y2);
    return view;
}

BatchSetup setupOf(const Job& job) {
    return BatchSetup{job.type->formula, job.zoomed ? 1000 : 200, job.integer, job.type->real,
                      job.type->imag};
}

// The default view, or 16 times closer around the point of a coarse grid over it that
// takes the most iterations short of the limit: a view full of detail.
view::ViewWindow viewOf(const Job& job) {
    const Type& t = *job.type;
    const view::ViewWindow base = fittedView(t.x1, t.y1, t.x2, t.y2);
    if (!job.zoomed)
        return base;
    const BatchSetup setup = setupOf(job);
    int best = -1;
    double cx = 0.0;
    double cy = 0.0;
    for (int column = 0; column < kWidth; column += 20) {
        for (int row = 0; row < kHeight; row += 20) {
            const double x = base.planeX(column);
            const double y = base.planeY(row);
            const int n = complex::kernels::countPoint(setup, x, y);
            if (n < setup.limit && n > best) {
                best = n;
                cx = x;
                cy = y;
            }
        }
    }
    const double w = (base.xmax - base.xmin) / 32;
    const double h = (base.ymax - base.ymin) / 32;
    return fittedView(cx - w, cy - h, cx + w, cy + h);
}

std::uint64_t singlePass(const BatchSetup& setup, const view::ViewWindow& view,
                         std::vector<int>& counts) {
    std::uint64_t total = 0;
    for (int column = 0; column < view.width; ++column) {
        const double x = view.planeX(column);
        for (int row = 0; row < view.height; ++row) {
            const int n = complex::kernels::countPoint(setup, x, view.planeY(row));
            counts[static_cast<std::size_t>(row) * view.width + column] = n;
            total += static_cast<std::uint64_t>(n);
        }
    }
    return total;
}

std::uint64_t batchPass(const BatchSetup& setup, const view::ViewWindow& view,
                        std::vector<int>& counts) {
    std::vector<double> xs;
    std::vector<double> ys;
    xs.reserve(kRunPixels);
    ys.reserve(kRunPixels);
    std::uint64_t total = 0;
    std::size_t first = 0;
    int column = 0;
    int row = 0;
    while (column < view.width) {
        xs.clear();
        ys.clear();
        double x = view.planeX(column);
        while (column < view.width && xs.size() < kRunPixels) {
            xs.push_back(x);
            ys.push_back(view.planeY(row));
            if (++row == view.height) {
                row = 0;
                x = view.planeX(++column);
            }
        }
        complex::kernels::countBatch(setup, xs.data(), ys.data(), xs.size(), counts.data() + first);
        for (std::size_t p = first; p < first + xs.size(); ++p)
            total += static_cast<std::uint64_t>(counts[p]);
        first += xs.size();
    }
    return total;
}

double threadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

std::string keyOf(const Job& job) {
    return std::string(job.type->name) + (job.integer ? " fixed" : " double") +
           (job.zoomed ? " zoomed" : " default");
}

// Best iterations per ns per job key and mode.
std::map<std::string, std::map<Mode, double>> gRates;
std::map<std::string, std::map<Mode, std::uint64_t>> gTotals;

void runJob(benchmark::State& state, Job job) {
    const BatchSetup setup = setupOf(job);
    const view::ViewWindow view = viewOf(job);
    std::vector<int> counts(static_cast<std::size_t>(kWidth) * kHeight);
    double best = 0.0;
    std::uint64_t total = 0;
    for (auto _ : state) {
        const double start = threadCpuNs();
        switch (job.mode) {
            case Mode::kSingle:
                total = singlePass(setup, view, counts);
                break;
            case Mode::kBatch:
                total = batchPass(setup, view, counts);
                break;
            case Mode::kPlain:
                total = job.integer ? bench::plainFixedLoop<false>(view, counts, setup.limit)
                                    : bench::plainDoubleLoop(view, counts, setup.limit);
                break;
        }
        benchmark::DoNotOptimize(counts.data());
        const double ns = threadCpuNs() - start;
        if (ns > 0)
            best = std::max(best, static_cast<double>(total) / ns);
    }
    const std::string key = keyOf(job);
    gRates[key][job.mode] = best;
    gTotals[key][job.mode] = total;
    // Every way of counting must count the same iterations.
    for (const auto& [mode, other] : gTotals[key]) {
        if (other != total) {
            state.SkipWithError("the kernels count different iterations");
            break;
        }
    }
    state.counters["iterations_per_ns"] = best;
    state.counters["iterations_per_pixel"] = static_cast<double>(total) / (kWidth * kHeight);
}

void registerJobs() {
    for (const Type& type : kTypes) {
        for (const bool zoomed : {false, true}) {
            for (const bool integer : {true, false}) {
                std::vector<Mode> modes = {Mode::kSingle, Mode::kBatch};
                if (type.formula == Formula::kMandelbrot)
                    modes.insert(modes.begin(), Mode::kPlain);
                for (const Mode mode : modes) {
                    const Job job{&type, integer, zoomed, mode};
                    const char* modeName = mode == Mode::kPlain    ? "plain"
                                           : mode == Mode::kSingle ? "single"
                                                                   : "batch";
                    benchmark::RegisterBenchmark(("BM_" + keyOf(job) + " " + modeName).c_str(),
                                                 runJob, job)
                        ->Unit(benchmark::kMillisecond);
                }
            }
        }
    }
}

void printSummary() {
    std::printf("\nbatch kernels on %s; iterations per ns of one core's time\n",
                complex::kernels::vectorTargetName().c_str());
    std::printf("%-28s %8s %8s %8s %10s %10s\n", "kernel", "single", "batch", "plain", "batch/sgl",
                "batch/plain");
    for (const auto& entry : gRates) {
        const std::string& key = entry.first;
        const auto& rates = entry.second;
        const auto rate = [&rates](Mode m) {
            const auto it = rates.find(m);
            return it == rates.end() ? 0.0 : it->second;
        };
        const double single = rate(Mode::kSingle);
        const double batch = rate(Mode::kBatch);
        const double plain = rate(Mode::kPlain);
        std::printf("%-28s %8.3f %8.3f %8.3f %9.2fx", key.c_str(), single, batch, plain,
                    single > 0 ? batch / single : 0.0);
        if (plain > 0)
            std::printf(" %9.2fx", batch / plain);
        std::printf("\n");
    }
}

// The Mandelbrot batch on every instruction set this machine has (the slower ones
// show what machines without the best one get).
void printTargets() {
    std::printf("\nMandelbrot batch per instruction set, iterations per ns\n");
    for (const bool zoomed : {false, true}) {
        for (const bool integer : {true, false}) {
            const Job job{&kTypes[0], integer, zoomed, Mode::kBatch};
            const BatchSetup setup = setupOf(job);
            const view::ViewWindow view = viewOf(job);
            std::vector<int> counts(static_cast<std::size_t>(kWidth) * kHeight);
            std::printf("%-28s", keyOf(job).c_str());
            complex::kernels::forEachVectorTarget([&](const std::string& target) {
                double best = 0.0;
                for (int pass = 0; pass < 2; ++pass) {
                    const double start = threadCpuNs();
                    const std::uint64_t total = batchPass(setup, view, counts);
                    best = std::max(best, static_cast<double>(total) / (threadCpuNs() - start));
                }
                std::printf(" %s %.3f", target.c_str(), best);
            });
            std::printf("\n");
        }
    }
}

}  // namespace

// --targets: also measure the Mandelbrot batch on each instruction set.
int main(int argc, char** argv) {
    bool targets = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--targets") {
            targets = true;
            for (int j = i; j + 1 < argc; ++j)
                argv[j] = argv[j + 1];
            --argc;
            break;
        }
    }
    registerJobs();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSummary();
    if (targets)
        printTargets();
    return 0;
}
