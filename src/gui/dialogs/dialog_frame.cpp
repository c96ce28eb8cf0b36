#include "gui/dialogs/dialog_frame.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>

#include <string>
#include <vector>

#include "app/access_keys.h"
#include "app/help.h"

namespace gui {

namespace {

QString textOf(QWidget* control) {
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    return static_cast<QAbstractButton*>(control)->text();
}

void setTextOf(QWidget* control, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
        return;
    }
    static_cast<QAbstractButton*>(control)->setText(text);
}

}  // namespace

DialogFrame::DialogFrame(QWidget* parent, const char* caption, int cancelResult)
    : QDialog(parent), cancelResult_(cancelResult) {
    setWindowTitle(QString::fromUtf8(caption));
    // Modal to the main window only: the help window a dialog opens stays usable.
    setWindowModality(Qt::WindowModal);
}

void DialogFrame::reject() {
    done(cancelResult_);
}

void DialogFrame::setHelpTopic(app::Shell* shell, const char* topic) {
    shell_ = shell;
    helpTopic_ = topic;
}

void DialogFrame::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && helpTopic_ != nullptr) {
        if (shell_ != nullptr)
            app::showHelp(*shell_, helpTopic_);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QPushButton* DialogFrame::makeButton(const char* text, const char* objectName) {
    auto* button = new QPushButton(QString::fromUtf8(text), this);
    button->setObjectName(QString::fromUtf8(objectName));
    return button;
}

QLabel* DialogFrame::makeLabel(const QString& text, const char* objectName, QWidget* buddy) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromUtf8(objectName));
    label->setBuddy(buddy);
    return label;
}

void DialogFrame::finishLayout(QLayout* layout) {
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setLayout(layout);
    assignAccessKeys();
}

// The push buttons choose first, so that OK, Default and Cancel keep their keys
// whatever the fields are called.
void DialogFrame::assignAccessKeys() {
    std::vector<QWidget*> controls;
    for (QPushButton* button : findChildren<QPushButton*>(Qt::FindDirectChildrenOnly))
        controls.push_back(button);
    for (QObject* child : children()) {
        auto* label = qobject_cast<QLabel*>(child);
        auto* box = qobject_cast<QAbstractButton*>(child);
        if ((label != nullptr && label->buddy() != nullptr) ||
            (box != nullptr && qobject_cast<QPushButton*>(child) == nullptr))
            controls.push_back(static_cast<QWidget*>(child));
    }
    std::vector<std::string> texts;
    for (QWidget* control : controls)
        texts.push_back(textOf(control).toStdString());
    const std::vector<std::string> keyed = app::withAccessKeys(texts);
    for (std::size_t i = 0; i < controls.size(); ++i)
        setTextOf(controls[i], QString::fromStdString(keyed[i]));
}

}  // namespace gui
