// The engine with readers it does not know: a book held in memory, opened through the registry,
// and the same markup read under the answers different formats give.
#include <gtest/gtest.h>

#include "support/BookFixture.h"
#include "support/ScriptedHost.h"

namespace pagewick::test {
namespace {

// 8-bit markup served from memory, with the traits it is given.
class MemoryReader : public WindowReader {
public:
    MemoryReader(std::string text, ReaderTraits traits) : text_(std::move(text)), traits_(traits) {}
    ReaderTraits Traits() const override { return traits_; }
    OpenResult Open(CBookEngine& doc) override {
        doc.TextLength = uint32_t(text_.size());
        doc.MarkupMode = true;
        return OpenResult::Opened;
    }
    bool ReadWindow(CBookEngine& doc, uint32_t position) override {
        for (size_t i = 0; i < doc.WindowA.size(); ++i) {
            doc.WindowA[i] = At(position + i);
            doc.WindowB[i] = At(position + size_t(doc.WindowSize) + i);
        }
        doc.MarkupMode = true;
        return true;
    }

private:
    uint8_t At(size_t i) const { return i < text_.size() ? uint8_t(text_[i]) : 0; }
    std::string text_;
    ReaderTraits traits_;
};

struct MemoryBook : TestBook {
    ScriptedHost host;
    MemoryBook(const std::string& text, ReaderTraits traits) {
        doc.HostServices = &host;
        doc.RightEdge = 200;
        doc.PageHeight = 200;
        doc.ShowPositionBar = 0;
        doc.DocumentTitle = "file name";
        EXPECT_TRUE(doc.PrepareSource(std::make_unique<MemoryReader>(text, traits)));
        doc.BuildWidthTable(&dc);
    }
};

const char* const kBook =
    "<title>Caf&eacute;</title>one<B>two</B>\tthree</blockquote>end"
    "<curfile>part2.htm</curfile>x";

}  // namespace

TEST(ReaderTraitsTest, TheSameMarkupReadsAsEachFormatAnswers) {
    // A plain stream: tags in any case, the title tag names the book, tabs and file marks
    // dropped, the end of a block quote breaks the line, no sections.
    MemoryBook plain(kBook, ReaderTraits{});
    EXPECT_EQ(plain.Lines(0), (std::vector<std::string>{"onetwothree", "endx"}));
    EXPECT_EQ(plain.doc.DocumentTitle, "Café");
    EXPECT_EQ(plain.doc.CurrentFile, "");
    EXPECT_FALSE(plain.doc.NextSection());
    EXPECT_EQ(plain.host.MessageTexts(),
              std::vector<std::string>{"This format does not support sections."});
    bool temporary = true;
    EXPECT_EQ(plain.doc.ItemFile("a.gif", ".gif", temporary), "");
    EXPECT_FALSE(temporary);

    // A book with its own title, exact-case tags and file marks: the title tag leaves the title
    // alone, and the mark names the file from there on.
    ReaderTraits own;
    own.namesItself = true;
    own.ownTitle = true;
    own.exactCaseMarkup = true;
    own.fileMarks = true;
    own.sections = true;
    MemoryBook lit(kBook, own);
    lit.Lines(0);
    EXPECT_EQ(lit.doc.DocumentTitle, "");
    EXPECT_EQ(lit.doc.CurrentFile, "part2.htm");
    EXPECT_TRUE(lit.doc.NextSection());
    EXPECT_TRUE(lit.host.MessageTexts().empty());

    // Tabs kept (as white space) and the quote rule: the quote's end is a space, not a line
    // break; the header's name is put before the title tag's.
    ReaderTraits pawk;
    pawk.keepsTabsAndQuoteRule = true;
    MemoryBook kept(kBook, pawk);
    kept.doc.BookTitle = "Book";
    EXPECT_EQ(kept.Lines(0), std::vector<std::string>{"onetwo three endx"});
    EXPECT_EQ(kept.doc.DocumentTitle, "Book - Café");
}

TEST(ReaderTraitsTest, OnlyRegisteredKindsOpen) {
    constexpr int32_t kUnclaimed = 77;
    EXPECT_EQ(MakeWindowReader(kUnclaimed), nullptr);
    TempDir dir;
    ScriptedHost host;
    CBookEngine doc;
    doc.HostServices = &host;
    doc.BookPath = (dir / "book").string();
    doc.MemberName = "inside.txt";
    doc.SourceKind = kUnclaimed;
    EXPECT_FALSE(doc.OpenBook());
    EXPECT_TRUE(doc.SourceFailed);
    EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{"Unknown file type."});

    // Registered, the kind opens; a reader of archive members has the member remembered.
    ReaderTraits member;
    member.archiveMember = true;
    RegisterWindowReader(kUnclaimed,
                         [member] { return std::make_unique<MemoryReader>("text", member); });
    EXPECT_TRUE(doc.OpenBook());
    EXPECT_EQ(doc.GetChar(0), uint32_t('t'));
    EXPECT_EQ(host.GetSetting(host.ProgramSection(), "LastBookMember"), "inside.txt");
    RegisterWindowReader(kUnclaimed, nullptr);
    EXPECT_EQ(MakeWindowReader(kUnclaimed), nullptr);
}

}  // namespace pagewick::test
