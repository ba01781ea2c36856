// Start-up of the reader programs: the command line, the choice of the first book, and the file
// type association made the freedesktop way (a shared MIME info package and a desktop entry in
// the user's data folder).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "util/Host.h"

namespace pwview {

enum class StartAction { Run, RegServer, InstallPocketPc, InstallSmartphone };

struct StartRequest {
    StartAction action = StartAction::Run;
    std::string bookPath;   // as given: this file system keeps case
    std::string bookTitle;  // its file name without folder and extension
};

// Every argument in order. A book argument is recognised by its extension in any letter case
// and kept as given; an action word counts only when it is the whole argument (any case), and
// ends the reading there.
StartRequest ParseCommandLine(const std::vector<std::string>& args);

// What the reading view opens first: the book given, or with "AutoOpen" "1" the last book.
struct PendingBook {
    std::string path;
    std::string title;
    bool autoOpen = false;
    std::string member = {};  // with path the archive: the member read last
};
PendingBook ChooseFirstBook(const StartRequest& request, pagewick::Host& host);

// Opening a book from outside the documents folder keeps a copy in "My eBooks" and opens the
// copy. Paths are compared resolved; the source is never deleted; the copy is made under a
// temporary name and renamed when complete; a different book of the same name is replaced only
// when the person agrees. HTML books are opened in place, with the pictures beside them.
// Returns the path to open (the source itself when no copy is made).
std::string CopyIntoLibrary(const std::string& path, pagewick::Host& host);
// A ".htm" or ".html" file, in any letter case.
bool IsHtmlBook(const std::string& path);

// The shell association: a file type and the program that opens it.
class CKVFileTypeAccess {
public:
    virtual ~CKVFileTypeAccess() = default;
    virtual void ClearAllData();
    // Registers the extension and the document type; true when every step succeeded.
    virtual bool RegisterAll();
    // The MIME package for the extension: mime/packages/pagewick-EXT.xml.
    virtual bool RegSetExtension();
    // The desktop entry: applications/wickstand.desktop, naming every type registered so far.
    virtual bool RegSetDocumentType();
    virtual bool RegSetAllInfo() { return true; }
    virtual bool RegSetFinalInfo() { return true; }

    void SetExtension(std::string value) { extension_ = std::move(value); }
    void SetShellOpenCommand(std::string value) { openCommand_ = std::move(value); }
    void SetDocumentTypeName(std::string value) { typeName_ = std::move(value); }
    void SetDocumentDescription(std::string value) { description_ = std::move(value); }
    void SetDocumentDefaultIcon(std::string value) { icon_ = std::move(value); }
    // Bytes that open every file of the type (PAWK books: "KPW-PAWK").
    void SetMagic(std::string value) { magic_ = std::move(value); }
    // The program's desktop entry (applications/ENTRY.desktop) and the name it shows.
    void SetApplication(std::string entry, std::string name) {
        entry_ = std::move(entry);
        appName_ = std::move(name);
    }

    // The MIME type of the extension: application/x-EXT in lower case.
    std::string MimeType() const;
    // $XDG_DATA_HOME when absolute, else ~/.local/share.
    static std::filesystem::path DataFolder();

private:
    std::string extension_, openCommand_, typeName_, description_, icon_, magic_;
    std::string entry_ = "wickstand", appName_ = "Wickstand";
};

// The associations this program makes: PAWK books at every start, LIT books on request.
bool RegisterPawkType(const std::string& program);
bool RegisterLitType(const std::string& program);
// The same for another program of the system (its desktop entry and shown name).
bool RegisterTypeForProgram(const std::string& program, const std::string& extension,
                            const std::string& magic, const std::string& entry,
                            const std::string& name);
// The LIT question's text.
extern const char* const kAssociateLitQuestion;

}  // namespace pwview
