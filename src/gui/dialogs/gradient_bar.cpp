#include "gui/dialogs/gradient_bar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>

namespace gui {

namespace {

constexpr int kMargin = 6;  // room for half a marker at each end
constexpr int kBarHeight = 36;
constexpr int kMarkerHeight = 10;
constexpr double kNudge = 0.01;

QColor qtColor(platform::Color color) {
    return QColor(static_cast<int>(platform::redOf(color)),
                  static_cast<int>(platform::greenOf(color)),
                  static_cast<int>(platform::blueOf(color)));
}

}  // namespace

GradientBar::GradientBar(QWidget* parent, app::GradientEditor& editor)
    : QWidget(parent), editor_(editor) {
    setObjectName(QStringLiteral("gradientBar"));
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, kBarHeight + kMarkerHeight + 4);
}

QSize GradientBar::sizeHint() const {
    return {420, kBarHeight + kMarkerHeight + 4};
}

int GradientBar::barWidth() const {
    return std::max(width() - 2 * kMargin, 1);
}

double GradientBar::positionAt(int x) const {
    return std::clamp(static_cast<double>(x - kMargin) / static_cast<double>(barWidth() - 1), 0.0,
                      1.0);
}

int GradientBar::xOf(double position) const {
    return kMargin + static_cast<int>(std::lround(std::clamp(position, 0.0, 1.0) *
                                                  static_cast<double>(barWidth() - 1)));
}

void GradientBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const engine::Gradient& gradient = editor_.gradient();
    for (int x = 0; x < barWidth(); ++x) {
        painter.setPen(qtColor(gradient.colorAt(positionAt(kMargin + x))));
        painter.drawLine(kMargin + x, 0, kMargin + x, kBarHeight - 1);
    }
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(kMargin - 1, 0, barWidth() + 1, kBarHeight - 1);
    const std::vector<engine::GradientStop>& stops = gradient.stops();
    for (std::size_t i = 0; i < stops.size(); ++i) {
        const int x = xOf(stops[i].position);
        const QPolygon marker({QPoint(x, kBarHeight + 1), QPoint(x - 5, kBarHeight + kMarkerHeight),
                               QPoint(x + 5, kBarHeight + kMarkerHeight)});
        const bool selected = editor_.selected() == i;
        painter.setPen(QPen(palette().color(QPalette::WindowText), selected ? 2 : 1));
        painter.setBrush(qtColor(stops[i].color));
        painter.drawPolygon(marker);
    }
}

void GradientBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const double position = positionAt(static_cast<int>(event->position().x()));
    if (!editor_.selectNear(position))
        editor_.addStop(position);
    dragging_ = editor_.selected().has_value();
    changed();
}

void GradientBar::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_)
        return;
    editor_.moveSelected(positionAt(static_cast<int>(event->position().x())));
    changed();
}

void GradientBar::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
}

void GradientBar::keyPressEvent(QKeyEvent* event) {
    const std::optional<std::size_t> selected = editor_.selected();
    if (!selected) {
        QWidget::keyPressEvent(event);
        return;
    }
    const double position = editor_.gradient().stops()[*selected].position;
    switch (event->key()) {
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
            editor_.removeSelected();
            break;
        case Qt::Key_Left:
            editor_.moveSelected(position - kNudge);
            break;
        case Qt::Key_Right:
            editor_.moveSelected(position + kNudge);
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    changed();
}

void GradientBar::changed() {
    update();
    if (onChange_)
        onChange_();
}

}  // namespace gui
