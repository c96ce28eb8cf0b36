#pragma once

#include <array>

#include <QTimer>

#include "app/statistics_dialog.h"
#include "gui/dialogs/dialog_frame.h"

namespace gui {

// The statistics of the run, refreshed every second until the run ends. Result 1.
class StatisticsDialogWidget : public DialogFrame {
  public:
    StatisticsDialogWidget(QWidget* parent, const engine::Fractal& fractal);

    // The value texts, in the order of the labels.
    QLabel* value(int index) const { return values_[static_cast<std::size_t>(index)]; }
    bool refreshing() const { return timer_.isActive(); }
    // One refresh, as the timer does it.
    void refresh();

    void reject() override;

  private:
    void accept() override;
    void centreOverParent(QWidget* parent);

    const engine::Fractal& fractal_;
    app::StatisticsDialog logic_;
    std::array<QLabel*, 8> values_{};
    QLabel* deep_ = nullptr;
    QTimer timer_;
};

}  // namespace gui
