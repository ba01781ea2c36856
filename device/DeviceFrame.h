// CDeviceFrame: the handheld reader's main window: the menus and toolbar of its profile around
// the reading view, full-screen mode, the screen-shape class and the power keeper, held from the
// frame's first focus until the reader ends.
#pragma once

#include <QMainWindow>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "device/DeviceStartup.h"
#include "device/DeviceView.h"
#include "view/BookFinder.h"

class QToolBar;
namespace pwview {
class CSearchDialog;
}

namespace pwview {
class DesktopHost;
}

namespace wickpad {

class PowerKeeper;

class CDeviceFrame : public QMainWindow {
    Q_OBJECT
public:
    // keeper: the power keeper the reader holds while it runs (null: the D-Bus one). The frame
    // makes the host keep the handheld's own section of the settings store.
    CDeviceFrame(pwview::DesktopHost& host, Profile profile, std::filesystem::path settingsFile,
                 bool forceLandscape, std::unique_ptr<PowerKeeper> keeper,
                 QWidget* parent = nullptr);
    ~CDeviceFrame() override;

    CDeviceView& View() { return *view_; }
    Profile ProfileInUse() const { return profile_; }
    PowerKeeper& Keeper() { return *keeper_; }
    // Runs a command as the menus do; false when nothing handles it.
    bool OnCommand(int id);
    QAction* Action(int id) const;
    QToolBar* Toolbar() const { return toolbar_; }
    // The window a handheld's screen would be: 480 by 640 for the touch build, 240 by 320 for
    // the keys build, within the screen.
    void ShowHandheldSized();
    // Full-screen mode: menus, toolbar and taskbar hidden (show false) or shown.
    void SetFullScreenMode(bool showMenus);
    bool FullScreenMode() const { return fullScreen_; }
    // 1 wider than four thirds of the height, 0 narrower than three quarters of it, 2 between.
    int Shape() const { return shape_; }
    // The reader ends as on "Close Reader": the place saved, the power keeper released.
    void EndReading();
    // The session is about to end (it may still be cancelled): the place saved and the power
    // keeper released, the book left open. The keeper is taken again when the view next gains
    // the focus.
    void SaveForSessionEnd();
    // The keeper has been asked to hold (tests).
    bool KeeperHeld() const { return keeperHeld_; }
    // Tools > Search > "Search for..." opens it (null until then).
    pwview::CSearchDialog* SearchDialog() const { return searchDialog_; }

protected:
    void closeEvent(QCloseEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    void BuildMenus();
    QAction* AddCommand(QMenu* menu, int id, const QString& text);
    void UpdateCommands();
    // The first focus (and the first after a session end that was cancelled) takes the keeper.
    void TakeKeeper();
    // Tools > Search and the soft key or toolbar button "Search Again" (DeviceSearch.cpp).
    void AddSearchCommands();

    std::unique_ptr<pwview::BookFinder> finder_;
    pwview::CSearchDialog* searchDialog_ = nullptr;

    pwview::DesktopHost& host_;
    Profile profile_;
    CDeviceView* view_;
    std::unique_ptr<PowerKeeper> keeper_;
    QToolBar* toolbar_ = nullptr;
    QMenu *tools_ = nullptr, *info_ = nullptr;
    std::map<int, QAction*> actions_;
    std::map<int, std::function<void()>> commands_;
    bool fullScreen_ = false;
    bool ended_ = false;
    bool keeperHeld_ = false;
    int shape_ = 0;
};

}  // namespace wickpad
