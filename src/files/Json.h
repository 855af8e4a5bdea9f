#pragma once
// JSON read and written, for the small files the program exchanges with
// others and with scripts. Reading is made for files from anywhere: the
// nesting and the number of values are capped, so a hostile file costs
// little memory and no deep recursion, and a string must be UTF-8.

#include "model/Result.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kw::json {

struct Member;

struct Value {
    enum class Type : uint8_t { Null, Bool, Number, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string text;                                      // a string, UTF-8
    std::vector<Value> items;                              // an array
    std::vector<Member> members;                           // an object, in file order

    // An object's member of that name (the last, if several), or nullptr.
    const Value* member(std::string_view name) const;
    // A number that is a whole number in [min, max].
    bool isInteger(int64_t min, int64_t max) const;
};

struct Member {
    std::string name;
    Value value;
};

struct Limits {
    size_t depth = 16;         // arrays and objects within each other
    size_t values = 1 << 20;   // values in all
};

struct Error {
    size_t offset = 0;  // the byte where reading stopped
    std::string what;   // "a string is not closed"
};

// `text` whole as one value, blanks around it allowed; or why it is not.
BasicResult<Value, Error> parse(std::string_view text, const Limits& limits = {});

// `utf8` as a JSON string, quotes included; control characters escaped.
std::string quoted(std::string_view utf8);

} // namespace kw::json
