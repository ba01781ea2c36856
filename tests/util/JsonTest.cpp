#include <gtest/gtest.h>

#include "util/Json.h"

namespace pagewick::json {
namespace {

TEST(JsonTest, ReadsValuesStrictlyAndWritesStringsBack) {
    std::string error;
    std::optional<Value> v = Parse(
        " {\"a\": [1, -2.5e1, 0, true, false, null], \"s\": \"q\\\"\\\\\\/\\b\\f\\n\\r\\t"
        "\\u00e9\\uD83D\\uDE00\xC3\xA9\", \"a\": {}} ",
        &error);
    ASSERT_TRUE(v) << error;
    ASSERT_EQ(v->kind, Kind::Object);
    EXPECT_EQ(v->Get("a")->kind, Kind::Object);  // the last of a name counts
    const Value& list = v->items[0];
    ASSERT_EQ(list.items.size(), 6u);
    EXPECT_EQ(list.items[1].number, -25);
    EXPECT_EQ(list.items[0].Integer(0, 10), 1);
    EXPECT_EQ(list.items[1].Integer(-100, 100), -25);  // a whole number however written
    EXPECT_FALSE(list.items[1].Integer(0, 100));
    const std::string s = v->Get("s")->text;
    EXPECT_EQ(s, "q\"\\/\b\f\n\r\t\xC3\xA9\xF0\x9F\x98\x80\xC3\xA9");
    std::string written;
    AppendString(written, s + std::string(1, '\x01') + "\xFF");
    EXPECT_EQ(written,
              "\"q\\\"\\\\/\\u0008\\u000c\\n\\r\\t\xC3\xA9\xF0\x9F\x98\x80\xC3\xA9"
              "\\u0001\xEF\xBF\xBD\"");
    EXPECT_EQ(Parse(written)->text, s + "\x01\xEF\xBF\xBD");

    for (const char* bad : {"", "[1,]", "{\"a\" 1}", "01", "1.", "-", "+1", "\"\\x\"", "\"a",
                            "\"\\uD800\"", "\"\\uDC00\"", "\"\\uD800\\u0041\"", "\"\xC3\x28\"",
                            "\"\xED\xA0\x80\"", "\"tab\there\"", "[1] 2", "nul", "inf"}) {
        EXPECT_FALSE(Parse(bad)) << bad;
    }
    EXPECT_FALSE(Parse("[\n1,\n?]", &error));
    EXPECT_EQ(error.rfind("line 3: ", 0), 0u) << error;
    Limits shallow;
    shallow.maxDepth = 3;
    EXPECT_TRUE(Parse("[[[1]]]", nullptr, shallow));
    EXPECT_FALSE(Parse("[[[[1]]]]", nullptr, shallow));
    EXPECT_FALSE(Parse(std::string(100000, '[')));  // refused, not a stack overflow
    EXPECT_TRUE(Parse("1e999")->number > 1e300);    // read, and out of every integer range
    EXPECT_FALSE(Parse("1e999")->Integer(INT32_MIN, INT32_MAX));
}

}  // namespace
}  // namespace pagewick::json
