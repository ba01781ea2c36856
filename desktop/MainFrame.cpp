#include "desktop/MainFrame.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <cstdio>

#include "desktop/AboutDialog.h"
#include "desktop/Commands.h"
#include "desktop/DesktopHost.h"
#include "desktop/RecentBooks.h"
#include "platform/InstallLayout.h"
#include "view/HighlightsDialog.h"
#include "view/ProgramIcon.h"

namespace wickstand {
using namespace pagewick;

const char* const CMainFrame::kNoHandheldLink =
    "The handheld link is not available in this version of Pagewick.";

std::string WindowPlacement::Format() const {
    char text[160];
    std::snprintf(text, sizeof text, "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d", flags, showCommand, minX,
                  minY, maxX, maxY, left, top, right, bottom);
    return text;
}

bool WindowPlacement::Parse(const std::string& text, WindowPlacement& p) {
    int used = 0;
    return std::sscanf(text.c_str(), "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d%n", &p.flags, &p.showCommand,
                       &p.minX, &p.minY, &p.maxX, &p.maxY, &p.left, &p.top, &p.right, &p.bottom,
                       &used) == 10;
}

CMainFrame::CMainFrame(DesktopHost& host, std::filesystem::path settingsFile, QWidget* parent)
    : QMainWindow(parent), host_(host) {
    setWindowTitle(QStringLiteral("Pagewick"));
    setWindowIcon(pwview::ProgramIcon(QStringLiteral("wickstand")));
    setStyleSheet(QStringLiteral("QMainWindow { background: rgb(196, 196, 196); }"));
    view_ = new CChildView(host, std::move(settingsFile), this);
    setCentralWidget(view_);
    host_.SetParentWindow(this);
    BuildMenus();
    statusBar()->showMessage(QStringLiteral("Ready"));
    connect(view_, &CChildView::aboutRequested, this, [this] { OnCommand(ID_APP_ABOUT); });
    connect(view_, &CChildView::closeRequested, this,
            [this] { QTimer::singleShot(0, this, &QWidget::close); });
    connect(view_, &CChildView::bookChanged, this, &CMainFrame::FollowBook);
    // Ctrl+C and Ctrl+H work as soon as something is selected.
    connect(view_, &CChildView::selectionChanged, this, &CMainFrame::UpdateCommands);
    connect(view_, &CChildView::highlightsChanged, this, &CMainFrame::UpdateCommands);
    // A book file dropped anywhere on the window opens.
    setAcceptDrops(true);
    commands_[ID_APP_EXIT] = [this] { close(); };
    commands_[ID_APP_ABOUT] = [this] {
        CAboutDlg about(this);
        about.exec();
    };
    commands_[ID_VIEW_TOOLBAR] = [this] { toolbar_->setVisible(!toolbar_->isVisible()); };
    commands_[ID_VIEW_FULLSCREEN] = [this] { ToggleFullScreen(); };
    programFolder_ =
        pagewick::ProgramDataFolder(QCoreApplication::applicationDirPath().toStdString());
    AddDeviceCommands();
    AddSearchCommands();
    FollowBook();
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const QString& text, const QString& prompt) {
    QAction* action = menu->addAction(text);
    action->setData(id);
    action->setStatusTip(prompt);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    // The window holds every action too, so their keys work while the menu bar is hidden.
    addAction(action);
    actions_[id] = action;
    return action;
}

void CMainFrame::BuildMenus() {
    // Every item has its mnemonic, each letter used once in its menu.
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    AddCommand(file, ID_FILE_OPEN, QStringLiteral("&Open..."), QStringLiteral("Open a book file"))
        ->setShortcut(QKeySequence::Open);
    AddCommand(file, ID_LIBRARY, QStringLiteral("eBook &Library"),
               QStringLiteral("Open a book of your library"));
    AddCommand(file, ID_CONVERT, QStringLiteral("&Convert file to eBook"),
               QStringLiteral("Build a PAWK eBook from a file"))
        ->setEnabled(false);
    AddCommand(file, ID_SAVE_EPUB, QStringLiteral("&Save as EPUB..."),
               QStringLiteral("Write this book as an EPUB book"))
        ->setEnabled(false);
    file->addSeparator();
    AddCommand(file, ID_SEND_MOBILE, QStringLiteral("Send to Windows &Mobile Device"),
               QStringLiteral("Copy this book to the handheld"));
    AddCommand(file, ID_INSTALL_MOBILE, QStringLiteral("&Install to Windows Mobile"),
               QStringLiteral("Install the reader on the handheld"));
    AddCommand(file, ID_UNINSTALL_MOBILE, QStringLiteral("&Uninstall from Windows Mobile Device"),
               QStringLiteral("Remove the reader from the handheld"));
    file->addSeparator();
    AddCommand(file, ID_SEND_PALM, QStringLiteral("Send to P&alm OS Device"),
               QStringLiteral("Wrap this book for a Palm OS handheld"))
        ->setEnabled(false);
    AddCommand(file, ID_INSTALL_PALM, QStringLiteral("Install &to Palm OS Device"), QString())
        ->setEnabled(false);
    AddCommand(file, ID_UNINSTALL_PALM, QStringLiteral("I&ninstall from Palm OS Device"), QString())
        ->setEnabled(false);
    file->addSeparator();
    AddCommand(file, ID_PRINT, QStringLiteral("&Print..."),
               QStringLiteral("Print pages of the book"))
        ->setShortcut(QKeySequence::Print);
    actions_[ID_PRINT]->setEnabled(false);
    AddCommand(file, ID_PRINT_CHAPTERS, QStringLiteral("Print C&hapter(s)..."),
               QStringLiteral("Print chapters of the book"))
        ->setEnabled(false);
    file->addSeparator();
    AddCommand(file, ID_EXPORT_HIGHLIGHTS, QStringLiteral("&Export Highlights..."),
               QStringLiteral("Save the highlights and notes with their text as Markdown"))
        ->setEnabled(false);
    // The last ten books opened, each at its place.
    recentSeparator_ = file->addSeparator();
    for (size_t i = 0; i < RecentBooks::kMaxBooks; ++i) {
        QAction* recent = AddCommand(file, ID_FILE_MRU_FILE1 + int(i), QString(),
                                     QStringLiteral("Open this book where you left it"));
        recent->setVisible(false);
        recentActions_.push_back(recent);
    }
    file->addSeparator();
    AddCommand(file, ID_APP_EXIT, QStringLiteral("E&xit"), QStringLiteral("Quit the application"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    AddCommand(edit, ID_COPY_BOOK, QStringLiteral("&Copy Book"), QString())->setEnabled(false);
    AddCommand(edit, ID_SEARCH, QStringLiteral("&Search..."),
               QStringLiteral("Find words in the book"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    AddCommand(edit, ID_SEARCH_AGAIN, QStringLiteral("Search &Again"),
               QStringLiteral("Find the next place of the words"))
        ->setShortcut(QKeySequence(Qt::Key_F3));
    AddCommand(edit, ID_SEARCH_PREVIOUS, QStringLiteral("Search &Previous"),
               QStringLiteral("Find the place of the words before this one"))
        ->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    // The selection on the page and the highlights.
    edit->addSeparator();
    AddCommand(edit, ID_EDIT_COPY, QStringLiteral("Cop&y"),
               QStringLiteral("Copy the selected text to the clipboard"))
        ->setShortcut(QKeySequence::Copy);
    AddCommand(edit, ID_HIGHLIGHT, QStringLiteral("&Highlight"),
               QStringLiteral("Mark the selected text in the highlight colour"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    colourMenu_ = edit->addMenu(QStringLiteral("Highlight Co&lour"));
    auto* colours = new QActionGroup(this);
    const char* const colourItems[] = {"&Yellow", "&Green", "&Blue", "&Pink"};
    for (int c = 0; c < kHighlightColourCount; ++c) {
        QAction* item =
            AddCommand(colourMenu_, ID_HIGHLIGHT_YELLOW + c, QString::fromLatin1(colourItems[c]),
                       QStringLiteral("Mark the selected text in this colour"));
        item->setIcon(pwview::ColourIcon(HighlightColour(c)));
        item->setCheckable(true);
        colours->addAction(item);
    }
    AddCommand(edit, ID_ADD_NOTE, QStringLiteral("Add &Note..."),
               QStringLiteral("Mark the selected text and write a note on it"));
    AddCommand(edit, ID_EDIT_NOTE, QStringLiteral("&Edit Note..."),
               QStringLiteral("Change the note of the highlight selected"));
    AddCommand(edit, ID_DELETE_HIGHLIGHT, QStringLiteral("&Delete Highlight"),
               QStringLiteral("Remove the highlight selected and its note"));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    AddCommand(view, ID_DISPLAY_OPTIONS, QStringLiteral("&Display Options"),
               QStringLiteral("Change the display options"));
    AddCommand(view, ID_NIGHTTIME, QStringLiteral("&Nighttime Scheme"), QString())
        ->setEnabled(false);
    QAction* bar = AddCommand(view, ID_VIEW_TOOLBAR, QStringLiteral("&Toolbar"),
                              QStringLiteral("Show or hide the toolbar"));
    bar->setCheckable(true);
    bar->setChecked(true);
    QAction* full = AddCommand(view, ID_VIEW_FULLSCREEN, QStringLiteral("F&ull Screen"),
                               QStringLiteral("Show the page on the whole screen"));
    full->setCheckable(true);
    full->setShortcut(QKeySequence(Qt::Key_F11));
    AddCommand(view, ID_ABOUT_EBOOK, QStringLiteral("&About the eBook"),
               QStringLiteral("Properties of this eBook"));
    AddCommand(view, ID_HIGHLIGHTS, QStringLiteral("&Highlights..."),
               QStringLiteral("List the highlights and notes of this eBook"));
    view->addSeparator();
    AddCommand(view, ID_FIRST_PAGE, QStringLiteral("&First Page"),
               QStringLiteral("Go to the first page"))
        ->setShortcut(QKeySequence(Qt::Key_Home));
    AddCommand(view, ID_GOTO_25, QStringLiteral("&25%"),
               QStringLiteral("Go to a quarter of the book"));
    AddCommand(view, ID_GOTO_50, QStringLiteral("&50%"),
               QStringLiteral("Go to the middle of the book"));
    AddCommand(view, ID_GOTO_75, QStringLiteral("&75%"),
               QStringLiteral("Go to three quarters of the book"));
    AddCommand(view, ID_LAST_PAGE, QStringLiteral("&Last Page"),
               QStringLiteral("Go to the last page"))
        ->setShortcut(QKeySequence(Qt::Key_End));
    view->addSeparator();
    // Going to a bookmark and setting one are two popups, so that each item has its own key.
    QMenu* go = view->addMenu(QStringLiteral("&Go to Bookmark"));
    for (int slot = 0; slot < 4; ++slot)
        AddCommand(go, ID_GOTO_BOOKMARK1 + slot, QStringLiteral("Goto #&%1").arg(slot + 1),
                   QStringLiteral("Go to bookmark %1").arg(slot + 1));
    QMenu* set = view->addMenu(QStringLiteral("&Set Bookmark"));
    for (int slot = 0; slot < 4; ++slot)
        AddCommand(set, ID_SET_BOOKMARK1 + slot, QStringLiteral("Set #&%1").arg(slot + 1),
                   QStringLiteral("Set bookmark %1 on this page").arg(slot + 1));
    view->addSeparator();
    AddCommand(view, ID_RETURN_FROM_LINK, QStringLiteral("&Return from Link"),
               QStringLiteral("Go back to the page of the link"));
    AddCommand(view, ID_CONTENTS, QStringLiteral("Table of &Contents"),
               QStringLiteral("Choose a chapter"));
    AddCommand(view, ID_LARGER_FONT, QStringLiteral("Larger F&ont"),
               QStringLiteral("Make the text larger"));
    AddCommand(view, ID_SMALLER_FONT, QStringLiteral("S&maller Font"),
               QStringLiteral("Make the text smaller"));

    menuBar()->addMenu(QStringLiteral("&Tools"))->addAction(actions_[ID_DISPLAY_OPTIONS]);
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    AddCommand(help, ID_APP_ABOUT, QStringLiteral("&About Reader..."),
               QStringLiteral("Program information and version"));

    // The toolbar shares the menus' actions; previous and next page are its own.
    toolbar_ = addToolBar(QStringLiteral("Toolbar"));
    toolbar_->setObjectName(QStringLiteral("Toolbar"));
    toolbar_->addAction(actions_[ID_ABOUT_EBOOK]);
    toolbar_->addAction(actions_[ID_SEARCH_AGAIN]);
    toolbar_->addSeparator();
    QAction* previous = toolbar_->addAction(QStringLiteral("Previous Page"));
    previous->setStatusTip(QStringLiteral("Go to the previous page"));
    connect(previous, &QAction::triggered, this, [this] { OnCommand(ID_PREVIOUS_PAGE); });
    actions_[ID_PREVIOUS_PAGE] = previous;
    toolbar_->addAction(actions_[ID_CONTENTS]);
    QAction* next = toolbar_->addAction(QStringLiteral("Next Page"));
    next->setStatusTip(QStringLiteral("Go to the next page"));
    connect(next, &QAction::triggered, this, [this] { OnCommand(ID_NEXT_PAGE); });
    actions_[ID_NEXT_PAGE] = next;
    toolbar_->addSeparator();
    toolbar_->addAction(actions_[ID_PRINT]);
    toolbar_->addAction(actions_[ID_SEND_PALM]);
    toolbar_->addSeparator();
    toolbar_->addAction(actions_[ID_APP_ABOUT]);
    connect(toolbar_, &QToolBar::visibilityChanged, bar, [this, bar] {
        // Hidden for full screen, the toolbar keeps the person's own choice.
        if (!fullScreen_) bar->setChecked(toolbar_->isVisible());
    });
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);
}

void CMainFrame::FollowBook() {
    setWindowTitle(view_->WindowTitle());
    UpdateCommands();
}

void CMainFrame::UpdateRecentBooks() {
    const std::vector<RecentBook> books = RecentBooks(host_).List();
    for (size_t i = 0; i < recentActions_.size(); ++i) {
        QAction* action = recentActions_[i];
        const bool shown = i < books.size();
        action->setVisible(shown);
        if (!shown) continue;
        action->setText(QString::fromStdString(RecentBooks::MenuText(i, books[i])));
        const std::string where =
            books[i].member.empty() ? books[i].path : books[i].path + " (" + books[i].member + ")";
        action->setStatusTip(QString::fromStdString(where));
    }
    recentSeparator_->setVisible(!books.empty());
}

void CMainFrame::ToggleFullScreen() {
    const bool full = !fullScreen_;
    fullScreen_ = full;
    if (full) {
        maximizedBeforeFullScreen_ = isMaximized();
        toolbarBeforeFullScreen_ = toolbar_->isVisible();
    }
    menuBar()->setVisible(!full);
    statusBar()->setVisible(!full);
    toolbar_->setVisible(!full && toolbarBeforeFullScreen_);
    if (full)
        showFullScreen();
    else if (maximizedBeforeFullScreen_)
        showMaximized();
    else
        showNormal();
    if (QAction* action = Action(ID_VIEW_FULLSCREEN)) action->setChecked(full);
}

void CMainFrame::keyPressEvent(QKeyEvent* event) {
    // Escape also leaves full screen, where no menu shows the way back.
    if (event->key() == Qt::Key_Escape && fullScreen_) {
        ToggleFullScreen();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

std::string CMainFrame::DroppedBook(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const std::string path = url.toLocalFile().toStdString();
        if (CChildView::IsBookFile(path)) return path;
    }
    return {};
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (DroppedBook(event->mimeData()).empty()) return event->ignore();
    event->acceptProposedAction();
}

void CMainFrame::dragMoveEvent(QDragMoveEvent* event) {
    if (DroppedBook(event->mimeData()).empty()) return event->ignore();
    event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const std::string path = DroppedBook(event->mimeData());
    if (path.empty()) return event->ignore();
    event->acceptProposedAction();
    activateWindow();
    // Opened once the drop has finished: the source program is not kept waiting.
    QTimer::singleShot(0, this, [this, path] { view_->OpenBookFile(path); });
}

void CMainFrame::UpdateCommands() {
    EnableDeviceCommands();
    EnableSearchCommands();
    UpdateRecentBooks();
    // Every command of the view, on the menus and the toolbar alike, as the book allows.
    for (const auto& [id, action] : actions_)
        if (view_->HandlesCommand(id)) action->setEnabled(view_->IsCommandEnabled(id));
    colourMenu_->setEnabled(view_->IsCommandEnabled(ID_HIGHLIGHT));
    for (int c = 0; c < kHighlightColourCount; ++c)
        actions_[ID_HIGHLIGHT_YELLOW + c]->setChecked(view_->NewColour() == HighlightColour(c));
}

QAction* CMainFrame::Action(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

bool CMainFrame::OnCommand(int id) {
    if (view_->OnCommand(id)) {
        // A book opened or forgotten by the command shows in the recent list at once.
        UpdateRecentBooks();
        return true;
    }
    auto it = commands_.find(id);
    if (it == commands_.end()) return false;
    it->second();
    return true;
}

void CMainFrame::focusInEvent(QFocusEvent*) {
    view_->setFocus();
}

void CMainFrame::SavePlacement() {
    WindowPlacement p;
    QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    p.showCommand = isMaximized() ? 3 : 1;
    if (isMinimized()) p.showCommand = 5;
    p.left = normal.left();
    p.top = normal.top();
    p.right = normal.right() + 1;
    p.bottom = normal.bottom() + 1;
    host_.SetSetting(kProfileSection, "WindowPos", p.Format());
}

void CMainFrame::ShowAtStoredPlacement() {
    WindowPlacement p;
    std::string text = host_.GetSetting(kProfileSection, "WindowPos", "");
    if (WindowPlacement::Parse(text, p)) {
        QRect wanted(QPoint(p.left, p.top), QPoint(p.right - 1, p.bottom - 1));
        // A rectangle off every screen, or too small to use, is not restored: the window
        // always appears where it can be seen.
        bool onScreen = false;
        for (QScreen* screen : QGuiApplication::screens())
            if (screen->availableGeometry().intersects(wanted)) onScreen = true;
        if (onScreen && wanted.width() >= 200 && wanted.height() >= 150)
            setGeometry(wanted);
        else
            resize(800, 900);
        // Any show command but maximised shows the window normally (0 would hide it).
        if (p.showCommand == 3)
            showMaximized();
        else
            showNormal();
        return;
    }
    // First start: maximised; a usable size of its own where nothing maximises windows (no
    // window manager).
    QRect screen = QGuiApplication::primaryScreen()
                       ? QGuiApplication::primaryScreen()->availableGeometry()
                       : QRect(0, 0, 800, 900);
    resize(std::min(800, screen.width()), std::min(900, screen.height()));
    showMaximized();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    SavePlacement();
    view_->CloseBookSavingPlace();
    event->accept();
}

}  // namespace wickstand
