#include "cli/BookArgs.h"

#include <QGuiApplication>
#include <filesystem>

namespace pagewick::cli {

namespace {
bool EndsWith(const std::string& text, const std::string& ending) {
    return text.size() >= ending.size() &&
           text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}
}  // namespace

bool OpenBookArgument(CBookEngine& doc, const std::string& argument, std::string& error) {
    std::string path = argument;
    doc.MemberName.clear();
    size_t zip = argument.find(".zip:");
    if (zip != std::string::npos) {
        path = argument.substr(0, zip + 4);
        doc.MemberName = argument.substr(zip + 5);
        doc.SourceKind = kSourceZip;
    } else if (EndsWith(path, ".txt") || EndsWith(path, ".htm") || EndsWith(path, ".html")) {
        doc.SourceKind = kSourceText;
    } else {
        error = "unsupported book type: " + argument +
                " (expected .txt, .htm, .html or ARCHIVE.zip:MEMBER)";
        return false;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "cannot open " + path + ": no such file";
        return false;
    }
    doc.BookPath = path;
    if (!doc.PrepareSource()) {
        error = doc.SourceKind == kSourceZip
                    ? "cannot read member \"" + doc.MemberName + "\" of " + path
                    : "cannot read " + path;
        return false;
    }
    return true;
}

std::unique_ptr<QGuiApplication> MakeGuiApplication() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "pagewick";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace pagewick::cli
