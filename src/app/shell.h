#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/export_dialog.h"
#include "app/gradient_editor.h"

namespace engine {
class Fractal;
}

namespace app {

class ExportJob;
class PictureOpenJob;

// The seven modal dialogs of the program.
enum class DialogId {
    About,              // template 103
    Parameters,         // 104: the orbit types' a, b, c
    Type,               // 105: its result is the chosen type id, 0 when cancelled
    View,               // 106
    ComplexParameters,  // 107
    Options,            // 108
    Statistics,         // 109
    Coloring,           // the colouring controls of an escape-time picture
};

// One name and pattern pair of a file dialog's filter list, e.g. "Bitmaps (*.bmp)", "*.bmp".
struct FileFilter {
    std::string name;
    std::string pattern;
    friend bool operator==(const FileFilter&, const FileFilter&) = default;
};

// File dialog flags, with the values the dialogs have always used.
constexpr unsigned OFN_OVERWRITEPROMPT = 0x2;
constexpr unsigned OFN_HIDEREADONLY = 0x4;
constexpr unsigned OFN_PATHMUSTEXIST = 0x800;
constexpr unsigned OFN_FILEMUSTEXIST = 0x1000;

struct FileDialogRequest {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    std::string title;
    std::vector<FileFilter> filters;  // the first one is selected
    std::string initialFolder;        // empty: the dialog's own choice
    std::string fileName;             // proposed name, empty for none
    std::string defaultExtension;     // without the dot; added to a name typed without one
    unsigned flags = 0;
    bool wantsFileTitle = false;  // the caller also needs the name part of the choice
};

// The extension a name typed without one gets while the filter at index is selected:
// the filter's own when it has exactly one ("*.png"), otherwise the request's default.
inline std::string extensionForFilter(const FileDialogRequest& request, std::size_t index) {
    if (index < request.filters.size()) {
        const std::string& pattern = request.filters[index].pattern;
        if (pattern.size() > 2 && pattern.compare(0, 2, "*.") == 0 &&
            pattern.find_first_of("*? ", 2) == std::string::npos)
            return pattern.substr(2);
    }
    return request.defaultExtension;
}

struct FileChoice {
    std::string path;       // the full path
    std::string fileTitle;  // the name part, when it was asked for
};

// What the main window asks of its surroundings: the dialogs, questions and the
// services of the desktop. The front end implements it with real widgets; tests
// implement it with scripted answers. Every call is made on the user-interface
// thread and is modal: nothing else reaches the window procedure while it runs.
class Shell {
  public:
    virtual ~Shell() = default;

    // Runs a modal dialog on the fractal shown; returns the dialog's result code.
    virtual int runDialog(DialogId dialog, engine::Fractal& fractal) = 0;
    // An open or save dialog; nullopt when the user cancels.
    virtual std::optional<FileChoice> chooseFile(const FileDialogRequest& request) = 0;
    // A question with the buttons Yes and No; true for Yes.
    virtual bool askYesNo(const std::string& caption, const std::string& text) = 0;
    // A question with the buttons Yes, No and Cancel (closing the question cancels).
    enum class Answer { Yes, No, Cancel };
    virtual Answer askYesNoCancel(const std::string& caption, const std::string& text) {
        return askYesNo(caption, text) ? Answer::Yes : Answer::No;
    }
    // Tells the user about something that went wrong.
    virtual void showMessage(const std::string& caption, const std::string& text) = 0;
    // Starts the help viewer with a command line such as "Corvane.htm#Contents".
    virtual void startHelpViewer(const std::string& commandLine) = 0;
    // Switches the display on or off; false when the display cannot do it.
    virtual bool displayPower(bool on) = 0;
    // Ends the message loop with an exit code.
    virtual void quit(int exitCode) = 0;
    // Asks the size of an export of the picture shown; nullopt when the user cancels.
    virtual std::optional<ExportSize> chooseExportSize(engine::Fractal& fractal) {
        (void)fractal;
        return std::nullopt;
    }
    // Runs the gradient editor on the colours shown; the colours to apply, nullopt when
    // the user closes it without applying.
    virtual std::optional<GradientChoice> editGradient(engine::Fractal& fractal) {
        (void)fractal;
        return std::nullopt;
    }
    // Shows how far the export job has come, with a button that cancels it, and
    // returns at once: the window stays usable meanwhile. closeExportProgress takes
    // it away again before the job is destroyed.
    virtual void showExportProgress(ExportJob& job) { (void)job; }
    virtual void closeExportProgress() {}
    // The same for a picture file being read for Open; the progress shows only when the
    // read takes longer than a moment.
    virtual void showOpenProgress(PictureOpenJob& job) { (void)job; }
    virtual void closeOpenProgress() {}
    // The text on the system clipboard; empty when it holds none.
    virtual std::string clipboardText() { return {}; }
    virtual void setClipboardText(const std::string& text) { (void)text; }
    // One line the user types (a bookmark's name), starting from initial; nullopt when
    // the user cancels.
    virtual std::optional<std::string> askText(const std::string& caption, const std::string& label,
                                               const std::string& initial) {
        (void)caption;
        (void)label;
        (void)initial;
        return std::nullopt;
    }
    // The index of the item the user picks; nullopt when the user cancels.
    virtual std::optional<std::size_t> chooseItem(const std::string& caption,
                                                  const std::string& label,
                                                  const std::vector<std::string>& items) {
        (void)caption;
        (void)label;
        (void)items;
        return std::nullopt;
    }
    // What the window does with a message the program leaves alone.
    virtual std::intptr_t defaultProcessing(unsigned message, std::uintptr_t wParam,
                                            std::intptr_t lParam) = 0;
};

}  // namespace app
