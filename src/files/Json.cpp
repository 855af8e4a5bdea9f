#include "files/Json.h"

#include "model/Cp1252.h"

#include <charconv>
#include <cmath>

namespace kw::json {

namespace {

// The length of the UTF-8 sequence at `at`, or 0 when there is none.
size_t sequence(std::string_view s, size_t at)
{
    const auto b = [&](size_t i) { return at + i < s.size() ? uint8_t(s[at + i]) : uint8_t(0); };
    const auto cont = [&](size_t i) { return (b(i) & 0xC0) == 0x80; };
    const uint8_t c = b(0);
    if (c < 0x80)
        return at < s.size() ? 1 : 0;
    if (c >= 0xC2 && c <= 0xDF)
        return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const uint8_t lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
        return b(1) >= lo && b(1) <= hi && cont(2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const uint8_t lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
        return b(1) >= lo && b(1) <= hi && cont(2) && cont(3) ? 4 : 0;
    }
    return 0;
}

struct Stop {
    size_t at;
    const char* what;
};

class Reader {
public:
    Reader(std::string_view text, const Limits& limits) : s_(text), limits_(limits) {}

    Value document()
    {
        blanks();
        Value v = value(0);
        blanks();
        if (at_ != s_.size())
            throw Stop{at_, "something follows the value"};
        return v;
    }

private:
    void blanks()
    {
        while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r'))
            ++at_;
    }
    bool take(char c)
    {
        if (at_ < s_.size() && s_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    void word(std::string_view w)
    {
        if (s_.substr(at_, w.size()) != w)
            throw Stop{at_, "no value here"};
        at_ += w.size();
    }

    // Recursion is bounded by the depth limit, so a file of a million
    // brackets is refused at the 17th.
    Value value(size_t depth)
    {
        if (++count_ > limits_.values)
            throw Stop{at_, "too many values"};
        if (at_ >= s_.size())
            throw Stop{at_, "the file ends where a value should be"};
        Value v;
        switch (s_[at_]) {
        case '{':
        case '[': {
            if (depth >= limits_.depth)
                throw Stop{at_, "nested too deeply"};
            const bool object = s_[at_++] == '{';
            v.type = object ? Value::Type::Object : Value::Type::Array;
            blanks();
            if (take(object ? '}' : ']'))
                return v;
            for (;;) {
                blanks();
                if (object) {
                    if (at_ >= s_.size() || s_[at_] != '"')
                        throw Stop{at_, "a member has no name"};
                    std::string name = string();
                    blanks();
                    if (!take(':'))
                        throw Stop{at_, "a member's name has no ':'"};
                    blanks();
                    Value m = value(depth + 1);
                    v.members.push_back({std::move(name), std::move(m)});
                } else {
                    v.items.push_back(value(depth + 1));
                }
                blanks();
                if (take(','))
                    continue;
                if (take(object ? '}' : ']'))
                    return v;
                throw Stop{at_, object ? "an object is not closed" : "an array is not closed"};
            }
        }
        case '"':
            v.type = Value::Type::String;
            v.text = string();
            return v;
        case 't':
            word("true");
            v.type = Value::Type::Bool;
            v.boolean = true;
            return v;
        case 'f':
            word("false");
            v.type = Value::Type::Bool;
            return v;
        case 'n':
            word("null");
            return v;
        default:
            v.type = Value::Type::Number;
            v.number = number();
            return v;
        }
    }

    double number()
    {
        const size_t start = at_;
        take('-');
        if (take('0')) {
        } else if (at_ < s_.size() && s_[at_] >= '1' && s_[at_] <= '9') {
            digits();
        } else {
            throw Stop{start, "no value here"};
        }
        if (take('.') && !digits())
            throw Stop{at_, "a number has no digits after its point"};
        if (take('e') || take('E')) {
            if (!take('+'))
                take('-');
            if (!digits())
                throw Stop{at_, "a number has no digits in its exponent"};
        }
        double d = 0;
        const auto r = std::from_chars(s_.data() + start, s_.data() + at_, d);
        if (r.ec != std::errc() || !std::isfinite(d))
            throw Stop{start, "a number out of range"};
        return d;
    }
    bool digits()
    {
        const size_t start = at_;
        while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9')
            ++at_;
        return at_ > start;
    }

    unsigned hex4()
    {
        if (at_ + 4 > s_.size())
            throw Stop{at_, "a \\u escape is cut off"};
        unsigned v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = s_[at_++];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= unsigned(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= unsigned(c - 'A' + 10);
            else
                throw Stop{at_ - 1, "a \\u escape holds no hex digit"};
        }
        return v;
    }


    std::string string()
    {
        ++at_;  // the opening quote
        std::string out;
        for (;;) {
            if (at_ >= s_.size())
                throw Stop{at_, "a string is not closed"};
            const uint8_t c = uint8_t(s_[at_]);
            if (c == '"') {
                ++at_;
                return out;
            }
            if (c < 0x20)
                throw Stop{at_, "a string holds a control character"};
            if (c == '\\') {
                if (++at_ >= s_.size())
                    throw Stop{at_, "a string is not closed"};
                const char e = s_[at_++];
                switch (e) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    unsigned u = hex4();
                    if (u >= 0xDC00 && u <= 0xDFFF)
                        throw Stop{at_, "a string holds half a character"};
                    if (u >= 0xD800 && u <= 0xDBFF) {
                        if (!take('\\') || !take('u'))
                            throw Stop{at_, "a string holds half a character"};
                        const unsigned low = hex4();
                        if (low < 0xDC00 || low > 0xDFFF)
                            throw Stop{at_, "a string holds half a character"};
                        u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                    }
                    appendUtf8(out, char32_t(u));
                    break;
                }
                default: throw Stop{at_ - 1, "a string holds an unknown escape"};
                }
                continue;
            }
            if (c < 0x80) {
                out += char(c);
                ++at_;
                continue;
            }
            const size_t n = sequence(s_, at_);
            if (n == 0)
                throw Stop{at_, "a string is not UTF-8"};
            out.append(s_.substr(at_, n));
            at_ += n;
        }
    }

    std::string_view s_;
    Limits limits_;
    size_t at_ = 0;
    size_t count_ = 0;
};

} // namespace

const Value* Value::member(std::string_view name) const
{
    for (auto it = members.rbegin(); it != members.rend(); ++it)
        if (it->name == name)
            return &it->value;
    return nullptr;
}

bool Value::isInteger(int64_t min, int64_t max) const
{
    return type == Type::Number && number >= double(min) && number <= double(max) && number == std::floor(number);
}

BasicResult<Value, Error> parse(std::string_view text, const Limits& limits)
{
    try {
        return Reader(text, limits).document();
    } catch (const Stop& s) {
        return Error{s.at, s.what};
    }
}

std::string quoted(std::string_view utf8)
{
    static const char* const hex = "0123456789abcdef";
    std::string out = "\"";
    for (size_t i = 0; i < utf8.size();) {
        const uint8_t c = uint8_t(utf8[i]);
        const size_t n = sequence(utf8, i);
        if (n > 1) {
            out.append(utf8.substr(i, n));
            i += n;
            continue;
        }
        ++i;
        if (n == 0)
            out += "\\ufffd";  // no UTF-8: the file stays readable
        else if (c == '"')
            out += "\\\"";
        else if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

} // namespace kw::json
