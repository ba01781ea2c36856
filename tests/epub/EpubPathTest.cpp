// References inside a book resolved to container paths, and the ones that would leave it.
#include <gtest/gtest.h>

#include "formats/epub/EpubPath.h"

namespace pagewick {
namespace {

std::string Resolve(std::string_view from, std::string_view href, std::string* fragment = nullptr) {
    std::string path, frag;
    if (!ResolveHref(from, href, path, frag)) return "<refused>";
    if (fragment) *fragment = frag;
    return path;
}

TEST(EpubPath, ResolvesRelativeToTheFileThatHoldsTheReference) {
    std::string fragment;
    EXPECT_EQ(Resolve("OEBPS/Text/ch1.xhtml", "ch2.xhtml#p%201", &fragment),
              "OEBPS/Text/ch2.xhtml");
    EXPECT_EQ(fragment, "p 1");
    EXPECT_EQ(Resolve("OEBPS/Text/ch1.xhtml", "../Images/a.png"), "OEBPS/Images/a.png");
    EXPECT_EQ(Resolve("OEBPS/Text/ch1.xhtml", "././/b.xhtml?x=1"), "OEBPS/Text/b.xhtml");
    EXPECT_EQ(Resolve("OEBPS/Text/ch1.xhtml", "#note", &fragment), "OEBPS/Text/ch1.xhtml");
    EXPECT_EQ(fragment, "note");
    EXPECT_EQ(Resolve("content.opf", "Chapter%201%20%C3%A9.xhtml"), "Chapter 1 \xC3\xA9.xhtml");
    EXPECT_EQ(Resolve("content.opf", "100%.xhtml"), "100%.xhtml");            // no escape: kept
    EXPECT_EQ(Resolve("a/content.opf", " Text/C.XHTML "), "a/Text/C.XHTML");  // case kept
}

TEST(EpubPath, RefusesWhatLeavesTheContainer) {
    for (const char* href :
         {"../../etc/passwd", "../../content.opf", "%2e%2e/%2E%2E/etc/passwd", "/etc/passwd",
          "\\windows\\x", "C:/x.html", "file:///etc/passwd", "http://example.com/a.html",
          "mailto:a@b", "a%00b.html", "Text/../../../x"}) {
        EXPECT_EQ(Resolve("OEBPS/content.opf", href), "<refused>") << href;
    }
    std::string out;
    EXPECT_FALSE(NormalizeContainerPath("../../etc/passwd", out));
    EXPECT_FALSE(NormalizeContainerPath("", out));
    EXPECT_TRUE(NormalizeContainerPath("a/./b/../c", out));
    EXPECT_EQ(out, "a/c");
}

}  // namespace
}  // namespace pagewick
