#pragma once

#include <QIcon>

class QPainter;

namespace gui {

// The four toolbar images, 16 x 16 logical pixels, drawn for 1x, 2x and 3x screens.
QIcon selectZoomIcon();    // magnifier with a plus
QIcon zoomOutIcon();       // magnifier with a minus
QIcon zoomPreviousIcon();  // magnifier with a left arrow
QIcon displayOffIcon();    // monitor with a dark screen

// The application icon at the usual sizes.
QIcon applicationIcon();
// Draws the application icon into a size x size square at the origin.
void drawApplicationIcon(QPainter& painter, int size);

}  // namespace gui
