#include "util/Json.h"

#include <charconv>
#include <cmath>

#include "util/Utf8.h"

namespace pagewick::json {

const Value* Value::Get(std::string_view name) const {
    if (kind != Kind::Object) return nullptr;
    for (size_t i = items.size(); i-- > 0;)
        if (items[i].key == name) return &items[i];
    return nullptr;
}

std::optional<int64_t> Value::Integer(int64_t low, int64_t high) const {
    if (kind != Kind::Number || !std::isfinite(number) || number != std::floor(number))
        return std::nullopt;
    if (number < double(low) || number > double(high)) return std::nullopt;
    return int64_t(number);
}

namespace {

class Parser {
public:
    Parser(std::string_view text, Limits limits) : s_(text), limits_(limits) {}

    std::optional<Value> Run(std::string* error) {
        Value v;
        bool ok = s_.size() <= limits_.maxInput || Fail("the file is too large");
        if (ok) {
            Skip();
            ok = ParseValue(v, 0);
        }
        if (ok) {
            Skip();
            if (at_ != s_.size()) ok = Fail("text after the end");
        }
        if (!ok) {
            if (error) *error = "line " + std::to_string(Line()) + ": " + reason_;
            return std::nullopt;
        }
        return v;
    }

private:
    bool Fail(const char* why) {
        if (reason_.empty()) reason_ = why;
        return false;
    }
    size_t Line() const {
        size_t line = 1;
        for (size_t i = 0; i < at_ && i < s_.size(); ++i)
            if (s_[i] == '\n') ++line;
        return line;
    }
    void Skip() {
        while (at_ < s_.size() &&
               (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r'))
            ++at_;
    }
    bool Word(std::string_view w) {
        if (s_.substr(at_, w.size()) != w) return Fail("not a JSON value");
        at_ += w.size();
        return true;
    }

    bool ParseValue(Value& v, size_t depth) {
        if (at_ >= s_.size()) return Fail("the text ends where a value should be");
        switch (s_[at_]) {
            case '{':
                return ParseObject(v, depth + 1);
            case '[':
                return ParseArray(v, depth + 1);
            case '"':
                v.kind = Kind::String;
                return ParseString(v.text);
            case 't':
                v.kind = Kind::Bool;
                v.boolean = true;
                return Word("true");
            case 'f':
                v.kind = Kind::Bool;
                return Word("false");
            case 'n':
                v.kind = Kind::Null;
                return Word("null");
            default:
                v.kind = Kind::Number;
                return ParseNumber(v.number);
        }
    }

    bool ParseArray(Value& v, size_t depth) {
        if (depth > limits_.maxDepth) return Fail("nested too deeply");
        v.kind = Kind::Array;
        ++at_;
        Skip();
        if (at_ < s_.size() && s_[at_] == ']') {
            ++at_;
            return true;
        }
        for (;;) {
            Skip();
            v.items.emplace_back();
            if (!ParseValue(v.items.back(), depth)) return false;
            Skip();
            if (at_ >= s_.size()) return Fail("the text ends inside an array");
            if (s_[at_] == ']') {
                ++at_;
                return true;
            }
            if (s_[at_] != ',') return Fail("expected \",\" or \"]\"");
            ++at_;
        }
    }

    bool ParseObject(Value& v, size_t depth) {
        if (depth > limits_.maxDepth) return Fail("nested too deeply");
        v.kind = Kind::Object;
        ++at_;
        Skip();
        if (at_ < s_.size() && s_[at_] == '}') {
            ++at_;
            return true;
        }
        for (;;) {
            Skip();
            if (at_ >= s_.size() || s_[at_] != '"') return Fail("expected a member name");
            std::string key;
            if (!ParseString(key)) return false;
            Skip();
            if (at_ >= s_.size() || s_[at_] != ':') return Fail("expected \":\"");
            ++at_;
            Skip();
            v.items.emplace_back();
            Value& member = v.items.back();
            member.key = std::move(key);
            if (!ParseValue(member, depth)) return false;
            Skip();
            if (at_ >= s_.size()) return Fail("the text ends inside an object");
            if (s_[at_] == '}') {
                ++at_;
                return true;
            }
            if (s_[at_] != ',') return Fail("expected \",\" or \"}\"");
            ++at_;
        }
    }

    bool Hex4(uint32_t& code) {
        if (s_.size() - at_ < 4) return Fail("a short \\u escape");
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = s_[at_++];
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= uint32_t(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= uint32_t(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= uint32_t(c - 'A' + 10);
            else
                return Fail("a bad \\u escape");
        }
        return true;
    }

    bool ParseString(std::string& out) {
        ++at_;  // the opening quote
        for (;;) {
            // Plain bytes in one piece: everything up to a quote, a backslash or a control.
            size_t run = at_;
            while (run < s_.size() && s_[run] != '"' && s_[run] != '\\' &&
                   uint8_t(s_[run]) >= 0x20 && uint8_t(s_[run]) < 0x80)
                ++run;
            out.append(s_.data() + at_, run - at_);
            at_ = run;
            if (at_ >= s_.size()) return Fail("the text ends inside a string");
            const uint8_t c = uint8_t(s_[at_]);
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c < 0x20) return Fail("a control character inside a string");
            if (c >= 0x80) {
                bool malformed = false;
                const auto* p = reinterpret_cast<const uint8_t*>(s_.data() + at_);
                char16_t unit;
                size_t used = DecodeUtf8Character(p, s_.size() - at_, true, unit, &malformed);
                if (malformed || used == 0) return Fail("a string that is not UTF-8");
                out.append(s_.data() + at_, used);
                at_ += used;
                continue;
            }
            // A backslash.
            if (++at_ >= s_.size()) return Fail("the text ends inside a string");
            const char e = s_[at_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    uint32_t code;
                    if (!Hex4(code)) return false;
                    if (code >= 0xDC00 && code <= 0xDFFF)
                        return Fail("the second half of a pair alone");
                    if (code >= 0xD800 && code <= 0xDBFF) {
                        uint32_t low;
                        if (s_.substr(at_, 2) != "\\u" || (at_ += 2, !Hex4(low)) || low < 0xDC00 ||
                            low > 0xDFFF)
                            return Fail("the first half of a pair alone");
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    }
                    AppendUtf8(out, code);
                    break;
                }
                default:
                    return Fail("a bad escape");
            }
        }
    }

    bool ParseNumber(double& out) {
        // The grammar first (from_chars takes forms JSON does not: "inf", leading "+"), then
        // the value.
        const size_t start = at_;
        if (at_ < s_.size() && s_[at_] == '-') ++at_;
        auto digits = [&]() {
            const size_t from = at_;
            while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9')
                ++at_;
            return at_ - from;
        };
        const size_t intStart = at_;
        const size_t intDigits = digits();
        if (intDigits == 0) return Fail("not a JSON value");
        if (intDigits > 1 && s_[intStart] == '0') return Fail("a number with a leading zero");
        if (at_ < s_.size() && s_[at_] == '.') {
            ++at_;
            if (digits() == 0) return Fail("a bad number");
        }
        if (at_ < s_.size() && (s_[at_] == 'e' || s_[at_] == 'E')) {
            ++at_;
            if (at_ < s_.size() && (s_[at_] == '+' || s_[at_] == '-')) ++at_;
            if (digits() == 0) return Fail("a bad number");
        }
        auto [end, ec] = std::from_chars(s_.data() + start, s_.data() + at_, out);
        if (ec == std::errc::result_out_of_range) {
            out = s_[start] == '-' ? -HUGE_VAL : HUGE_VAL;  // kept, and refused by range checks
            return true;
        }
        if (ec != std::errc() || end != s_.data() + at_) return Fail("a bad number");
        return true;
    }

    std::string_view s_;
    Limits limits_;
    size_t at_ = 0;
    std::string reason_;
};

}  // namespace

std::optional<Value> Parse(std::string_view text, std::string* error, Limits limits) {
    return Parser(text, limits).Run(error);
}

void AppendString(std::string& out, std::string_view utf8) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (size_t i = 0; i < utf8.size();) {
        const auto c = uint8_t(utf8[i]);
        if (c >= 0x80) {
            // Kept as it is when it is UTF-8; what is not becomes U+FFFD, so the file stays
            // readable.
            bool malformed = false;
            char16_t unit;
            const size_t used =
                DecodeUtf8Character(reinterpret_cast<const uint8_t*>(utf8.data() + i),
                                    utf8.size() - i, true, unit, &malformed);
            if (malformed)
                out += "\xEF\xBF\xBD";
            else
                out.append(utf8.data() + i, used);
            i += used;
            continue;
        }
        ++i;
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    out += "\\u00";
                    out += kHex[c >> 4];
                    out += kHex[c & 15];
                } else {
                    out += char(c);
                }
        }
    }
    out += '"';
}

}  // namespace pagewick::json
