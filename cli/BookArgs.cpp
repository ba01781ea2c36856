#include "cli/BookArgs.h"

#include "engine/PaginationFile.h"
#include "formats/Library.h"

#include <QGuiApplication>
#include <filesystem>

namespace pagewick::cli {

bool OpenBookArgument(CBookEngine& doc, const std::string& argument, std::string& error,
                      bool keepPlace) {
    std::string path = argument;
    doc.MemberName.clear();
    size_t zip = argument.find(".zip:");
    if (zip != std::string::npos) {
        path = argument.substr(0, zip + 4);
        doc.MemberName = argument.substr(zip + 5);
    }
    int32_t kind = FormatCodeFromPath(path, -1);
    if (kind < 0 || (kind == kSourceZip && doc.MemberName.empty())) {
        error = "unsupported book type: " + argument +
                " (expected .txt, .htm, .html, .lit, .pawk or ARCHIVE.zip:MEMBER)";
        return false;
    }
    doc.SourceKind = kind;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "cannot open " + path + ": no such file";
        return false;
    }
    doc.BookPath = path;
    doc.PaginationPath = keepPlace ? PaginationFilePath(path, doc.MemberName) : "";
    if (!doc.OpenBook()) {
        if (doc.SourceKind == kSourceZip)
            error = "cannot read member \"" + doc.MemberName + "\" of " + path;
        else if (doc.LastOpen == OpenResult::Rejected)
            error = "Pagewick cannot read this format: " + path;
        else
            error = "cannot read " + path;
        return false;
    }
    return true;
}

void ApplyDesktopLayout(CBookEngine& doc, int32_t width, int32_t height, const std::string& face,
                        int pointSize) {
    const int32_t border = 8;
    doc.LeftEdge = border;
    doc.TopEdge = border;
    doc.RightEdge = width - border;
    doc.PageHeight = height;
    doc.Leading = 2;
    doc.Justified = 1;
    doc.ShowPositionBar = 1;
    doc.ShowPageNumber = 1;
    doc.SetReadingFont(face, pointSize);
}

std::unique_ptr<QGuiApplication> MakeGuiApplication() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "pagewick";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace pagewick::cli
