// Corvane: a fractal explorer.
#include <QApplication>
#include <clocale>

#include "gui/application.h"
#include "gui/icons.h"
#include "gui/single_instance.h"
#include "gui/termination_signal.h"
#include "platform/settings_store.h"

int main(int argc, char* argv[]) {
    QApplication qtApplication(argc, argv);
    // Qt takes the number format from the environment; ours always uses '.'.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setOrganizationName(QStringLiteral("Velk"));
    QApplication::setDesktopFileName(QStringLiteral("corvane"));
    QApplication::setWindowIcon(gui::applicationIcon());

    const std::string settingsPath = platform::FileSettingsStore::defaultPath();
    gui::SingleInstance instance(gui::SingleInstance::nameFor(settingsPath));
    if (instance.askRunningInstance())
        return 0;

    platform::FileSettingsStore store(settingsPath);
    gui::Application application(store);
    QObject::connect(&instance, &gui::SingleInstance::activationRequested, &application,
                     &gui::Application::bringToFront);
    gui::TerminationSignal termination;
    QObject::connect(&termination, &gui::TerminationSignal::received, &application,
                     &gui::Application::closeOrderly);
    instance.listen();
    application.start();
    return QApplication::exec();
}
