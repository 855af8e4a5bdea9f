#pragma once
// The 128 lines of the user-performance list: what the window's `UserPerf`
// list shows, what the choosers offer and what a names file holds. Texts are
// Windows-1252, as the synth's names and the files are.

#include "files/NamesFile.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

class UserPerfNames {
public:
    // The lines the editor knows before any names are received or loaded.
    UserPerfNames();

    const std::string& entry(int index) const { return lines_.at(size_t(index)); }
    const NameLines& lines() const { return lines_; }
    // The lines in UTF-8, for the choosers.
    std::vector<std::string> utf8Lines() const;

    // An index outside 0..127 changes nothing.
    void set(int index, std::string text);
    void setAll(const NameLines& lines);

    // Told the index of every line that changed (the window mirrors them).
    void onChange(std::function<void(int index)> fn) { changed_ = std::move(fn); }
    // Told of every line set, changed or not, besides the window: the
    // library that keeps the lines as last seen.
    void watch(std::function<void(int index)> fn) { watcher_ = std::move(fn); }

private:
    NameLines lines_;
    std::function<void(int)> changed_;
    std::function<void(int)> watcher_;
};

// The three ways the commands build a line, with `name8` the eight name
// bytes as stored:
// a names request: number, two blanks, category, a blank and the name with
// its blanks, the whole cut to 16 ("006  SQ Pan Seq ");
std::string receivedNameEntry(int index, int category, std::string_view name8);
// a performance stored into the synth: the name trimmed, nothing cut
// ("005  SQ Pan Seq");
std::string storedEntry(int index, int category, std::string_view name8);
// a record of a bank sent to the synth: number, two blanks and the record's
// short entry (category and trimmed name cut to 15): numberedEntry(index,
// shortEntry(category, name8)).

} // namespace kw
