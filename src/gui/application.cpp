#include "gui/application.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "app/messages.h"
#include "app/window_placement.h"

namespace gui {

namespace {

// Our own values in the settings key.
constexpr char kWidthValue[] = "WindowWidth";
constexpr char kHeightValue[] = "WindowHeight";
constexpr char kLeftValue[] = "WindowLeft";
constexpr char kTopValue[] = "WindowTop";
constexpr int kLargestSide = 8192;
constexpr int kStatusIntervalMs = 250;
// A first start: two thirds of the screen's height, in the pocket screen's shape.
constexpr double kFirstShareOfHeight = 2.0 / 3.0;
// More nested dialogs than the program ever opens at once.
constexpr int kMostNestedDialogs = 16;

}  // namespace

Application::Application(platform::SettingsStore& store)
    : store_(store),
      settings_(store),
      shell_(nullptr),
      picture_(new QtWindow),
      frame_(std::make_unique<MainFrame>(*picture_, shell_)) {
    shell_.setOwner(frame_.get());
    mainWindow_ = std::make_unique<app::MainWindow>(*picture_, store_, sound_, shell_);
    picture_->setProcedure([this](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
        return mainWindow_->windowProc(message, wParam, lParam);
    });
    frame_->setDisplayOffQuery([this] { return mainWindow_->displayOff(); });
    std::vector<std::pair<QString, unsigned>> palettes;
    unsigned command = app::IDM_PALETTE_FIRST;
    for (const app::ShippedPalette& palette : mainWindow_->shippedPalettes())
        palettes.emplace_back(QString::fromStdString(palette.name), command++);
    frame_->setPalettes(palettes, [this] { return mainWindow_->currentPaletteCommand(); });
    frame_->setBookmarkNames([this] {
        std::vector<QString> names;
        for (const app::Bookmark& bookmark : mainWindow_->bookmarks())
            names.push_back(QString::fromStdString(bookmark.name));
        return names;
    });
    connect(picture_, &QtWindow::sizeSettled, this, &Application::rememberPictureSize);
    statusTimer_.setInterval(kStatusIntervalMs);
    connect(&statusTimer_, &QTimer::timeout, this, &Application::updateStatus);
    connect(picture_, &QtWindow::activity, this, &Application::wakeStatus);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &Application::rememberWindowPosition);
}

void Application::wakeStatus() {
    if (!statusTimer_.isActive())
        statusTimer_.start();
}

void Application::updateStatus() {
    const QPoint at = picture_->mapFromGlobal(QCursor::pos());
    std::optional<platform::Point> pointer;
    if (picture_->rect().contains(at) && at.x() < picture_->surface().width() &&
        at.y() < picture_->surface().height()) {
        pointer = platform::Point{at.x(), at.y()};
    }
    const auto measure = [this](const std::string& text) {
        return frame_->statusTextWidth(QString::fromStdString(text));
    };
    frame_->setStatusText(
        QString::fromStdString(mainWindow_->statusText(pointer, frame_->statusWidth(), measure)));
    if (mainWindow_->statusSettled())
        statusTimer_.stop();
}

Application::~Application() {
    // The fractal draws into the picture area: it goes first, and nothing reaches the
    // window procedure after it.
    picture_->setProcedure(nullptr);
    mainWindow_.reset();
}

QSize Application::storedPictureSize() {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (!settings_.readDword(kWidthValue, width) || !settings_.readDword(kHeightValue, height)) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (screen == nullptr)
            return kDefaultPictureSize;
        const int side = static_cast<int>(screen->availableSize().height() * kFirstShareOfHeight);
        const QSize first(side * kDefaultPictureSize.width() / kDefaultPictureSize.height(), side);
        return first.expandedTo(QSize(QtWindow::kMinimumSide, QtWindow::kMinimumSide));
    }
    QSize size(
        static_cast<int>(std::clamp<std::uint32_t>(width, QtWindow::kMinimumSide, kLargestSide)),
        static_cast<int>(std::clamp<std::uint32_t>(height, QtWindow::kMinimumSide, kLargestSide)));
    // A window that no longer fits the screen (a smaller monitor) is made to fit.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        size = size.boundedTo(screen->availableSize() * 0.95);
    }
    return size.expandedTo(QSize(QtWindow::kMinimumSide, QtWindow::kMinimumSide));
}

void Application::rememberPictureSize(QSize size) {
    if (frame_->isMinimized())
        return;
    settings_.writeDword(kWidthValue, static_cast<std::uint32_t>(size.width()));
    settings_.writeDword(kHeightValue, static_cast<std::uint32_t>(size.height()));
}

// A position is stored as the two's complement of a (possibly negative) coordinate. It
// is the client area's, below the title bar: the frame's may not be known yet when
// the window is placed, and a position taken one way and given back the other moves
// the window by the title bar's height on every start.
void Application::restoreWindowPosition() {
    std::uint32_t left = 0;
    std::uint32_t top = 0;
    if (!settings_.readDword(kLeftValue, left) || !settings_.readDword(kTopValue, top))
        return;
    std::vector<platform::Rect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        screens.push_back(
            {area.left(), area.top(), area.left() + area.width(), area.top() + area.height()});
    }
    const QRect client = frame_->geometry();
    const QRect outer = frame_->frameGeometry();
    const app::FrameMargins margins{client.left() - outer.left(), client.top() - outer.top(),
                                    outer.right() - client.right(),
                                    outer.bottom() - client.bottom()};
    const std::optional<platform::Point> at = app::restoredClientPosition(
        {static_cast<std::int32_t>(left), static_cast<std::int32_t>(top)}, client.width(),
        client.height(), margins, screens);
    if (at)
        frame_->setGeometry(QRect(QPoint(at->x, at->y), client.size()));
}

void Application::rememberWindowPosition() {
    if (frame_->isMinimized() || frame_->isMaximized() || frame_->isFullScreen())
        return;
    const QRect client = frame_->geometry();
    const QRect outer = frame_->frameGeometry();
    const platform::Point at = app::positionToStore(
        {client.left(), client.top(), client.left() + client.width(),
         client.top() + client.height()},
        {outer.left(), outer.top(), outer.left() + outer.width(), outer.top() + outer.height()});
    settings_.writeDword(kLeftValue, static_cast<std::uint32_t>(at.x));
    settings_.writeDword(kTopValue, static_cast<std::uint32_t>(at.y));
}

void Application::start() {
    picture_->setPreferredSize(storedPictureSize());
    frame_->resize(frame_->sizeHint());
    frame_->show();
    // The first picture is made at the size the window really got.
    QCoreApplication::processEvents();
    // Placed once its real size is known, so that all of it is on the screen.
    restoreWindowPosition();
    picture_->resizeSurface(picture_->width(), picture_->height());
    picture_->surface().whiteness(0, 0, picture_->width(), picture_->height());
    picture_->markDirty();
    picture_->send(app::WM_CREATE, 0, 0);
    mainWindow_->start();
}

void Application::bringToFront() {
    if (frame_->isMinimized())
        frame_->showNormal();
    frame_->raise();
    frame_->activateWindow();
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        dialog->raise();
        dialog->activateWindow();
    }
}

}  // namespace gui

namespace gui {

void Application::closeOrderly() {
    // Each modal dialog runs an event loop of its own inside the command that opened
    // it; cancelled, they return, and the close waits in the window's queue until the
    // command is over.
    for (int i = 0; i < kMostNestedDialogs; ++i) {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr)
            break;
        dialog->close();
    }
    // Nobody is there to answer a question: a running export is cancelled.
    picture_->postMessage(app::WM_CLOSE, app::kCloseNow, 0);
}

}  // namespace gui
