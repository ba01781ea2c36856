// The typography of the open book: the hyphenation dictionary for its language, and whether a
// plain text is hard-wrapped prose whose single line breaks are better read as spaces.
#include <algorithm>
#include <cctype>
#include <vector>

#include "engine/BookEngine.h"
#include "engine/PaginationFile.h"
#include "typography/HardWrap.h"

namespace pagewick {

namespace {

// The value of the first lang (or xml:lang) attribute in a tag of the markup's beginning.
std::string FirstLangAttribute(const std::u16string& text) {
    bool inTag = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == '<') inTag = true;
        if (c == '>') inTag = false;
        if (!inTag || i + 5 > text.size() || (c != ' ' && c != ':' && c != '\t' && c != '\n'))
            continue;
        std::string name;
        for (size_t k = 1; k <= 4; ++k)
            name += char(std::tolower(text[i + k] < 128 ? int(text[i + k]) : 0));
        size_t at = i + 5;
        if (name != "lang") continue;
        while (at < text.size() && text[at] == ' ')
            ++at;
        if (at >= text.size() || text[at] != '=') continue;
        ++at;
        while (at < text.size() && text[at] == ' ')
            ++at;
        char16_t quote = at < text.size() && (text[at] == '"' || text[at] == '\'') ? text[at] : 0;
        if (quote) ++at;
        std::string value;
        for (; at < text.size() && value.size() < 35; ++at) {
            char16_t v = text[at];
            if (!(std::isalnum(v < 128 ? int(v) : 0) || v == '-' || v == '_')) break;
            value += char(v);
        }
        if (!value.empty()) return value;
    }
    return "";
}

}  // namespace

std::string CBookEngine::MarkupLanguage() {
    if (!MarkupMode || SourceFailed || TextLength == 0 || TextLength == kLengthUnknown) return "";
    const bool held = holdSnapshot_;
    holdSnapshot_ = true;
    std::u16string start;
    const int32_t count = int32_t(std::min<uint32_t>(CharCount(), 4096));
    for (int32_t i = 0; i < count; ++i) {
        uint32_t c = GetChar(i);
        if (c == kEndOfText) break;
        start += char16_t(c);
    }
    holdSnapshot_ = held;
    return FirstLangAttribute(start);
}

void CBookEngine::PrepareHyphenation() {
    activeHyphenator_ = nullptr;
    hyphenPrepared_ = Hyphenate;  // switched on later, the choice is made then
    hyphenFor_ = HyphenationLanguage;
    if (!Hyphenate) return;
    std::string tag = BookLanguage;
    if (tag.empty()) tag = BookLanguage = MarkupLanguage();
    if (tag.empty()) tag = HyphenationLanguage;
    if (!hyphenator_) hyphenator_ = std::make_unique<Hyphenator>();
    hyphenStatus_ = hyphenator_->SetLanguage(tag);
    hyphenTag_ = tag;
    if (hyphenator_->Ready()) activeHyphenator_ = hyphenator_.get();
}

void CBookEngine::JudgeLineBreaks() {
    // Only plain text, only without the person's word for it, and never taking back a choice
    // of joined lines that an older pagination file kept without saying whose it was.
    if (!DetectHardWrap || MarkupMode || JoinLinesChosen || JoinLines || SourceFailed ||
        TextLength == 0 || TextLength == kLengthUnknown)
        return;
    const bool held = holdSnapshot_;
    holdSnapshot_ = true;
    std::vector<char16_t> sample;
    const int32_t count = int32_t(std::min<uint32_t>(CharCount(), uint32_t(kSampleChars)));
    sample.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i) {
        uint32_t c = GetChar(i);
        if (c == kEndOfText) break;
        sample.push_back(char16_t(c));
    }
    holdSnapshot_ = held;
    if (!IsHardWrapped(sample)) return;
    JoinLines = 1;
    // A page table measured with the breaks kept is measured again up to the same text.
    if (PageStarts.size() > 1 || CurrentPage > 0) {
        int32_t offset =
            PageStarts[size_t(std::clamp(CurrentPage, 0, int32_t(PageStarts.size()) - 1))];
        ResetPagination();
        if (PendingOffset == -1) PendingOffset = offset;
    }
}

}  // namespace pagewick
