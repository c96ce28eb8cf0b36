#include "gui/dialogs/dialog_frame.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>

#include "app/help.h"

namespace gui {

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

QLabel* DialogFrame::makeLabel(const QString& text, const char* objectName) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromUtf8(objectName));
    return label;
}

void DialogFrame::finishLayout(QLayout* layout) {
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setLayout(layout);
}

}  // namespace gui
