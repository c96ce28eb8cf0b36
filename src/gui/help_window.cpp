#include "gui/help_window.h"

#include <QFile>
#include <QShortcut>
#include <QUrl>

#include "gui/icons.h"

// The help file is compiled into the library; a static library has to register it.
static void registerHelpResources() {
    Q_INIT_RESOURCE(corvane);
}

namespace gui {

HelpWindow::HelpWindow(QWidget* parent) : QTextBrowser(parent) {
    registerHelpResources();
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Corvane Help"));
    setWindowIcon(applicationIcon());
    setOpenExternalLinks(true);
    resize(640, 720);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

bool HelpWindow::showTopic(const QString& file, const QString& anchor) {
    // The help files are built into the program.
    const QString resource = QStringLiteral(":/help/") + file;
    if (file.isEmpty() || file.contains(QLatin1Char('/')) || !QFile::exists(resource)) {
        return false;
    }
    QUrl url(QStringLiteral("qrc") + resource);
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    setSource(url);
    if (!anchor.isEmpty())
        scrollToAnchor(anchor);
    // A minimised help window comes back as it was.
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    return true;
}

}  // namespace gui
