#include "gui/qt_window.h"

#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>

#include "app/messages.h"

namespace gui {

namespace {

constexpr std::uintptr_t kLeftButton = app::MK_LBUTTON;

std::uintptr_t buttonsHeld(Qt::MouseButtons buttons) {
    std::uintptr_t held = 0;
    if (buttons & Qt::LeftButton)
        held |= app::MK_LBUTTON;
    if (buttons & Qt::MiddleButton)
        held |= app::MK_MBUTTON;
    if (buttons & Qt::RightButton)
        held |= app::MK_RBUTTON;
    return held;
}

}  // namespace

std::intptr_t QtWindow::stylusParam(const QPoint& position) const {
    // A drag may leave the picture; the stylus never leaves the screen.
    const int x = std::clamp(position.x(), 0, std::max(surface().width() - 1, 0));
    const int y = std::clamp(position.y(), 0, std::max(surface().height() - 1, 0));
    return app::makeLParam(static_cast<unsigned>(x), static_cast<unsigned>(y));
}

void QtWindow::mousePressEvent(QMouseEvent* event) {
    const std::intptr_t where = stylusParam(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        send(app::WM_LBUTTONDOWN, kLeftButton, where);
    } else if (event->button() == Qt::MiddleButton) {
        send(app::WM_MBUTTONDOWN, app::MK_MBUTTON, where);
    } else if (event->button() == Qt::RightButton) {
        const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
        send(app::WM_RBUTTONDOWN, app::MK_RBUTTON | (shift ? app::MK_SHIFT : 0), where);
    } else {
        QWidget::mousePressEvent(event);
    }
}

void QtWindow::mouseMoveEvent(QMouseEvent* event) {
    const std::uintptr_t held = buttonsHeld(event->buttons());
    if (held == 0) {
        emit activity();  // the coordinates under the pointer
        return QWidget::mouseMoveEvent(event);
    }
    send(app::WM_MOUSEMOVE, held, stylusParam(event->position().toPoint()));
}

void QtWindow::mouseReleaseEvent(QMouseEvent* event) {
    const std::intptr_t where = stylusParam(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        send(app::WM_LBUTTONUP, 0, where);
    } else if (event->button() == Qt::MiddleButton) {
        send(app::WM_MBUTTONUP, 0, where);
    } else if (event->button() == Qt::RightButton) {
        send(app::WM_RBUTTONUP, 0, where);
    } else {
        QWidget::mouseReleaseEvent(event);
    }
}

void QtWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return mousePressEvent(event);
    send(app::WM_LBUTTONDBLCLK, kLeftButton, stylusParam(event->position().toPoint()));
}

void QtWindow::wheelEvent(QWheelEvent* event) {
    // Touchpads and fine wheels deliver fractions of a notch (120).
    const int delta = event->angleDelta().y();
    event->accept();
    if (delta != 0)
        sendWheel(delta, stylusParam(event->position().toPoint()));
}

void QtWindow::sendWheel(int delta, std::intptr_t lParam) {
    const auto wParamFor = [](int d) {
        return static_cast<std::uintptr_t>(
            app::makeLParam(0, static_cast<unsigned>(std::clamp(d, -0x7FFF, 0x7FFF))));
    };
    if (busy_ > 0) {
        std::lock_guard lock(queueMutex_);
        if (!queue_.empty() && queue_.back().message.message == app::WM_MOUSEWHEEL) {
            platform::Message& waiting = queue_.back().message;
            waiting.wParam = wParamFor(app::wheelDelta(waiting.wParam) + delta);
            waiting.lParam = lParam;
            return;
        }
    }
    send(app::WM_MOUSEWHEEL, wParamFor(delta), lParam);
}

}  // namespace gui
