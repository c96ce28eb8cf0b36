#pragma once

#include <QPointer>
#include <functional>
#include <memory>

#include "app/shell.h"
#include "platform/window.h"

class QWidget;

namespace gui {

class HelpWindow;
class ExportProgressWidget;
class OpenProgressWidget;

// The shell of the real window: modal dialogs, file dialogs and message boxes over
// the main window, our help window, and the display's power switch.
class QtShell : public app::Shell {
  public:
    explicit QtShell(QWidget* owner);
    ~QtShell() override;
    // The window the dialogs belong to.
    void setOwner(QWidget* owner) { owner_ = owner; }

    int runDialog(app::DialogId dialog, engine::Fractal& fractal) override;
    std::optional<app::FileChoice> chooseFile(const app::FileDialogRequest& request) override;
    bool askYesNo(const std::string& caption, const std::string& text) override;
    Answer askYesNoCancel(const std::string& caption, const std::string& text) override;
    void showMessage(const std::string& caption, const std::string& text) override;
    void startHelpViewer(const std::string& commandLine) override;
    bool displayPower(bool on) override;
    void quit(int exitCode) override;
    std::string clipboardText() override;
    void setClipboardText(const std::string& text) override;
    std::optional<std::string> askText(const std::string& caption, const std::string& label,
                                       const std::string& initial) override;
    std::optional<std::size_t> chooseItem(const std::string& caption, const std::string& label,
                                          const std::vector<std::string>& items) override;
    std::intptr_t defaultProcessing(unsigned message, std::uintptr_t wParam,
                                    std::intptr_t lParam) override;
    std::optional<app::ExportSize> chooseExportSize(engine::Fractal& fractal) override;
    std::optional<app::GradientChoice> editGradient(engine::Fractal& fractal) override;
    void showExportProgress(app::ExportJob& job) override;
    void closeExportProgress() override;
    ExportProgressWidget* exportProgress() const { return progress_.get(); }
    void showOpenProgress(app::PictureOpenJob& job) override;
    void closeOpenProgress() override;
    OpenProgressWidget* openProgress() const { return openProgress_.get(); }

    // Whether the window procedure left a message to the default processing since
    // the last call (a key it did not consume goes on to the rest of the window).
    bool takeDefaulted();

    // What quit does; ending the application's event loop unless set otherwise.
    void setQuitHandler(std::function<void(int)> handler) { quitHandler_ = std::move(handler); }
    HelpWindow* helpWindow() const { return help_.get(); }

  private:
    QWidget* owner_;
    std::unique_ptr<HelpWindow> help_;
    std::unique_ptr<ExportProgressWidget> progress_;
    std::unique_ptr<OpenProgressWidget> openProgress_;
    std::function<void(int)> quitHandler_;
    bool defaulted_ = false;
};

// The desktop bell; the worker may ask for it, the bell rings on the user-interface thread.
class QtSound : public platform::Sound {
  public:
    void exclamation() override;
};

}  // namespace gui
