// CMainFrame's search commands: Edit > "Search..." (Ctrl+F) opens the search dialog beside the
// page; "Search Again" (F3 and the toolbar) finds the next hit of its words, Shift+F3 the one
// before. Without words yet, both open the dialog.
#include "desktop/Commands.h"
#include "desktop/DesktopHost.h"
#include "desktop/MainFrame.h"
#include "view/SearchDialog.h"

namespace wickstand {

void CMainFrame::AddSearchCommands() {
    finder_ = std::make_unique<pwview::BookFinder>(*view_, host_);
    auto open = [this] {
        if (!searchDialog_) searchDialog_ = new pwview::CSearchDialog(*finder_, this);
        searchDialog_->Open();
    };
    commands_[ID_SEARCH] = open;
    commands_[ID_SEARCH_AGAIN] = [this, open] {
        if (finder_->HasPattern())
            finder_->FindNext();
        else
            open();
    };
    commands_[ID_SEARCH_PREVIOUS] = [this, open] {
        if (finder_->HasPattern())
            finder_->FindPrevious();
        else
            open();
    };
}

void CMainFrame::EnableSearchCommands() {
    const bool book = view_->HasBook();
    for (int id : {ID_SEARCH, ID_SEARCH_AGAIN, ID_SEARCH_PREVIOUS})
        if (QAction* action = Action(id)) action->setEnabled(book);
}

}  // namespace wickstand
