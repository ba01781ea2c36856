// A small JSON reader and writer for the files Pagewick keeps beside books. The reader builds a
// tiny value tree and is bounded everywhere: nesting depth, input size and string length are
// checked, strings must be UTF-8 (escapes included: "\uD83D\uDE00" is one character, a lone
// half of a pair is refused), and numbers are read without the locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pagewick::json {

enum class Kind : uint8_t { Null, Bool, Number, String, Array, Object };

struct Value {
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;          // a string's UTF-8
    std::string key;           // the member's name, when this value is one of an object
    std::vector<Value> items;  // an array's elements or an object's members, in file order

    // The member of an object by its name (the last one of that name), or null.
    const Value* Get(std::string_view name) const;
    // The number as an integer when it is one within [low, high].
    std::optional<int64_t> Integer(int64_t low, int64_t high) const;
};

struct Limits {
    size_t maxDepth = 32;
    size_t maxInput = size_t(1) << 30;
};

// The whole text as one value (white space around it allowed); none, with a short reason in
// *error ("line 3: ..."), when it is not JSON or goes past the limits.
std::optional<Value> Parse(std::string_view text, std::string* error = nullptr, Limits limits = {});

// Appends the UTF-8 text as a JSON string: quoted, with quotes, backslashes and control
// characters escaped.
void AppendString(std::string& out, std::string_view utf8);

}  // namespace pagewick::json
