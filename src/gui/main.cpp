// Corvane: a fractal explorer.
#include <QApplication>
#include <clocale>
#include <cstdio>
#include <optional>

#include "gui/application.h"
#include "gui/icons.h"
#include "gui/single_instance.h"
#include "gui/termination_signal.h"
#include "platform/instance_claim.h"
#include "platform/instance_handshake.h"
#include "platform/private_folder.h"
#include "platform/settings_store.h"

namespace {

// The exit code when this start is not to show a window; nullopt when it is.
std::optional<int> exitCodeInstead(const platform::InstanceClaim& claim) {
    using Outcome = platform::InstanceClaim::Outcome;
    switch (claim.outcome) {
        case Outcome::First:
            return std::nullopt;
        case Outcome::Raised:
            return 0;
        case Outcome::Unanswered:
            std::fprintf(stderr, "corvane: already running, but the program does not answer: %s\n",
                         claim.problem.c_str());
            return 1;
        case Outcome::Alone:
            std::fprintf(stderr, "corvane: starting without the single-instance check: %s\n",
                         claim.problem.c_str());
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string settingsPath = platform::FileSettingsStore::defaultPath();
    // Decided before anything is shown; the lock is held until the program ends.
    const platform::InstanceClaim claim = platform::claimInstance(
        platform::runtimeFolderPath(), platform::instanceName(settingsPath));
    if (const std::optional<int> code = exitCodeInstead(claim))
        return *code;

    QApplication qtApplication(argc, argv);
    // Qt takes the number format from the environment; ours always uses '.'.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setOrganizationName(QStringLiteral("Velk"));
    QApplication::setDesktopFileName(QStringLiteral("corvane"));
    QApplication::setWindowIcon(gui::applicationIcon());

    platform::FileSettingsStore store(settingsPath);
    gui::Application application(store);
    application.mainWindow().useBookmarkFile(app::bookmarkPathBeside(settingsPath));
    gui::SingleInstance instance(QString::fromStdString(claim.socketPath));
    QObject::connect(&instance, &gui::SingleInstance::activationRequested, &application,
                     &gui::Application::bringToFront);
    gui::TerminationSignal termination;
    QObject::connect(&termination, &gui::TerminationSignal::received, &application,
                     &gui::Application::closeOrderly);
    if (claim.outcome == platform::InstanceClaim::Outcome::First && !instance.listen()) {
        std::fprintf(stderr, "corvane: later starts cannot reach this one at %s\n",
                     claim.socketPath.c_str());
    }
    application.start();
    return QApplication::exec();
}
