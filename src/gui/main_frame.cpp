#include "gui/main_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "app/messages.h"
#include "gui/icons.h"
#include "gui/qt_shell.h"
#include "gui/qt_window.h"
#include "platform/string_table.h"

namespace gui {

namespace {

QString text(int id) {
    const std::string_view s = platform::loadString(id);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The virtual-key code of a key, where the window procedure could tell keys apart.
std::uintptr_t virtualKey(const QKeyEvent& event) {
    const int key = event.key();
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
        return static_cast<std::uintptr_t>(key);  // the same codes
    }
    switch (key) {
        case Qt::Key_Backspace:
            return 0x08;
        case Qt::Key_Tab:
            return 0x09;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 0x0D;
        case Qt::Key_Escape:
            return 0x1B;
        case Qt::Key_Space:
            return 0x20;
        case Qt::Key_Left:
            return 0x25;
        case Qt::Key_Up:
            return 0x26;
        case Qt::Key_Right:
            return 0x27;
        case Qt::Key_Down:
            return 0x28;
        case Qt::Key_PageUp:
            return app::VK_PRIOR;
        case Qt::Key_PageDown:
            return app::VK_NEXT;
        case Qt::Key_Home:
            return app::VK_HOME;
        case Qt::Key_Plus:
        case Qt::Key_Equal:  // + without Shift on many layouts
            return keypad ? app::VK_ADD : app::VK_OEM_PLUS;
        case Qt::Key_Minus:
            return keypad ? app::VK_SUBTRACT : app::VK_OEM_MINUS;
        case Qt::Key_Back:
            return app::VK_BROWSER_BACK;
        case Qt::Key_Forward:
            return app::VK_BROWSER_FORWARD;
        default:
            return 0;
    }
}

}  // namespace

MainFrame::MainFrame(QtWindow& picture, QtShell& shell) : picture_(picture), shell_(shell) {
    setWindowTitle(text(platform::kStringWindowTitle));
    setWindowIcon(applicationIcon());
    setCentralWidget(&picture_);
    buildMenus();
    buildToolBar();
    buildAccelerators();
    status_ = new QLabel(this);
    // The line is made to fit the bar: a long one must not widen the window.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(status_, 1);
    picture_.setFocus();
}

QAction* MainFrame::addCommand(QWidget* owner, const QString& label, unsigned id) {
    auto* action = new QAction(label, this);
    connect(action, &QAction::triggered, this, [this, id] { sendCommand(id); });
    owner->addAction(action);
    actions_[id] = action;
    return action;
}

void MainFrame::buildMenus() {
    // Ctrl+Q ends a slideshow or the selection (an accelerator of its own), so Exit
    // takes Alt+F4, the other common shortcut for leaving a program.
    fileMenu_ = menuBar()->addMenu(QStringLiteral("&") + text(platform::kStringFileMenu));
    addCommand(fileMenu_, QStringLiteral("&Open..."), app::IDM_OPEN)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    addCommand(fileMenu_, QStringLiteral("&Save..."), app::IDM_SAVE)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    addCommand(fileMenu_, QStringLiteral("&Export..."), app::IDM_EXPORT)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    addCommand(fileMenu_, QStringLiteral("Sli&deshow..."), app::IDM_SLIDESHOW);
    addCommand(fileMenu_, QStringLiteral("Load &Palette..."), app::IDM_LOAD_PALETTE);
    addCommand(fileMenu_, QStringLiteral("&Gradient Editor..."), app::IDM_GRADIENT_EDITOR);
    paletteMenu_ = fileMenu_->addMenu(QStringLiteral("Pa&lette"));
    paletteMenu_->setObjectName(QStringLiteral("paletteMenu"));
    connect(paletteMenu_, &QMenu::aboutToShow, this, [this] {
        const unsigned current = currentPalette_ ? currentPalette_() : 0;
        for (QAction* action : paletteMenu_->actions())
            action->setChecked(commandAction(current) == action);
    });
    setPalettes({}, nullptr);
    addCommand(fileMenu_, QStringLiteral("Op&tions..."), app::IDM_OPTIONS);
    fileMenu_->addSeparator();
    addCommand(fileMenu_, QStringLiteral("E&xit"), app::IDM_EXIT)
        ->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));

    editMenu_ = menuBar()->addMenu(QStringLiteral("&Edit"));
    addCommand(editMenu_, QStringLiteral("&Copy Location"), app::IDM_COPY_LOCATION)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    addCommand(editMenu_, QStringLiteral("&Paste Location"), app::IDM_PASTE_LOCATION)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));

    fractalMenu_ =
        menuBar()->addMenu(QStringLiteral("F&") + text(platform::kStringFractalMenu).mid(1));
    addCommand(fractalMenu_, QStringLiteral("&Type..."), app::IDM_TYPE);
    addCommand(fractalMenu_, QStringLiteral("&View..."), app::IDM_VIEW);
    addCommand(fractalMenu_, QStringLiteral("&Parameters..."), app::IDM_PARAMETERS);
    addCommand(fractalMenu_, QStringLiteral("St&atistics"), app::IDM_STATISTICS);
    buildColoringMenu();
    fractalMenu_->addSeparator();
    // Keys the window takes itself (Backspace goes back too): shown, not bound.
    addCommand(fractalMenu_, QStringLiteral("&Back\tAlt+Left"), app::IDM_ZOOM_PREVIOUS);
    addCommand(fractalMenu_, QStringLiteral("&Forward\tAlt+Right"), app::IDM_ZOOM_NEXT);
    addCommand(fractalMenu_, QStringLiteral("Find Nearest &Minibrot"), app::IDM_FIND_MINIBROT)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    fractalMenu_->addSeparator();
    // Escape reaches the window as a key, which also ends the selection: shown, not bound.
    addCommand(fractalMenu_, QStringLiteral("&Stop\tEsc"), app::IDM_STOP);
    addCommand(fractalMenu_, QStringLiteral("C&ontinue"), app::IDM_CONTINUE);
    addCommand(fractalMenu_, QStringLiteral("&Clear Screen"), app::IDM_CLEAR_SCREEN);

    buildLocationMenus();

    helpMenu_ = menuBar()->addMenu(QStringLiteral("&Help"));
    auto* contents = new QAction(QStringLiteral("&Contents"), this);
    contents->setShortcut(QKeySequence(Qt::Key_F1));
    connect(contents, &QAction::triggered, this, [this] { picture_.send(app::WM_HELP, 0, 0); });
    helpMenu_->addAction(contents);
    addCommand(helpMenu_, QStringLiteral("&About"), app::IDM_ABOUT)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
}

void MainFrame::buildLocationMenus() {
    locationsMenu_ = menuBar()->addMenu(QStringLiteral("&Locations"));
    locationsMenu_->setObjectName(QStringLiteral("locationsMenu"));
    addCommand(locationsMenu_, QStringLiteral("&Add Bookmark..."), app::IDM_ADD_BOOKMARK)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    addCommand(locationsMenu_, QStringLiteral("&Rename Bookmark..."), app::IDM_RENAME_BOOKMARK);
    addCommand(locationsMenu_, QStringLiteral("&Delete Bookmark..."), app::IDM_DELETE_BOOKMARK);
    bookmarksStart_ = locationsMenu_->addSeparator();
    connect(locationsMenu_, &QMenu::aboutToShow, this, &MainFrame::listBookmarks);
}

void MainFrame::listBookmarks() {
    const QList<QAction*> actions = locationsMenu_->actions();
    for (qsizetype i = actions.indexOf(bookmarksStart_) + 1; i < actions.size(); ++i) {
        actions_.erase(actions[i]->data().toUInt());
        delete actions[i];
    }
    const std::vector<QString> names = bookmarkNames_ ? bookmarkNames_() : std::vector<QString>{};
    bookmarksStart_->setVisible(!names.empty());
    unsigned id = app::IDM_BOOKMARK_FIRST;
    for (const QString& name : names) {
        if (id > app::IDM_BOOKMARK_LAST)
            break;
        // A name is shown as typed: an ampersand in it is no access key.
        QString label = name;
        label.replace(QLatin1Char('&'), QStringLiteral("&&"));
        addCommand(locationsMenu_, label, id)->setData(id);
        ++id;
    }
}

void MainFrame::buildColoringMenu() {
    QMenu* menu = fractalMenu_->addMenu(QStringLiteral("Co&louring"));
    menu->setObjectName(QStringLiteral("coloringMenu"));
    addCommand(menu, QStringLiteral("&Colouring..."), app::IDM_COLORING);
    addCommand(menu, QStringLiteral("C&ycle Colours"), app::IDM_COLOR_CYCLE)
        ->setShortcut(QKeySequence(Qt::Key_F6));
    menu->addSeparator();
    addCommand(menu, QStringLiteral("Co&arser Density"), app::IDM_DENSITY_COARSER)
        ->setShortcut(QKeySequence(Qt::Key_BracketRight));
    addCommand(menu, QStringLiteral("&Finer Density"), app::IDM_DENSITY_FINER)
        ->setShortcut(QKeySequence(Qt::Key_BracketLeft));
    addCommand(menu, QStringLiteral("Offset For&ward"), app::IDM_OFFSET_FORWARD)
        ->setShortcut(QKeySequence(Qt::Key_Period));
    addCommand(menu, QStringLiteral("Offset &Back"), app::IDM_OFFSET_BACK)
        ->setShortcut(QKeySequence(Qt::Key_Comma));
}

void MainFrame::setPalettes(const std::vector<std::pair<QString, unsigned>>& palettes,
                            std::function<unsigned()> current) {
    for (QAction* action : paletteMenu_->actions()) {
        actions_.erase(action->data().toUInt());
        delete action;
    }
    for (QActionGroup* old : paletteMenu_->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly))
        delete old;
    currentPalette_ = std::move(current);
    auto* group = new QActionGroup(paletteMenu_);
    // None is checked while the colours come from another file.
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const auto add = [&](const QString& name, unsigned id) {
        QAction* action = addCommand(paletteMenu_, name, id);
        action->setData(id);
        action->setCheckable(true);
        group->addAction(action);
    };
    add(QStringLiteral("&Built-in"), app::IDM_PALETTE_BUILT_IN);
    for (const auto& [name, id] : palettes)
        add(name, id);
}

void MainFrame::buildToolBar() {
    toolBar_ = addToolBar(QStringLiteral("Zoom"));
    toolBar_->setObjectName(QStringLiteral("imageButtons"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
    const struct {
        unsigned id;
        int tip;
        QIcon (*icon)();
    } buttons[] = {
        {app::IDM_SELECT_ZOOM, platform::kStringTipSelectZoom, selectZoomIcon},
        {app::IDM_ZOOM_OUT, platform::kStringTipZoomOut, zoomOutIcon},
        {app::IDM_ZOOM_PREVIOUS, platform::kStringTipZoomPrevious, zoomPreviousIcon},
        {app::IDM_DISPLAY_OFF, platform::kStringTipDisplayOff, displayOffIcon},
    };
    for (const auto& button : buttons) {
        QAction* action = addCommand(toolBar_, text(button.tip), button.id);
        action->setIcon(button.icon());
        action->setToolTip(text(button.tip));
    }
}

void MainFrame::buildAccelerators() {
    // Ctrl+Q is command 1: it ends a slideshow or select mode and does nothing else.
    QAction* ctrlQ = addCommand(this, QStringLiteral("Ctrl+Q"), app::IDM_CTRL_Q);
    ctrlQ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void MainFrame::setStatusText(const QString& text) {
    if (status_->text() != text)
        status_->setText(text);
}

QString MainFrame::statusText() const {
    return status_->text();
}

int MainFrame::statusWidth() const {
    return status_->contentsRect().width();
}

int MainFrame::statusTextWidth(const QString& text) const {
    return status_->fontMetrics().horizontalAdvance(text);
}

QAction* MainFrame::commandAction(unsigned id) const {
    const auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

void MainFrame::sendCommand(unsigned id) {
    picture_.send(app::WM_COMMAND, id, 0);
}

bool MainFrame::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && displayOff_ && displayOff_()) {
        // Taken as a plain key press, which switches the display on.
        event->accept();
        return true;
    }
    return QMainWindow::event(event);
}

void MainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    // A modal dialog of this window taking the activation and giving it back is part
    // of the command that opened it, not the user switching away. Qt reports both
    // changes only after the command has returned, where they would undo what the
    // command started (a slideshow ends on any activation change).
    if (!isActiveWindow() && QApplication::activeModalWidget() != nullptr) {
        activeInOwnDialog_ = true;
        return;
    }
    if (isActiveWindow() && activeInOwnDialog_) {
        activeInOwnDialog_ = false;
        return;
    }
    activeInOwnDialog_ = false;
    picture_.send(app::WM_ACTIVATE, isActiveWindow() ? app::WA_ACTIVE : app::WA_INACTIVE, 0);
}

void MainFrame::keyPressEvent(QKeyEvent* event) {
    shell_.takeDefaulted();
    const bool alt = event->modifiers().testFlag(Qt::AltModifier);
    const std::intptr_t flags =
        (alt ? app::KF_ALTDOWN : 0) | (event->isAutoRepeat() ? app::KF_REPEAT : 0);
    picture_.send(app::WM_KEYDOWN, virtualKey(*event), flags);
    if (shell_.takeDefaulted()) {
        QMainWindow::keyPressEvent(event);
    } else {
        event->accept();
    }
}

void MainFrame::keyReleaseEvent(QKeyEvent* event) {
    // A held key repeats as pairs of presses and releases; only the last release counts.
    if (!event->isAutoRepeat())
        picture_.send(app::WM_KEYUP, virtualKey(*event), 0);
    QMainWindow::keyReleaseEvent(event);
}

void MainFrame::closeEvent(QCloseEvent* event) {
    // The window procedure stores what is to be kept and ends the program.
    event->ignore();
    picture_.send(app::WM_CLOSE, 0, 0);
}

}  // namespace gui
