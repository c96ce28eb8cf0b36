#pragma once

#include <QMainWindow>
#include <functional>
#include <map>
#include <utility>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QToolBar;

namespace gui {

class QtShell;
class QtWindow;

// The main window's frame: title, icon, the menus "File", "Fractal" and "Help", the toolbar
// of the four image buttons, and the picture area in the middle. Menu and toolbar
// actions, accelerators, keys, activation and closing become messages of the window
// procedure.
class MainFrame : public QMainWindow {
    Q_OBJECT

  public:
    MainFrame(QtWindow& picture, QtShell& shell);

    // Asked before a shortcut fires: while the display is off, a key only wakes it.
    void setDisplayOffQuery(std::function<bool()> query) { displayOff_ = std::move(query); }

    // Fills the Palette menu: the built-in colours, then each (name, command) given.
    // current tells which command's colours are shown, to check it when the menu opens.
    void setPalettes(const std::vector<std::pair<QString, unsigned>>& palettes,
                     std::function<unsigned()> current);
    QMenu* paletteMenu() const { return paletteMenu_; }
    // Where the Locations menu finds the names of the bookmarks when it opens: entry i
    // is command IDM_BOOKMARK_FIRST + i.
    void setBookmarkNames(std::function<std::vector<QString>()> names) {
        bookmarkNames_ = std::move(names);
    }
    QMenu* editMenu() const { return editMenu_; }
    QMenu* locationsMenu() const { return locationsMenu_; }

    // The action of a command id (menus, toolbar and accelerators); null when none.
    QAction* commandAction(unsigned id) const;
    QMenu* fileMenu() const { return fileMenu_; }
    QMenu* fractalMenu() const { return fractalMenu_; }
    QMenu* helpMenu() const { return helpMenu_; }
    QToolBar* imageButtons() const { return toolBar_; }
    QtWindow& picture() const { return picture_; }
    void setStatusText(const QString& text);
    QString statusText() const;
    // The width the status line has, and the width of a text on it.
    int statusWidth() const;
    int statusTextWidth(const QString& text) const;

  protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QAction* addCommand(QWidget* owner, const QString& text, unsigned id);
    void buildMenus();
    void buildLocationMenus();
    // The bookmarks listed in the Locations menu, as they are now.
    void listBookmarks();
    // The Colouring submenu of the Fractal menu, with the keys of its steps.
    void buildColoringMenu();
    void buildToolBar();
    void buildAccelerators();
    void sendCommand(unsigned id);

    QtWindow& picture_;
    QtShell& shell_;
    std::function<bool()> displayOff_;
    // Set while one of this window's own modal dialogs holds the activation.
    bool activeInOwnDialog_ = false;
    QMenu* fileMenu_ = nullptr;
    QMenu* paletteMenu_ = nullptr;
    std::function<unsigned()> currentPalette_;
    QMenu* fractalMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* locationsMenu_ = nullptr;
    // The separator after which the bookmarks are listed.
    QAction* bookmarksStart_ = nullptr;
    std::function<std::vector<QString>()> bookmarkNames_;
    QToolBar* toolBar_ = nullptr;
    QLabel* status_ = nullptr;
    std::map<unsigned, QAction*> actions_;
};

}  // namespace gui
