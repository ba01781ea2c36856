// CConvHTMLDlg: the eBook builder's dialog. The user puts HTML, text, picture and media files in
// reading order (or opens one LIT book), gives a title and author and builds a PAWK book into
// "My eBooks"; the work itself is the core's WriteBook.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "builder/BookBuilder.h"
#include "builder/EpubSource.h"
#include "util/Host.h"

class QCheckBox;
class QLineEdit;
class QMimeData;
class QPushButton;
class QTreeWidget;

namespace wickstand {

// The dropped files, handed out one path at a time.
class RDragDropFiles {
public:
    explicit RDragDropFiles(const QMimeData* data);
    // The next path, or an empty string once all are handed out.
    std::string NextFile();
    size_t Count() const { return paths_.size(); }

private:
    std::vector<std::string> paths_;
    size_t next_ = 0;
};

class CConvHTMLDlg : public QDialog {
    Q_OBJECT
public:
    explicit CConvHTMLDlg(pagewick::Host& host, QWidget* parent = nullptr);
    ~CConvHTMLDlg() override;

    // The first file, from the Convert command: a LIT book puts the dialog in LIT mode.
    void AddInitialFile(const std::string& path);

    void AddFile();
    void MoveUp();
    void MoveDown();
    void RemoveFile();
    void AddCoverArt();
    void Build();
    void DropFiles(RDragDropFiles& files);

    // Asks for a file to open (caption, default extension, filter); empty when none was chosen.
    // A file dialog unless a test puts something else here.
    std::function<std::string(const QString& caption, const QString& extension,
                              const QString& filter)>
        chooseFile;

    const std::vector<std::string>& Paths() const { return paths_; }
    bool LitMode() const { return litMode_; }
    int SelectedRow() const;
    void SelectRow(int row);
    // The book the last successful build wrote.
    std::string builtPath;

    QTreeWidget* list;
    QLineEdit *titleBox, *authorBox;
    QCheckBox* reflowBox;
    QPushButton *addButton, *upButton, *downButton, *removeButton, *coverButton, *buildButton,
        *closeButton;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void Refresh();
    void EnterLitMode();
    void TakeInitialFile(const std::string& path);
    void TakeCoverArt();
    // Whether a file chosen or dropped may join the list; if not, the user is told why.
    bool Admit(const std::string& path);
    // Runs a command; false when it raised an error, which the user was shown.
    bool Guarded(const std::function<void()>& command);

    pagewick::Host& host_;
    std::vector<std::string> paths_;
    bool litMode_ = false;
    std::unique_ptr<pagewick::LitSource> lit_;
};

}  // namespace wickstand
