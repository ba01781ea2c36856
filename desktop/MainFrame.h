// CMainFrame: the main window with its menu, toolbar and status bar around the reading view.
// Commands go to the view first, then to the frame's own table.
#pragma once

#include <QMainWindow>
#include <functional>
#include <map>

#include "desktop/ChildView.h"
#include "devicelink/TolvarRapi.h"
#include "view/BookFinder.h"

class QToolBar;
class QMimeData;
namespace pwview {
class CSearchDialog;
}

namespace wickstand {

// "WindowPos": flags, show command, minimised x and y, maximised x and y, normal rectangle.
struct WindowPlacement {
    unsigned flags = 0, showCommand = 1;
    int minX = 0, minY = 0, maxX = 0, maxY = 0;
    int left = 0, top = 0, right = 0, bottom = 0;
    std::string Format() const;
    // False unless the text holds all ten numbers.
    static bool Parse(const std::string& text, WindowPlacement& placement);
};

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(DesktopHost& host, std::filesystem::path settingsFile, QWidget* parent = nullptr);

    CChildView& View() { return *view_; }
    // Runs a command as the menus do; false when nothing handles it.
    bool OnCommand(int id);
    // The menu action of a command (tests).
    QAction* Action(int id) const;
    // Shows the window at its stored placement, on a screen.
    void ShowAtStoredPlacement();
    void SavePlacement();
    // The handheld link is not part of this program yet.
    static const char* const kNoHandheldLink;
    // The folder the reader builds for the handheld ship in (the program's own; tests set it).
    void SetProgramFolder(std::filesystem::path folder) { programFolder_ = std::move(folder); }
    // How the handheld commands make their link (tests); by default the library from its places.
    void SetLinkFactory(
        std::function<std::unique_ptr<pagewick::CTolvarRAPI>(pagewick::Host*)> make) {
        linkFactory_ = std::move(make);
        EnableDeviceCommands();
    }

    // F11: the page alone on the screen (no menu, toolbar or status bar), and back.
    void ToggleFullScreen();
    // The local book file among dropped URLs (empty when there is none).
    static std::string DroppedBook(const QMimeData* data);
    // Edit > "Search..." opens it (null until then).
    pwview::CSearchDialog* SearchDialog() const { return searchDialog_; }

protected:
    void closeEvent(QCloseEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void dragEnterEvent(QDragEnterEvent*) override;
    void dragMoveEvent(QDragMoveEvent*) override;
    void dropEvent(QDropEvent*) override;

private:
    void BuildMenus();
    QAction* AddCommand(QMenu* menu, int id, const QString& text, const QString& prompt);
    void UpdateCommands();
    // The window title and every command's state, as the open book allows.
    void FollowBook();
    void UpdateRecentBooks();
    // The handheld commands (DeviceCommands.cpp), offered while the link library loads.
    void AddDeviceCommands();
    void EnableDeviceCommands();
    // Edit > "Search...", "Search Again" and the previous hit (SearchCommands.cpp).
    void AddSearchCommands();
    void EnableSearchCommands();

    DesktopHost& host_;
    CChildView* view_;
    QToolBar* toolbar_ = nullptr;
    std::vector<QAction*> recentActions_;
    QAction* recentSeparator_ = nullptr;
    QMenu* colourMenu_ = nullptr;
    // Full screen as asked (the window manager may take a moment to show it).
    bool fullScreen_ = false;
    bool maximizedBeforeFullScreen_ = false;
    bool toolbarBeforeFullScreen_ = true;
    std::map<int, QAction*> actions_;
    std::map<int, std::function<void()>> commands_;
    std::filesystem::path programFolder_;
    std::function<std::unique_ptr<pagewick::CTolvarRAPI>(pagewick::Host*)> linkFactory_;
    std::unique_ptr<pwview::BookFinder> finder_;
    pwview::CSearchDialog* searchDialog_ = nullptr;
};

}  // namespace wickstand
