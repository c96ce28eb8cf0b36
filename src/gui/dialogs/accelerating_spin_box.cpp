#include "gui/dialogs/accelerating_spin_box.h"

#include <algorithm>

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

namespace gui {

AcceleratingSpinBox::AcceleratingSpinBox(const app::SpinRange& range, bool digitsOnly,
                                         QWidget* parent)
    : QAbstractSpinBox(parent), range_(range), digitsOnly_(digitsOnly) {
    setAccelerated(false);  // the steps grow by our own table
    setKeyboardTracking(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
}

void AcceleratingSpinBox::setFieldText(const QString& text) {
    lineEdit()->setText(text);
}

int AcceleratingSpinBox::currentStep() const {
    return app::spinStepAfter(range_.steps, held_.isValid() ? held_.elapsed() : 0);
}

void AcceleratingSpinBox::stepBy(int steps) {
    const int value = app::stepSpinValue(text().toStdString(), range_, steps, currentStep());
    lineEdit()->setText(QString::number(value));
}

QAbstractSpinBox::StepEnabled AcceleratingSpinBox::stepEnabled() const {
    if (!isEnabled() || isReadOnly())
        return StepNone;
    return StepUpEnabled | StepDownEnabled;
}

QValidator::State AcceleratingSpinBox::validate(QString& input, int& /*pos*/) const {
    if (!digitsOnly_)
        return QValidator::Acceptable;
    for (const QChar c : input) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return QValidator::Invalid;
    }
    return QValidator::Acceptable;
}

void AcceleratingSpinBox::mousePressEvent(QMouseEvent* event) {
    held_.start();
    QAbstractSpinBox::mousePressEvent(event);
}

void AcceleratingSpinBox::mouseReleaseEvent(QMouseEvent* event) {
    held_.invalidate();
    QAbstractSpinBox::mouseReleaseEvent(event);
}

void AcceleratingSpinBox::keyPressEvent(QKeyEvent* event) {
    if (isStepKey(event->key()) && !event->isAutoRepeat())
        held_.start();
    QAbstractSpinBox::keyPressEvent(event);
}

void AcceleratingSpinBox::keyReleaseEvent(QKeyEvent* event) {
    if (isStepKey(event->key()) && !event->isAutoRepeat())
        held_.invalidate();
    QAbstractSpinBox::keyReleaseEvent(event);
}

QSize AcceleratingSpinBox::sizeHint() const {
    // Room for the widest value of the range and the arrows.
    QSize hint = QAbstractSpinBox::sizeHint();
    const int digits = fontMetrics().horizontalAdvance(QString::number(range_.maximum) + "00");
    hint.setWidth(std::max(hint.width(), digits + 2 * fontMetrics().height()));
    return hint;
}

bool AcceleratingSpinBox::isStepKey(int key) {
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
           key == Qt::Key_PageDown;
}

}  // namespace gui
