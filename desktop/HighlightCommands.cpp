// CChildView's highlight commands: Copy (Ctrl+C), Highlight (Ctrl+H) and its colours, Add Note...,
// Edit Note... and Delete Highlight on the selection (the Edit menu) or on the highlight right
// clicked (the page's menu), View > "Highlights..." and File > "Export Highlights...".
#include <QFileDialog>
#include <QMenu>
#include <filesystem>

#include "desktop/ChildView.h"
#include "desktop/Commands.h"
#include "engine/HighlightExport.h"
#include "util/AtomicFile.h"
#include "view/HighlightsDialog.h"

namespace wickstand {
using namespace pagewick;
namespace fs = std::filesystem;

namespace {
const char* const kColourItems[kHighlightColourCount] = {"&Yellow", "&Green", "&Blue", "&Pink"};
}  // namespace

void CChildView::BuildHighlightCommands() {
    commands_[ID_EDIT_COPY] = [this] { CopySelection(); };
    commands_[ID_HIGHLIGHT] = [this] { HighlightSelection(); };
    for (int c = 0; c < kHighlightColourCount; ++c)
        commands_[ID_HIGHLIGHT_YELLOW + c] = [this, c] { HighlightSelection(HighlightColour(c)); };
    commands_[ID_ADD_NOTE] = [this] { AddNoteToSelection(); };
    commands_[ID_EDIT_NOTE] = [this] {
        if (auto mark = HighlightAt(std::nullopt)) EditHighlightNote(mark->first, mark->second);
    };
    commands_[ID_DELETE_HIGHLIGHT] = [this] {
        if (auto mark = HighlightAt(std::nullopt)) DeleteHighlight(mark->first, mark->second);
    };
    commands_[ID_HIGHLIGHTS] = [this] { ShowHighlightsList(); };
    commands_[ID_EXPORT_HIGHLIGHTS] = [this] { ExportHighlights(); };
}

bool CChildView::HighlightCommandEnabled(int id) const {
    if (!HasBook()) return false;
    switch (id) {
        case ID_EDIT_NOTE:
        case ID_DELETE_HIGHLIGHT:
            return HasSelection() && doc_.Highlights.At(doc_.SelectionFirst) != nullptr;
        case ID_HIGHLIGHTS:
        case ID_EXPORT_HIGHLIGHTS:
            return !doc_.Highlights.Empty();
        default:  // the selection's commands
            return HasSelection();
    }
}

void CChildView::AddHighlightItems(QMenu& menu, std::optional<QPoint> pagePoint) {
    const bool selected = HasSelection();
    auto command = [this](int id) { return [this, id] { OnCommand(id); }; };
    menu.addAction(QStringLiteral("&Highlight\tCtrl+H"), this, command(ID_HIGHLIGHT))
        ->setEnabled(selected);
    QMenu* colours = menu.addMenu(QStringLiteral("Highlight Co&lour"));
    colours->setEnabled(selected);
    for (int c = 0; c < kHighlightColourCount; ++c) {
        QAction* item = colours->addAction(pwview::ColourIcon(HighlightColour(c)),
                                           QString::fromLatin1(kColourItems[c]), this,
                                           command(ID_HIGHLIGHT_YELLOW + c));
        item->setCheckable(true);
        item->setChecked(NewColour() == HighlightColour(c));
    }
    menu.addAction(QStringLiteral("Add &Note..."), this, command(ID_ADD_NOTE))
        ->setEnabled(selected);
    menu.addAction(QStringLiteral("Cop&y\tCtrl+C"), this, command(ID_EDIT_COPY))
        ->setEnabled(selected);
    // The highlight under the pointer has its own commands.
    const auto mark = HighlightAt(pagePoint);
    if (!mark) return;
    const auto [start, end] = *mark;
    const Highlight* shown = doc_.Highlights.Find(start, end);
    menu.addSeparator();
    menu.addAction(QStringLiteral("&Edit Note..."), this,
                   [this, start, end] { EditHighlightNote(start, end); });
    QMenu* change = menu.addMenu(QStringLiteral("Change Colo&ur"));
    for (int c = 0; c < kHighlightColourCount; ++c) {
        QAction* item = change->addAction(
            pwview::ColourIcon(HighlightColour(c)), QString::fromLatin1(kColourItems[c]), this,
            [this, start, end, c] { SetHighlightColour(start, end, HighlightColour(c)); });
        item->setCheckable(true);
        item->setChecked(shown && shown->colour == HighlightColour(c));
    }
    menu.addAction(QStringLiteral("&Delete Highlight"), this,
                   [this, start, end] { DeleteHighlight(start, end); });
}

std::string CChildView::BookName() const {
    std::string title = doc_.DocumentTitle;
    if (title.empty())
        title = fs::path(doc_.MemberName.empty() ? doc_.BookPath : doc_.MemberName).stem().string();
    return title;
}

void CChildView::ExportHighlights() {
    if (!HasBook() || doc_.Highlights.Empty()) return;
    paused_ = true;
    SyncInhibit();
    // A title may hold what a file name cannot.
    std::string name = BookName();
    for (char& c : name)
        if (c == '/' || c == '\\' || c == ':') c = '-';
    const fs::path suggested = fs::path(host_.DocumentsFolder()) / (name + " highlights.md");
    QFileDialog dialog(this, QStringLiteral("Export Highlights"),
                       QString::fromStdString(suggested.string()),
                       QStringLiteral("Markdown (*.md);;All Files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("md"));
    dialog.selectFile(QString::fromStdString(suggested.string()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const std::string path = dialog.selectedFiles().front().toStdString();
    std::string markdown;
    {
        // Every page up to the last highlight is counted for the page numbers.
        WaitCursor wait(&host_);
        PrepareSearch();
        markdown = HighlightsMarkdown(doc_);
    }
    DiscardImages();
    update();
    if (!WriteFileAtomically(path, markdown))
        host_.ShowMessage("The highlights could not be written to \"" + path +
                              "\".\r\nThe folder may not exist or may not be writable.",
                          "Pagewick", MessageButtons::Ok, MessageIcon::Error);
}

}  // namespace wickstand
