#include "gui/icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>
#include <cmath>
#include <functional>
#include <numbers>

namespace gui {

namespace {

constexpr int kToolbarSide = 16;
const QColor kInk(0x20, 0x20, 0x28);
const QColor kGlass(0xDD, 0xEE, 0xFF);
const QColor kMark(0x10, 0x50, 0xB0);

using Drawing = std::function<void(QPainter&)>;

// Draws in a 16 x 16 coordinate system at each pixel ratio, so the 2x image is drawn
// rather than scaled.
QIcon toolbarIcon(const Drawing& draw) {
    QIcon icon;
    for (const int ratio : {1, 2, 3}) {
        QPixmap pixmap(kToolbarSide * ratio, kToolbarSide * ratio);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.scale(ratio, ratio);
            draw(painter);
        }
        pixmap.setDevicePixelRatio(ratio);
        icon.addPixmap(pixmap);
    }
    return icon;
}

// A lens in the upper left and a handle towards the lower right; the sign goes into
// the lens, centred on (6.5, 6.5).
void drawMagnifier(QPainter& painter) {
    painter.setPen(QPen(kInk, 2.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(10.3, 10.3), QPointF(14.4, 14.4));
    painter.setPen(QPen(kInk, 1.4));
    painter.setBrush(kGlass);
    painter.drawEllipse(QPointF(6.5, 6.5), 5.0, 5.0);
    painter.setPen(QPen(kMark, 1.6, Qt::SolidLine, Qt::FlatCap));
    painter.setBrush(Qt::NoBrush);
}

void drawPlus(QPainter& painter) {
    drawMagnifier(painter);
    painter.drawLine(QPointF(4.0, 6.5), QPointF(9.0, 6.5));
    painter.drawLine(QPointF(6.5, 4.0), QPointF(6.5, 9.0));
}

void drawMinus(QPainter& painter) {
    drawMagnifier(painter);
    painter.drawLine(QPointF(4.0, 6.5), QPointF(9.0, 6.5));
}

void drawLeftArrow(QPainter& painter) {
    drawMagnifier(painter);
    painter.drawLine(QPointF(5.0, 6.5), QPointF(9.2, 6.5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(kMark);
    painter.drawPolygon(QPolygonF({QPointF(3.4, 6.5), QPointF(6.2, 4.0), QPointF(6.2, 9.0)}));
}

void drawDarkMonitor(QPainter& painter) {
    painter.setPen(QPen(kInk, 1.0));
    painter.setBrush(QColor(0x9A, 0x9A, 0xA4));
    painter.drawRoundedRect(QRectF(0.5, 1.5, 15.0, 10.0), 1.2, 1.2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x10, 0x10, 0x18));
    painter.drawRect(QRectF(2.0, 3.0, 12.0, 7.0));
    painter.setBrush(kInk);
    painter.drawRect(QRectF(7.0, 11.5, 2.0, 2.0));
    painter.drawRoundedRect(QRectF(4.0, 13.5, 8.0, 1.8), 0.6, 0.6);
}

// The outline of the Mandelbrot set's main cardioid and its largest bulbs, in the
// plane, mapped into the icon by toIcon.
QPainterPath mandelbrotShape(const std::function<QPointF(double, double)>& toIcon) {
    QPainterPath path;
    constexpr int kSteps = 96;
    for (int i = 0; i <= kSteps; ++i) {
        const double t = 2.0 * std::numbers::pi * i / kSteps;
        const double x = std::cos(t) / 2.0 - std::cos(2.0 * t) / 4.0;
        const double y = std::sin(t) / 2.0 - std::sin(2.0 * t) / 4.0;
        if (i == 0) {
            path.moveTo(toIcon(x, y));
        } else {
            path.lineTo(toIcon(x, y));
        }
    }
    path.closeSubpath();
    const auto addBulb = [&](double cx, double cy, double r) {
        const QPointF centre = toIcon(cx, cy);
        const double radius = toIcon(r, 0).x() - toIcon(0, 0).x();
        path.addEllipse(centre, radius, radius);
    };
    addBulb(-1.0, 0.0, 0.25);
    addBulb(-1.3107, 0.0, 0.0607);
    addBulb(-0.1226, 0.7449, 0.0946);
    addBulb(-0.1226, -0.7449, 0.0946);
    path.setFillRule(Qt::WindingFill);
    return path;
}

}  // namespace

QIcon selectZoomIcon() {
    return toolbarIcon(drawPlus);
}
QIcon zoomOutIcon() {
    return toolbarIcon(drawMinus);
}
QIcon zoomPreviousIcon() {
    return toolbarIcon(drawLeftArrow);
}
QIcon displayOffIcon() {
    return toolbarIcon(drawDarkMonitor);
}

void drawApplicationIcon(QPainter& painter, int size) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const QRectF square(0.04 * s, 0.04 * s, 0.92 * s, 0.92 * s);
    QLinearGradient sky(square.topLeft(), square.bottomRight());
    sky.setColorAt(0.0, QColor(0x1B, 0x1F, 0x5C));
    sky.setColorAt(1.0, QColor(0x5A, 0x12, 0x58));
    painter.setPen(Qt::NoPen);
    painter.setBrush(sky);
    painter.drawRoundedRect(square, 0.18 * s, 0.18 * s);

    // The plane from -2.05 to 0.55 across, centred vertically.
    const auto toIcon = [s](double x, double y) {
        const double scale = 0.88 * s / 2.6;
        return QPointF(0.06 * s + (x + 2.05) * scale, 0.5 * s - y * scale);
    };
    QRadialGradient glow(toIcon(-0.4, 0.0), 0.45 * s);
    glow.setColorAt(0.0, QColor(0xFF, 0xD2, 0x4A));
    glow.setColorAt(1.0, QColor(0xF0, 0x6A, 0x1A));
    const QPainterPath shape = mandelbrotShape(toIcon);
    painter.setBrush(glow);
    painter.setPen(QPen(QColor(0xFF, 0xF2, 0xC0), std::max(1.0, 0.02 * s)));
    painter.drawPath(shape);
    // The antenna on the real axis.
    painter.drawLine(toIcon(-1.98, 0.0), toIcon(-1.37, 0.0));
    painter.restore();
}

QIcon applicationIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        drawApplicationIcon(painter, size);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace gui
