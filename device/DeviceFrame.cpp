#include "device/DeviceFrame.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include "device/Commands.h"
#include "device/DeviceDialogs.h"
#include "device/PowerKeeper.h"
#include "view/DesktopHost.h"
#include "view/ProgramIcon.h"

namespace wickpad {
using namespace pagewick;

CDeviceFrame::CDeviceFrame(pwview::DesktopHost& host, Profile profile,
                           std::filesystem::path settingsFile, bool forceLandscape,
                           std::unique_ptr<PowerKeeper> keeper, QWidget* parent)
    : QMainWindow(parent),
      host_(host),
      profile_(profile),
      keeper_(keeper ? std::move(keeper) : std::make_unique<DBusPowerKeeper>()) {
    setWindowTitle(QStringLiteral("Pagewick"));
    setWindowIcon(pwview::ProgramIcon(QStringLiteral("wickpad")));
    host_.SetProgramSection(kHandheldSection);
    view_ = new CDeviceView(host, std::move(settingsFile), this);
    view_->SetForceLandscape(forceLandscape);
    setCentralWidget(view_);
    setFocusProxy(view_);
    host_.SetParentWindow(this);
    BuildMenus();
    connect(view_, &CDeviceView::focusGained, this, &CDeviceFrame::TakeKeeper);
    connect(view_, &CDeviceView::fullScreenRequested, this, &CDeviceFrame::SetFullScreenMode);
    connect(view_, &CDeviceView::aboutRequested, this, [this] { OnCommand(ID_APP_ABOUT); });
    connect(view_, &CDeviceView::closeRequested, this,
            [this] { QTimer::singleShot(0, this, &QWidget::close); });
    connect(view_, &CDeviceView::contextMenuRequested, this, [this](QPoint at) {
        UpdateCommands();
        QMenu menu(this);
        menu.addMenu(tools_);
        menu.addMenu(info_);
        menu.exec(at);
    });
    AddSearchCommands();
    commands_[ID_APP_EXIT] = [this] { close(); };
    commands_[ID_APP_ABOUT] = [this] {
        SetFullScreenMode(true);
        CDeviceAboutDlg about(host_, this);
        about.exec();
        SetFullScreenMode(view_->Settings().ShowMenuAndToolbars());
    };
}

CDeviceFrame::~CDeviceFrame() {
    // The view goes with the window's children, after this frame is no longer one: what it says
    // on its way out (focus lost, hidden) must not reach the frame.
    disconnect(view_, nullptr, this, nullptr);
    EndReading();
}

void CDeviceFrame::TakeKeeper() {
    if (ended_ || keeperHeld_) return;
    keeperHeld_ = true;
    // Reading goes on whether or not the platform could keep the device awake.
    keeper_->Enable();
}

QAction* CDeviceFrame::AddCommand(QMenu* menu, int id, const QString& text) {
    QAction* action = menu->addAction(text);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    actions_[id] = action;
    return action;
}

void CDeviceFrame::BuildMenus() {
    tools_ = new QMenu(QStringLiteral("Tools"), this);
    AddCommand(tools_, ID_LIBRARY, QStringLiteral("Library..."));
    tools_->addSeparator();
    AddCommand(tools_, ID_FIRST_PAGE, QStringLiteral("First Page"));
    AddCommand(tools_, ID_GOTO_25, QStringLiteral("25%"));
    AddCommand(tools_, ID_GOTO_50, QStringLiteral("50%"));
    AddCommand(tools_, ID_GOTO_75, QStringLiteral("75%"));
    AddCommand(tools_, ID_LAST_PAGE, QStringLiteral("Last Page"));
    tools_->addSeparator();
    AddCommand(tools_, ID_PREV_SECTION, QStringLiteral("Prev Section"));
    AddCommand(tools_, ID_NEXT_SECTION, QStringLiteral("Next Section"));
    AddCommand(tools_, ID_CONTENTS, QStringLiteral("Table of Contents"));
    AddCommand(tools_, ID_RETURN_FROM_LINK, QStringLiteral("Return from Link"));
    QMenu* marks = tools_->addMenu(QStringLiteral("Bookmark"));
    for (int slot = 0; slot < 4; ++slot)
        AddCommand(marks, ID_SET_BOOKMARK1 + slot, QStringLiteral("Set #%1").arg(slot + 1));
    marks->addSeparator();
    for (int slot = 0; slot < 4; ++slot)
        AddCommand(marks, ID_GOTO_BOOKMARK1 + slot, QStringLiteral("Goto #%1").arg(slot + 1));
    QMenu* search = tools_->addMenu(QStringLiteral("Search"));
    AddCommand(search, ID_SEARCH, QStringLiteral("Search for..."));
    AddCommand(search, ID_SEARCH_AGAIN, QStringLiteral("Search again"));
    AddCommand(tools_, ID_HIGHLIGHTS, QStringLiteral("Highlights..."));
    tools_->addSeparator();
    AddCommand(tools_, ID_READER_OPTIONS, QStringLiteral("Reader Options..."));
    QAction* night = AddCommand(tools_, ID_NIGHTTIME, QStringLiteral("Nighttime Scheme"));
    night->setCheckable(true);
    tools_->addSeparator();
    AddCommand(tools_, ID_APP_EXIT, QStringLiteral("Close Reader"));
    info_ = new QMenu(QStringLiteral("Info"), this);
    AddCommand(info_, ID_ABOUT_EBOOK, QStringLiteral("About this eBook..."));
    AddCommand(info_, ID_APP_ABOUT, QStringLiteral("About Reader..."));
    connect(tools_, &QMenu::aboutToShow, this, &CDeviceFrame::UpdateCommands);
    connect(info_, &QMenu::aboutToShow, this, &CDeviceFrame::UpdateCommands);

    if (profile_ == Profile::Keys) {
        // The keys build has one soft-key menu holding both popups, and no toolbar: it has no
        // stylus to tap one with.
        QMenu* menu = menuBar()->addMenu(QStringLiteral("Menu"));
        menu->addMenu(tools_);
        menu->addMenu(info_);
        // The other soft key finds the next place of the words sought.
        QAction* again = menuBar()->addAction(QStringLiteral("Search Again"));
        again->setObjectName(QStringLiteral("softKeySearchAgain"));
        connect(again, &QAction::triggered, this, [this] { OnCommand(ID_SEARCH_AGAIN); });
        return;
    }
    menuBar()->addMenu(tools_);
    menuBar()->addMenu(info_);
    toolbar_ = addToolBar(QStringLiteral("Toolbar"));
    toolbar_->setObjectName(QStringLiteral("Toolbar"));
    toolbar_->setMovable(false);
    const QSize screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->size()
                                                          : QSize(480, 640);
    const int icon = screen.width() <= 320 && screen.height() <= 320 ? 16 : 32;
    toolbar_->setIconSize(QSize(icon, icon));
    auto button = [this](int id, const QString& text, QStyle::StandardPixmap pixmap) {
        QAction* action = toolbar_->addAction(style()->standardIcon(pixmap), text);
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        if (!actions_.count(id)) actions_[id] = action;
        return action;
    };
    button(ID_ABOUT_EBOOK, QStringLiteral("About this eBook"), QStyle::SP_FileDialogInfoView);
    button(ID_SEARCH_AGAIN, QStringLiteral("Search again"), QStyle::SP_FileDialogContentsView);
    toolbar_->addSeparator();
    button(ID_PREVIOUS_PAGE, QStringLiteral("Previous Page"), QStyle::SP_ArrowLeft);
    button(ID_CONTENTS, QStringLiteral("Table of Contents"), QStyle::SP_FileDialogListView);
    button(ID_NEXT_PAGE, QStringLiteral("Next Page"), QStyle::SP_ArrowRight);
}

void CDeviceFrame::UpdateCommands() {
    for (auto& [id, action] : actions_) {
        const bool search = id == ID_SEARCH || id == ID_SEARCH_AGAIN;
        action->setEnabled(search ? view_->HasBook()
                                  : view_->IsCommandEnabled(id) || commands_.count(id));
    }
    if (QAction* night = Action(ID_NIGHTTIME)) night->setChecked(view_->Settings().nightScheme);
}

QAction* CDeviceFrame::Action(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

bool CDeviceFrame::OnCommand(int id) {
    if (view_->OnCommand(id)) return true;
    auto it = commands_.find(id);
    if (it == commands_.end()) return false;
    it->second();
    return true;
}

void CDeviceFrame::ShowHandheldSized() {
    QSize wanted = profile_ == Profile::Keys ? QSize(240, 320) : QSize(480, 640);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        wanted = wanted.boundedTo(screen->availableGeometry().size());
    resize(wanted);
    show();
}

void CDeviceFrame::SetFullScreenMode(bool showMenus) {
    if (ended_) return;
    menuBar()->setVisible(showMenus);
    if (toolbar_) toolbar_->setVisible(showMenus);
    if (showMenus == !fullScreen_) return;
    fullScreen_ = !showMenus;
    // Hiding: the window takes the whole screen; showing leaves it where it is.
    if (fullScreen_)
        showFullScreen();
    else if (isFullScreen())
        showNormal();
}

void CDeviceFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (width() >= 50 && height() >= 50) shape_ = ShapeClass(width(), height());
}

void CDeviceFrame::EndReading() {
    if (ended_) return;
    ended_ = true;
    view_->CloseBookSavingPlace();
    keeper_->Disable();
    keeperHeld_ = false;
}

void CDeviceFrame::SaveForSessionEnd() {
    if (ended_) return;
    if (view_->HasBook()) view_->Document().SavePosition(true);
    keeper_->Disable();
    keeperHeld_ = false;  // should the session go on after all, the next focus takes it again
}

void CDeviceFrame::closeEvent(QCloseEvent* event) {
    EndReading();
    event->accept();
}

}  // namespace wickpad
