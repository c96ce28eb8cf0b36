#include "gui/qt_window.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>

#include "app/messages.h"
#include "gui/message_words.h"

namespace gui {

namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;

}  // namespace

void QtWindow::repaintIfDirty() {
    if (takeDirty()) {
        update();
    } else {
        // A whole interval without drawing: sleep until the next drawing (dirtied).
        repaintTimer_.stop();
    }
}

void QtWindow::dirtied() noexcept {
    // Possibly on the worker thread, and at most once per repaint.
    QMetaObject::invokeMethod(this, &QtWindow::resumeRepainting, Qt::QueuedConnection);
}

void QtWindow::resumeRepainting() {
    emit activity();
    if (!repaintTimer_.isActive())
        repaintTimer_.start();
}

void QtWindow::adaptRepaintRate(qint64 paintNanoseconds) {
    // A large picture costs more per repaint: it is repainted less often, so that
    // showing it keeps to a small share of the time and the worker keeps the rest.
    averagePaintMs_ = 0.8 * averagePaintMs_ + 0.2 * (static_cast<double>(paintNanoseconds) / 1e6);
    const int interval = std::clamp(static_cast<int>(averagePaintMs_ / kPaintTimeShare),
                                    kRepaintIntervalMs, kSlowestRepaintMs);
    if (interval != repaintTimer_.interval())
        repaintTimer_.setInterval(interval);
}

void QtWindow::copySurface(const QRect& area) {
    const platform::Bitmap& pixels = surface();
    if (frame_.width() != pixels.width() || frame_.height() != pixels.height()) {
        frame_ = QImage(pixels.width(), pixels.height(), QImage::Format_RGB32);
    }
    // The surface keeps red in the lowest byte; the screen's own format wants blue there,
    // so the picture is drawn without a further conversion.
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(frame_.scanLine(y)) + area.left();
        pixels.readRow(area.left(), y, area.width(), line);
        for (int x = 0; x < area.width(); ++x) {
            const std::uint32_t c = line[x];
            line[x] = kOpaque | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
        }
    }
}

void QtWindow::paintEvent(QPaintEvent* event) {
    QElapsedTimer cost;
    cost.start();
    QPainter painter(this);
    const QRect area = event->rect();
    const QRect pictureArea(0, 0, surface().width(), surface().height());
    const QRect shown = area & pictureArea;
    if (!shown.isEmpty()) {
        copySurface(shown);
        painter.drawImage(shown.topLeft(), frame_, shown);
    }
    // Until the picture follows a new size, the rest of the window stays white.
    for (const QRect& rest : QRegion(area).subtracted(QRegion(pictureArea))) {
        painter.fillRect(rest, Qt::white);
    }
    ++frameCount_;
    const qint64 spent = cost.nsecsElapsed();
    paintNanoseconds_ += spent;
    adaptRepaintRate(spent);
}

void QtWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    settleTimer_.start();
}

void QtWindow::settleSize() {
    emit sizeSettled(size());
    postMessage(app::WM_SIZE, 0, app::makeLParam(clampToWord(width()), clampToWord(height())));
}

}  // namespace gui
