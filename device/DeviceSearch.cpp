// CDeviceFrame's search: Tools > Search > "Search for..." opens the search dialog over the page
// (menus and taskbar shown while it is open, as for every dialog of the reader); "Search again"
// (the menu, the toolbar button, the keys build's soft key) finds the next hit of its words.
#include "device/Commands.h"
#include "device/DeviceFrame.h"
#include "view/DesktopHost.h"
#include "view/SearchDialog.h"

namespace wickpad {

void CDeviceFrame::AddSearchCommands() {
    finder_ = std::make_unique<pwview::BookFinder>(*view_, host_);
    auto open = [this] {
        if (!view_->HasBook()) return;
        if (!searchDialog_) {
            searchDialog_ = new pwview::CSearchDialog(*finder_, this);
            connect(searchDialog_, &QDialog::finished, this,
                    [this] { SetFullScreenMode(view_->Settings().ShowMenuAndToolbars()); });
        }
        SetFullScreenMode(true);
        // The small screen: the dialog as wide as the reader.
        searchDialog_->resize(width(), searchDialog_->sizeHint().height());
        searchDialog_->Open();
    };
    commands_[ID_SEARCH] = open;
    commands_[ID_SEARCH_AGAIN] = [this, open] {
        if (!view_->HasBook()) return;
        if (finder_->HasPattern())
            finder_->FindNext();
        else
            open();
    };
}

}  // namespace wickpad
