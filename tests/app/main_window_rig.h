#pragma once

// The main window on a headless window, with a shell whose answers the test sets up
// beforehand: the rig the window procedure's tests share.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/messages.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"
#include "platform/temp_folder.h"
#include "support/wait.h"

namespace testing_support {

using app::DialogId;
using app::FileChoice;
using app::FileDialogRequest;

inline const std::string kKey = "Software\\Velk\\Corvane";

// A shell whose answers the test sets up beforehand and which records every request.
class ScriptedShell : public app::Shell {
  public:
    int runDialog(DialogId dialog, engine::Fractal& fractal) override {
        dialogs.push_back(dialog);
        if (dialogAction)
            return dialogAction(dialog, fractal);
        return dialog == DialogId::Type ? typeAnswer : 1;
    }
    std::optional<FileChoice> chooseFile(const FileDialogRequest& request) override {
        fileRequests.push_back(request);
        if (fileAnswers.empty())
            return std::nullopt;
        std::optional<FileChoice> answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }
    bool askYesNo(const std::string& caption, const std::string& text) override {
        questions.push_back(caption + "|" + text);
        return yesAnswer;
    }
    Answer askYesNoCancel(const std::string& caption, const std::string& text) override {
        questions.push_back(caption + "|" + text);
        return threeWayAnswer;
    }
    void showMessage(const std::string&, const std::string& text) override {
        messages.push_back(text);
    }
    void startHelpViewer(const std::string& commandLine) override {
        helpCommands.push_back(commandLine);
    }
    bool displayPower(bool on) override {
        powerRequests.push_back(on);
        return displaySupportsPower;
    }
    void quit(int exitCode) override { quitCodes.push_back(exitCode); }
    std::intptr_t defaultProcessing(unsigned message, std::uintptr_t, std::intptr_t) override {
        defaulted.push_back(message);
        return 0;
    }
    std::optional<app::ExportSize> chooseExportSize(engine::Fractal&) override {
        return exportSize;
    }
    std::string clipboardText() override { return clipboard; }
    void setClipboardText(const std::string& text) override { clipboard = text; }
    std::optional<std::string> askText(const std::string&, const std::string&,
                                       const std::string& initial) override {
        offeredTexts.push_back(initial);
        if (textAnswers.empty())
            return std::nullopt;
        std::optional<std::string> answer = textAnswers.front();
        textAnswers.pop_front();
        return answer;
    }
    std::optional<std::size_t> chooseItem(const std::string&, const std::string&,
                                          const std::vector<std::string>& items) override {
        offeredItems = items;
        return itemAnswer;
    }
    std::optional<app::GradientChoice> editGradient(engine::Fractal&) override {
        return gradientChoice;
    }
    void showExportProgress(app::ExportJob& job) override { exportProgress = &job; }
    void closeExportProgress() override { exportProgress = nullptr; }

    int typeAnswer = 0;
    // What the user does in a dialog, when the test needs more than its result.
    std::function<int(DialogId, engine::Fractal&)> dialogAction;
    bool yesAnswer = false;
    Answer threeWayAnswer = Answer::Cancel;
    bool displaySupportsPower = true;
    std::vector<std::string> questions;
    std::deque<std::optional<FileChoice>> fileAnswers;
    std::vector<DialogId> dialogs;
    std::vector<FileDialogRequest> fileRequests;
    std::vector<std::string> messages;
    std::vector<std::string> helpCommands;
    std::vector<bool> powerRequests;
    std::vector<int> quitCodes;
    std::vector<unsigned> defaulted;
    std::optional<app::ExportSize> exportSize;
    std::optional<app::GradientChoice> gradientChoice;
    app::ExportJob* exportProgress = nullptr;
    std::string clipboard;
    std::deque<std::optional<std::string>> textAnswers;
    std::vector<std::string> offeredTexts;
    std::optional<std::size_t> itemAnswer;
    std::vector<std::string> offeredItems;
};

// A store that can make the parameter string of one type longer than any reader
// takes, as a field the program cannot carry yet might.
class LengtheningStore : public platform::MemorySettingsStore {
  public:
    bool write(const std::string& keyPath, const std::string& name,
               const platform::SettingsValue& value) override {
        if (name != overlongName || value.kind != platform::SettingsValue::Kind::Text)
            return MemorySettingsStore::write(keyPath, name, value);
        const std::string padding(static_cast<std::size_t>(engine::kMaxParameterUnits), '0');
        return MemorySettingsStore::write(keyPath, name,
                                          platform::SettingsValue::ofText(value.text + padding));
    }
    std::string overlongName;
};

// The main window on a headless window, with messages pumped by hand.
struct Rig {
    explicit Rig(std::optional<std::int32_t> storedType = std::nullopt, int width = 64,
                 int height = 48)
        : window(width, height) {
        // Pictures go to a temporary folder, never to the user's documents.
        store.write(kKey, "ImagePath", platform::SettingsValue::ofText(folder.file("pictures")));
        store.write(kKey, "AnimZoom", platform::SettingsValue::ofNumber(0));
        if (storedType) {
            store.write(kKey, "Fractal",
                        platform::SettingsValue::ofNumber(static_cast<std::uint32_t>(*storedType)));
        }
    }
    ~Rig() {
        // The worker draws into the window; stop it before the window goes.
        mainWindow.reset();
    }

    void startAndPump() {
        mainWindow->start();
        pump();
    }
    // Handles the posted messages, waiting for a picture file being read for Open,
    // whose end arrives as a message.
    void pump() {
        for (;;) {
            while (auto message = window.takeMessage()) {
                mainWindow->windowProc(message->message, message->wParam, message->lParam);
            }
            const app::PictureOpenJob* job = mainWindow->openJob();
            if (job == nullptr || !corvane_test::waitUntil([job] { return job->finished(); }))
                return;
        }
    }
    std::intptr_t send(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
        return mainWindow->windowProc(message, wParam, lParam);
    }
    // A command; one that starts reading a picture file for Open returns once the file
    // has been read and taken, as the window does when the read's message arrives (the
    // message itself, still queued, then finds nothing to do).
    std::intptr_t command(unsigned id) {
        const std::intptr_t result = send(app::WM_COMMAND, id, 0);
        finishOpen();
        return result;
    }
    void finishOpen() {
        const app::PictureOpenJob* job = mainWindow->openJob();
        if (job != nullptr && corvane_test::waitUntil([job] { return job->finished(); }))
            send(app::WM_OPENDONE);
    }
    void stylus(unsigned message, int x, int y) {
        send(message, 0, app::makeLParam(static_cast<unsigned>(x), static_cast<unsigned>(y)));
    }
    engine::Fractal& fractal() { return *mainWindow->currentFractal(); }
    std::optional<platform::SettingsValue> stored(const std::string& name) {
        return store.read(kKey, name);
    }

    testing_support::TempFolder folder;
    platform::HeadlessWindow window;
    LengtheningStore store;
    platform::RecordingSound sound;
    ScriptedShell shell;
    std::unique_ptr<app::MainWindow> mainWindow =
        std::make_unique<app::MainWindow>(window, store, sound, shell);
};

using corvane_test::waitFinished;
using corvane_test::waitUntil;

inline bool sameView(const view::ViewWindow& a, const view::ViewWindow& b) {
    return a.xmin == b.xmin && a.ymin == b.ymin && a.xmax == b.xmax && a.ymax == b.ymax;
}

}  // namespace testing_support
