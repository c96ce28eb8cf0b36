// The help describes the window as it is: it names every command of the menus, the
// toolbar and the accelerators, every shortcut, and every key the window acts on.
#include <QAction>
#include <QFile>
#include <QMap>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <clocale>
#include <memory>

#include "app/messages.h"
#include "gui/application.h"
#include "platform/settings_store.h"

namespace {

const std::string kKey = "Software\\Velk\\Corvane";

QString helpText() {
    QFile file(QStringLiteral(CORVANE_SOURCE_DIR "/resources/Corvane.htm"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QTextDocument document;
    document.setHtml(QString::fromUtf8(file.readAll()));
    return document.toPlainText();
}

// How the help names the keys the window procedure may act on. A key the window acts
// on that is missing here fails the test: name it here and describe it in the help.
QMap<unsigned, QString> keyNames() {
    QMap<unsigned, QString> names = {
        {app::VK_BACK, "Backspace"},
        {app::VK_ESCAPE, "Esc"},
        {app::VK_PRIOR, "Page Up"},
        {app::VK_NEXT, "Page Down"},
        {app::VK_HOME, "Home"},
        {app::VK_LEFT, "Arrow keys"},
        {app::VK_UP, "Arrow keys"},
        {app::VK_RIGHT, "Arrow keys"},
        {app::VK_DOWN, "Arrow keys"},
        {app::VK_ADD, "keypad"},
        {app::VK_SUBTRACT, "keypad"},
        {app::VK_OEM_PLUS, "+ and -"},
        {app::VK_OEM_MINUS, "+ and -"},
        {app::VK_BROWSER_BACK, "Back key"},
        {app::VK_BROWSER_FORWARD, "Forward key"},
    };
    return names;
}

}  // namespace

class HelpTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { std::setlocale(LC_NUMERIC, "C"); }

    void namesEveryCommandShortcutAndKey() {
        const QString help = helpText();
        QVERIFY2(help.contains(QStringLiteral("Contents")), "the help file is missing");
        // The keys of the parallel work on the history, named before both have landed.
        QVERIFY(help.contains(QStringLiteral("Forward (Alt+Right)")));
        QVERIFY(help.contains(QStringLiteral("Alt+Left or Backspace")));

        QTemporaryDir folder;
        platform::MemorySettingsStore store;
        store.write(kKey, "ImagePath",
                    platform::SettingsValue::ofText(folder.filePath("pictures").toStdString()));
        store.write(kKey, "AnimZoom", platform::SettingsValue::ofNumber(0));
        store.write(kKey, "WindowWidth", platform::SettingsValue::ofNumber(120));
        store.write(kKey, "WindowHeight", platform::SettingsValue::ofNumber(90));
        gui::Application application(store);
        application.shell().setQuitHandler([](int) {});
        application.start();
        QVERIFY(QTest::qWaitFor([&] { return application.mainWindow().currentFractal(); }, 5000));

        int commands = 0;
        for (const QAction* action : application.frame().findChildren<QAction*>()) {
            if (action->isSeparator() || action->menu() != nullptr)
                continue;
            const QString name = action->text().section(QLatin1Char('\t'), 0, 0).remove('&');
            if (name.isEmpty())
                continue;
            ++commands;
            QVERIFY2(help.contains(name), qPrintable("the help does not name " + name));
            const QString shortcut = action->shortcut().toString(QKeySequence::PortableText);
            if (!shortcut.isEmpty()) {
                QVERIFY2(help.contains(shortcut),
                         qPrintable("the help does not name " + shortcut + " for " + name));
            }
            // A key shown beside the command ("Stop\tEsc").
            const QString shown = action->text().section(QLatin1Char('\t'), 1);
            if (!shown.isEmpty())
                QVERIFY2(help.contains(shown), qPrintable("the help does not name " + shown));
        }
        QVERIFY(commands >= 20);

        // Every key the window acts on, asked of the window procedure itself: a key it
        // does not act on goes to the default processing.
        const QMap<unsigned, QString> names = keyNames();
        app::MainWindow& window = application.mainWindow();
        int keys = 0;
        for (unsigned key = 1; key < 256; ++key) {
            application.shell().takeDefaulted();
            window.windowProc(app::WM_KEYDOWN, key, 0);
            if (application.shell().takeDefaulted())
                continue;
            ++keys;
            QVERIFY2(names.contains(key),
                     qPrintable(QStringLiteral("key 0x%1 has no name here").arg(key, 0, 16)));
            QVERIFY2(help.contains(names[key]),
                     qPrintable("the help does not name the key " + names[key]));
        }
        QVERIFY(keys >= 8);
    }
};

QTEST_MAIN(HelpTest)
#include "help_test.moc"
