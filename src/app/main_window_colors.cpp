// The colouring commands of the main window: the Colouring dialog, the keys that step
// the density and the offset, and colour cycling.
#include <optional>

#include "app/coloring_dialog.h"
#include "app/main_window.h"
#include "app/messages.h"

namespace app {

namespace {

// Seven steps a second: the palette turns visibly without flicker.
constexpr unsigned kCyclePeriodMs = 140;

}  // namespace

bool MainWindow::runColorCommand(unsigned id, engine::Fractal& fractal) {
    auto* escape = dynamic_cast<complex::ComplexFractal*>(&fractal);
    // A picture being opened, or shown moved by a gesture, is not the one its kept
    // values drew: the commands wait for the picture computed next.
    if (heldIsCurrent_ || fractal.inViewGesture())
        escape = nullptr;
    std::optional<complex::ColorControls> stepped;
    switch (id) {
        case IDM_COLORING:
            if (escape != nullptr)
                runModalDialog(DialogId::Coloring, fractal);
            return true;
        case IDM_COLOR_CYCLE:
            if (escape != nullptr)
                startColorCycling();
            return true;
        case IDM_DENSITY_COARSER:
        case IDM_DENSITY_FINER:
            if (escape != nullptr)
                stepped = densityStepped(*escape, id == IDM_DENSITY_COARSER);
            break;
        case IDM_OFFSET_FORWARD:
        case IDM_OFFSET_BACK:
            if (escape != nullptr)
                stepped = offsetStepped(*escape, id == IDM_OFFSET_FORWARD ? 1 : -1);
            break;
        default:
            return false;
    }
    if (stepped) {
        showColorControls(*escape, *stepped);
        escape->saveParameters();
    }
    return true;
}

void MainWindow::startColorCycling() {
    cyclingColors_ = window_.setTimer(kColorCycleTimerId, kCyclePeriodMs);
}

void MainWindow::stopColorCycling() {
    if (!cyclingColors_)
        return;
    cyclingColors_ = false;
    window_.killTimer(kColorCycleTimerId);
    // The offset reached is kept with the picture.
    if (auto* escape = dynamic_cast<complex::ComplexFractal*>(currentFractal()))
        escape->saveParameters();
}

void MainWindow::cycleColorsTick() {
    auto* escape = dynamic_cast<complex::ComplexFractal*>(currentFractal());
    if (escape == nullptr || heldIsCurrent_) {
        stopColorCycling();
        return;
    }
    // A picture still being computed waits: cycling never starts a run.
    const std::optional<complex::ColorControls> stepped = offsetStepped(*escape, 1);
    if (!stepped || escape->isRunning())
        return;
    const complex::ColorControls before = escape->colorControls();
    escape->setColorControls(*stepped);
    if (!escape->recolor())
        escape->setColorControls(before);
}

}  // namespace app
