// Opening a book named on the command line: "FILE.txt", "FILE.htm", "FILE.html" or
// "ARCHIVE.zip:MEMBER", with the desktop reader's page set-up.
#pragma once

#include <memory>
#include <string>

#include "cli/commands.h"
#include "engine/BookEngine.h"
#include "platform/ConsoleHost.h"

namespace pagewick::cli {

// A book argument "ARCHIVE.zip:MEMBER" (".zip" in any letter case) split into the archive and
// the member; any other argument is the path itself, with no member.
void SplitBookArgument(const std::string& argument, std::string& path, std::string& member);

// Sets the document's path, member and kind from a book argument and opens it, with the book's
// pagination file when keepPlace is set. The book's highlights are read from its notes file
// either way when withHighlights is set. On failure returns false with a one-line message, or
// with none when the book's reader has told the person why already (Fail then says nothing).
bool OpenBookArgument(CBookEngine& doc, const std::string& argument, std::string& error,
                      bool keepPlace = false, bool withHighlights = false);

// "--encoding auto|utf-8|cp1252": how a text or HTML file is read, remembered for the book.
// Absent (value left empty), the book is read as it was last time (from its bytes for a new
// one). ApplyEncoding is false with a message for another value.
void AddEncoding(CLI::App& app, std::string& value);
bool ApplyEncoding(const std::string& value, CBookEngine& doc, std::string& error);
extern const char* const kEncodingHelp;

// "--hyphenate LANG", "--no-hyphenate", "--widows" and "--join-lines auto|on|off": the
// typography of the readers, asked for by name. With none of them the pages are those of the
// fixed rule: no hyphenation, soft hyphens shown as characters, lines as the book has them.
// With any of them soft hyphens are break points and a page never ends in a split word.
struct TypographyArgs {
    std::string language, joinLines;
    bool noHyphenate = false, widows = false;
};
void AddTypography(CLI::App& app, TypographyArgs& args);
// joinLines is 1 or 0 for "--join-lines on" or "off", to be set once the book is open; -1
// otherwise. False with a message for a wrong value. Call before the book is opened.
bool ApplyTypography(const TypographyArgs& args, CBookEngine& doc, int& joinLines,
                     std::string& error);
extern const char* const kTypographyHelp;

// The desktop reader's default display settings.
constexpr const char* kDesktopFace = "Arial";
constexpr int kDesktopFontSize = 14;
constexpr int32_t kDesktopBorderWidth = 8;
constexpr int32_t kDesktopBorderHeight = 8;
constexpr int32_t kDesktopLeading = 2;
constexpr int32_t kDesktopParagraphSpacing = 3;
constexpr int32_t kDesktopTabSize = 4;

// The desktop reader's page with its default display settings (borders, leading, paragraph
// spacing, tab size, justified, position bar and page number) and the reading font given.
void ApplyDesktopLayout(CBookEngine& doc, int32_t width, int32_t height, const std::string& face,
                        int pointSize);

// What paginate and render print under --help after their usage line: the page set-up and the
// fixed metrics, which scripts rely on.
extern const char* const kPageSetupHelp;
extern const char* const kFixedMetricsHelp;

// The tool's host: messages on standard error, questions answered No. It reads the settings
// store but never writes it, so scripted runs do not change the reader's last book.
class CommandLineHost : public ConsoleHost {
public:
    void SetSetting(const std::string&, const std::string&, const std::string&) override {}
};

}  // namespace pagewick::cli
