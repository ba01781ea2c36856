#include <gtest/gtest.h>

#include "formats/epub/HtmlEntities.h"

namespace pagewick {

// The EPUB side reads names from the program's one table: every HTML5 name of one character,
// matched exactly, and the system's own "&s;".
TEST(HtmlNamesTest, OneCharacterNamesOfTheOneTable) {
    EXPECT_EQ(HtmlNamedCharacter("eacute"), U'\u00E9');
    EXPECT_EQ(HtmlNamedCharacter("Eacute"), U'\u00C9');
    EXPECT_EQ(HtmlNamedCharacter("EACUTE"), 0);
    EXPECT_EQ(HtmlNamedCharacter("lang"), U'\u27E8');
    EXPECT_EQ(HtmlNamedCharacter("check"), U'\u2713');  // HTML5's, unknown to HTML 4
    EXPECT_EQ(HtmlNamedCharacter("s"), U' ');
    // A name of two characters is no one character; a name given with its ";" is no name.
    EXPECT_EQ(HtmlNamedCharacter("NotEqualTilde"), 0);
    EXPECT_EQ(HtmlNamedCharacter("amp;"), 0);
}

}  // namespace pagewick
