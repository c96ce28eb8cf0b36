#pragma once

#include <QWidget>
#include <functional>

#include "app/gradient_editor.h"

namespace gui {

// The gradient as a bar with a marker under each stop: a click adds a stop (or takes
// the one under it), a drag moves it, Delete removes the selected one and the arrow
// keys nudge it.
class GradientBar : public QWidget {
  public:
    GradientBar(QWidget* parent, app::GradientEditor& editor);

    // Called after every change the bar makes to the editor.
    void setOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }
    QSize sizeHint() const override;
    // The share of the bar (0..1) at a widget x coordinate, and back.
    double positionAt(int x) const;
    int xOf(double position) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void changed();
    int barWidth() const;

    app::GradientEditor& editor_;
    std::function<void()> onChange_;
    bool dragging_ = false;
};

}  // namespace gui
