#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLayout;
class QPushButton;

namespace app {
class Shell;
}

namespace gui {

// What every dialog of the program shares: the caption, a fixed size, the result
// that closing without a choice gives (the cancel key or the window's close button),
// and an optional help topic for F1.
class DialogFrame : public QDialog {
  public:
    DialogFrame(QWidget* parent, const char* caption, int cancelResult);

    void reject() override;

    // F1 opens the help viewer on topic.
    void setHelpTopic(app::Shell* shell, const char* topic);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

    QPushButton* makeButton(const char* text, const char* objectName);
    // A label naming buddy gets an access key that moves the focus to buddy.
    QLabel* makeLabel(const QString& text, const char* objectName, QWidget* buddy = nullptr);
    // Installs the layout, fixes the dialog at its natural size and underlines an
    // access key in every button and in every label that names a field.
    void finishLayout(QLayout* layout);

  private:
    void assignAccessKeys();

    int cancelResult_;
    app::Shell* shell_ = nullptr;
    const char* helpTopic_ = nullptr;
};

}  // namespace gui
