#include "view/Startup.h"

#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "util/AsciiCase.h"
#include "util/AtomicFile.h"

namespace pwview {
namespace fs = std::filesystem;

using pagewick::LowerAscii;

namespace {

// Writes the file unless it already holds the text; `changed` says whether it was written.
// Registering at every start then costs a read, and the desktop's databases are rebuilt only
// when something changed.
bool WriteText(const fs::path& path, const std::string& text, bool& changed) {
    changed = false;
    if (std::ifstream in(path, std::ios::binary); in) {
        std::string held((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (held == text) return true;
    }
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    changed = true;
    return pagewick::WriteFileAtomically(path, text);
}

std::string XmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

// Runs a desktop database tool when it is installed; its outcome does not matter.
void RunIfInstalled(const char* tool, const fs::path& folder) {
    QString program = QStandardPaths::findExecutable(QString::fromLatin1(tool));
    if (program.isEmpty()) return;
    QProcess process;
    process.start(program, {QString::fromStdString(folder.string())});
    process.waitForFinished(10000);
}

}  // namespace

StartRequest ParseCommandLine(const std::vector<std::string>& args) {
    StartRequest request;
    for (const std::string& arg : args) {
        std::string lower = LowerAscii(arg);
        for (const char* ext : {".pawk", ".lit", ".epub", ".htm", ".txt"}) {
            if (lower.find(ext) == std::string::npos) continue;
            request.bookPath = arg;
            request.bookTitle = fs::path(arg).stem().string();
            break;
        }
        if (lower == "installsmartphone")
            request.action = StartAction::InstallSmartphone;
        else if (lower == "installpocketpc")
            request.action = StartAction::InstallPocketPc;
        else if (lower == "regserver")
            request.action = StartAction::RegServer;
        if (request.action != StartAction::Run) break;
    }
    return request;
}

PendingBook ChooseFirstBook(const StartRequest& request, pagewick::Host& host) {
    PendingBook pending{request.bookPath, request.bookTitle, false};
    // Each program reads its own section: one never opens the other's last book.
    const std::string section = host.ProgramSection();
    std::string autoOpen = host.GetSetting(section, "AutoOpen", "");
    if (!autoOpen.empty() && autoOpen[0] == '1') {
        pending.autoOpen = true;
        if (pending.path.empty()) {
            pending.path = host.GetSetting(section, "LastBook", "");
            pending.title = host.GetSetting(section, "LastBookTitle", "");
            // A member of an archive comes back with its archive.
            if (!pending.path.empty()) pending.member = host.GetSetting(section, "LastBookMember");
        }
    }
    return pending;
}

namespace {
bool SameBytes(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::file_size(a, ec) != fs::file_size(b, ec) || ec) return false;
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    char ba[65536], bb[65536];
    while (fa && fb) {
        fa.read(ba, sizeof ba);
        fb.read(bb, sizeof bb);
        if (fa.gcount() != fb.gcount() || std::memcmp(ba, bb, size_t(fa.gcount())) != 0)
            return false;
    }
    return true;
}
}  // namespace

bool IsHtmlBook(const std::string& path) {
    std::string lower = LowerAscii(path);
    return lower.ends_with(".htm") || lower.ends_with(".html");
}

std::string CopyIntoLibrary(const std::string& path, pagewick::Host& host) {
    std::error_code ec;
    fs::path source = fs::weakly_canonical(path, ec);
    if (ec || !fs::is_regular_file(source, ec)) return path;
    fs::path docs = fs::weakly_canonical(host.DocumentsFolder(), ec);
    if (ec || docs.empty()) return path;
    // Inside the documents folder, by whatever path it was named: opened in place.
    auto [end, _] = std::mismatch(docs.begin(), docs.end(), source.begin(), source.end());
    if (end == docs.end()) return path;
    // An HTML book is read where it is: its pictures and the pages it links to lie beside it,
    // and a copy of the page alone would lose them.
    if (IsHtmlBook(source.string())) return path;
    fs::path library = docs / "My eBooks";
    fs::create_directories(library, ec);
    fs::path target = library / source.filename();
    if (fs::exists(target, ec)) {
        if (SameBytes(source, target)) return target.string();
        if (host.ShowMessage("A different book named \"" + source.filename().string() +
                                 "\" is already in My eBooks.\r\nReplace it with this one?",
                             "Pagewick", pagewick::MessageButtons::YesNo,
                             pagewick::MessageIcon::Question) != pagewick::MessageAnswer::Yes)
            return path;
    }
    fs::path temp = target;
    temp += ".copying";
    fs::copy_file(source, temp, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::permissions(temp, fs::perms::owner_write, fs::perm_options::add, ec);
    if (!ec) fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        host.ShowMessage("Cannot copy the book into My eBooks; it is opened where it is.",
                         "Pagewick", pagewick::MessageButtons::Ok, pagewick::MessageIcon::Warning);
        return path;
    }
    return target.string();
}

void CKVFileTypeAccess::ClearAllData() {
    extension_.clear();
    openCommand_.clear();
    typeName_.clear();
    description_.clear();
    icon_.clear();
    magic_.clear();
}

bool CKVFileTypeAccess::RegisterAll() {
    bool ok = RegSetExtension();
    ok = RegSetDocumentType() && ok;
    ok = RegSetAllInfo() && ok;
    ok = RegSetFinalInfo() && ok;
    return ok;
}

std::string CKVFileTypeAccess::MimeType() const {
    return "application/x-" + LowerAscii(extension_);
}

fs::path CKVFileTypeAccess::DataFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return data;
    const char* home = std::getenv("HOME");
    return fs::path(home && home[0] ? home : ".") / ".local" / "share";
}

bool CKVFileTypeAccess::RegSetExtension() {
    if (extension_.empty()) return true;
    std::set<std::string> globs{"*." + LowerAscii(extension_), "*." + extension_};
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        << "  <mime-type type=\"" << MimeType() << "\">\n"
        << "    <comment>" << XmlEscape(description_) << "</comment>\n";
    for (const std::string& glob : globs)
        xml << "    <glob pattern=\"" << XmlEscape(glob) << "\" case-sensitive=\"true\"/>\n";
    if (!magic_.empty())
        xml << "    <magic priority=\"50\"><match type=\"string\" offset=\"0\" value=\""
            << XmlEscape(magic_) << "\"/></magic>\n";
    xml << "  </mime-type>\n</mime-info>\n";
    fs::path mime = DataFolder() / "mime";
    bool changed = false;
    if (!WriteText(mime / "packages" / ("pagewick-" + LowerAscii(extension_) + ".xml"), xml.str(),
                   changed))
        return false;
    std::error_code ec;
    if (changed || !fs::exists(mime / "mime.cache", ec))
        RunIfInstalled("update-mime-database", mime);
    return true;
}

bool CKVFileTypeAccess::RegSetDocumentType() {
    if (typeName_.empty()) return true;
    fs::path apps = DataFolder() / "applications";
    fs::path entry = apps / (entry_ + ".desktop");
    // The types registered before stay: LIT books once associated keep their entry.
    std::set<std::string> types;
    if (std::ifstream old(entry); old) {
        std::string line;
        while (std::getline(old, line)) {
            if (line.rfind("MimeType=", 0) != 0) continue;
            std::stringstream list(line.substr(9));
            std::string type;
            while (std::getline(list, type, ';'))
                if (!type.empty()) types.insert(type);
        }
    }
    if (!extension_.empty()) types.insert(MimeType());
    std::ostringstream text;
    text << "[Desktop Entry]\nType=Application\nName=" << appName_ << "\n"
         << "GenericName=" << description_ << " Reader\n"
         << "Comment=" << typeName_ << ": " << description_ << "\n";
    if (!openCommand_.empty()) text << "Exec=" << openCommand_ << "\n";
    if (!icon_.empty()) text << "Icon=" << icon_ << "\n";
    text << "Terminal=false\nCategories=Office;Viewer;\nMimeType=";
    for (const std::string& type : types)
        text << type << ';';
    text << "\n";
    bool changed = false;
    if (!WriteText(entry, text.str(), changed)) return false;
    if (changed) RunIfInstalled("update-desktop-database", apps);
    return true;
}

bool RegisterTypeForProgram(const std::string& program, const std::string& extension,
                            const std::string& magic, const std::string& entry,
                            const std::string& name) {
    CKVFileTypeAccess access;
    access.SetApplication(entry, name);
    access.SetExtension(extension);
    std::string exec = program.empty() ? entry : program;
    if (exec.find_first_of(" \t\"'\\") != std::string::npos) {
        std::string quoted = "\"";
        for (char c : exec) {
            if (c == '"' || c == '\\' || c == '`' || c == '$') quoted += '\\';
            quoted += c;
        }
        exec = quoted + "\"";
    }
    access.SetShellOpenCommand(exec + " %f");
    access.SetDocumentTypeName("Pawkview.Document");
    access.SetDocumentDescription("Pagewick eBook");
    access.SetDocumentDefaultIcon(entry);
    access.SetMagic(magic);
    return access.RegisterAll();
}

namespace {
bool RegisterType(const std::string& program, const char* extension, const char* magic) {
    return RegisterTypeForProgram(program, extension, magic, "wickstand", "Wickstand");
}
}  // namespace

bool RegisterPawkType(const std::string& program) {
    return RegisterType(program, "PaWK", "KPW-PAWK");
}
bool RegisterLitType(const std::string& program) {
    return RegisterType(program, "LIT", "");
}

const char* const kAssociateLitQuestion =
    "Associate this reader with LIT files in Windows Explorer?\r\nIf you have Rights Protected "
    "(DRM) eBooks, you may wish Microsoft Reader\r\nto maintain this association.";

}  // namespace pwview
