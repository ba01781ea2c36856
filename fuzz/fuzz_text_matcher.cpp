// Search matching: whatever the pattern and the text, the streaming matcher reports exactly the
// matches the obvious matcher finds over the same folded characters, its steps stay linear in
// the text, and a context line around each hit is no longer than asked.
//
// Input: one byte of options (match case, whole words, ignore accents), one byte giving the
// pattern's length in bytes, the pattern, then the text; both UTF-8.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "tests/util/NaiveTextMatch.h"
#include "util/RecentText.h"
#include "util/TextMatcher.h"
#include "util/Utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pagewick;
    if (size < 2) return 0;
    const MatchOptions options{.matchCase = bool(data[0] & 1),
                               .wholeWords = bool(data[0] & 2),
                               .ignoreAccents = bool(data[0] & 4)};
    const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
    const size_t patternBytes = std::min<size_t>(data[1], rest.size());
    const std::u16string pattern = Utf8ToUtf16(rest.substr(0, patternBytes));
    // The obvious matcher is quadratic; a few thousand characters say all it can.
    const std::u16string text = Utf8ToUtf16(rest.substr(patternBytes, 4096));

    TextMatcher matcher(pattern, options);
    const std::vector<TextMatch> expected = test::NaiveFind(pattern, text, options);
    if (!matcher.Ready()) {
        if (!expected.empty()) std::abort();
        return 0;
    }
    std::vector<TextMatch> found;
    RecentText recent(64);
    for (size_t i = 0; i < text.size(); ++i) {
        recent.Add(text[i], i);
        if (matcher.Feed(text[i], i, i + 1)) {
            found.push_back(matcher.Match());
            if (recent.ContextAround(found.back(), 30).size() > 30) std::abort();
        }
    }
    if (matcher.Finish()) found.push_back(matcher.Match());
    if (found != expected) std::abort();
    // Each character gives at most three folded ones; each step is one of those or a fall-back.
    if (matcher.Steps() > 6 * text.size()) std::abort();
    return 0;
}
