#pragma once

#include <QAbstractSpinBox>
#include <QElapsedTimer>
#include <QString>

#include "app/dialog_fields.h"

namespace gui {

// A number field with an up-down control on its right. The field is a plain edit:
// it shows whatever it is given, also values outside the range; the arrows (buttons
// and keys) step within the range, with steps that grow the longer a button or key
// is held.
class AcceleratingSpinBox : public QAbstractSpinBox {
  public:
    AcceleratingSpinBox(const app::SpinRange& range, bool digitsOnly, QWidget* parent);

    void setFieldText(const QString& text);
    // The step a press made now would use.
    int currentStep() const;

  protected:
    void stepBy(int steps) override;
    StepEnabled stepEnabled() const override;
    QValidator::State validate(QString& input, int& pos) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    QSize sizeHint() const override;

  private:
    static bool isStepKey(int key);

    app::SpinRange range_;
    bool digitsOnly_;
    QElapsedTimer held_;  // valid while an arrow is held
};

}  // namespace gui
