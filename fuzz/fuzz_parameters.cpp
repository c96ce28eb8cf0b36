// Both families' parameter strings applied as a stored string is applied, then a short
// calculation so that the values reach the kernels, the view and the pixel mapping.
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "catalogue/factory.h"
#include "catalogue/fractal_types.h"
#include "complex/complex_fractal.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"

namespace {

constexpr std::uint32_t kPointBudget = 400;
// Escape-time pictures with more iterations than this are loaded but not computed: a
// stop waits for the pixel being computed, and the harness must stay quick.
constexpr int kIterationBudget = 2000;

void runBriefly(engine::Fractal& fractal) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!fractal.isFinished() && fractal.runState.pointCount.load() < kPointBudget &&
           std::chrono::steady_clock::now() < until) {
        std::this_thread::yield();
    }
    fractal.stopCalculation();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const engine::FractalType type = 1 + data[0] % 13;
    const std::string params(reinterpret_cast<const char*>(data + 1), size - 1);

    platform::HeadlessWindow window(9, 7);
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    engine::FractalPtr fractal = catalogue::createFractal(type, {window, store, sound});
    if (!fractal)
        return 0;
    store.write("Software\\Velk\\Corvane", fractal->typeName,
                platform::SettingsValue::ofText(params));
    {
        engine::TakingOverScope hold(*fractal);
        fractal->loadParameters();
    }
    if (catalogue::isComplexType(fractal->type) &&
        static_cast<complex::ComplexFractal&>(*fractal).maxIterations() > kIterationBudget) {
        return 0;
    }
    fractal->startCalculation();
    runBriefly(*fractal);
    return 0;
}
