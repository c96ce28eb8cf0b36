#pragma once

#include <QObject>
#include <QSize>
#include <QTimer>
#include <memory>

#include "app/main_window.h"
#include "engine/settings_key.h"
#include "gui/main_frame.h"
#include "gui/qt_shell.h"
#include "gui/qt_window.h"
#include "platform/settings_store.h"

namespace gui {

// The whole program on a settings store: the frame with its picture area, the shell,
// and the window procedure that drives them.
class Application : public QObject {
    Q_OBJECT

  public:
    // Picture area of a first start: twice the pocket screen's 240 x 268.
    static constexpr QSize kDefaultPictureSize{480, 536};

    explicit Application(platform::SettingsStore& store);
    ~Application() override;

    // Shows the window at its last size and posts the creation of the last fractal.
    void start();
    // Brings the window, and a dialog open over it, to the front.
    void bringToFront();
    // Ends the program as Exit does (settings stored, display power given back),
    // cancelling any dialog that is open: for a logout or a termination signal.
    void closeOrderly();

    // Stores where the window is, as the program does when it ends.
    void rememberWindowPosition();

    MainFrame& frame() { return *frame_; }
    QtWindow& picture() { return *picture_; }
    QtShell& shell() { return shell_; }
    app::MainWindow& mainWindow() { return *mainWindow_; }

  private:
    QSize storedPictureSize();
    void rememberPictureSize(QSize size);
    void restoreWindowPosition();
    // The status bar follows a run a few times a second and sleeps once its line is final.
    void wakeStatus();
    void updateStatus();

    platform::SettingsStore& store_;
    engine::SettingsKey settings_;
    QtSound sound_;
    QtShell shell_;
    QtWindow* picture_;  // owned by the frame
    std::unique_ptr<MainFrame> frame_;
    std::unique_ptr<app::MainWindow> mainWindow_;
    QTimer statusTimer_;
};

}  // namespace gui
