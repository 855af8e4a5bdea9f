#pragma once
// Where a performance was seen and when, in the words a window shows: the
// places the library keeps as sources, an import's label, dates in local
// time, and where the library lies when no one says. Store.h includes this,
// so every user of the store has them.

#include <cstdint>
#include <filesystem>
#include <string>

namespace kw {

// Where a performance was seen.
struct Source {
    enum class Kind : int { File = 1, SynthUser = 2, Editor = 3, SynthEdit = 4 };
    Kind kind = Kind::File;
    std::string path;  // File: the file as an absolute path, UTF-8
    int number = -1;   // SynthUser: the user performance, 0..127

    // `file` made absolute (links are not followed: the name the user knows).
    static Source file(const std::filesystem::path& file);
    static Source synthUser(int number);
    // The edited performance, kept by the user's own command.
    static Source editor();
    // The synth's edit buffer, fetched without a user performance chosen.
    static Source synthEdit();

    // "/home/ann/syx/PF_Lead 1.SYX", "CS1x user 061", "Kept from the editor",
    // "CS1x edit buffer".
    std::string label() const;
    // The folder of a file, "" for other kinds.
    std::string folder() const;
};

// What the library's sources table keeps of a source beside its kind: the
// path of a file, "061" for a user performance, "" for the others.
std::string sourceText(const Source& source);
// Source::label() of a row of the sources table.
std::string sourceLabel(int kind, const std::string& text);

struct ImportInfo {
    int64_t id = 0;
    std::string what;  // what was imported, as the user named it
    int64_t started = 0, finished = 0;  // finished 0: never finished (killed)
    std::string outcome;                // the summary line, or why it stopped
    // "~/syx, bank.PFB (2024-05-01 14:03)"
    std::string label() const;
};

// $XDG_DATA_HOME/Knobwright/library.sqlite ($HOME/.local/share when the
// variable is unset or empty), where QStandardPaths' GenericDataLocation
// puts the editor's other files.
std::filesystem::path defaultLibraryPath();

// "2024-05-01 14:03" in local time.
std::string dateText(int64_t seconds);

} // namespace kw
