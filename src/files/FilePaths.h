#pragma once
// File names: extensions, folders, and names made from performance names that
// are safe to create inside a folder the user chose.

#include <filesystem>
#include <unordered_map>
#include <unordered_set>
#include <string>
#include <string_view>

namespace kw {

// Paths travel as UTF-8 text between the program's parts; these keep
// non-ASCII names intact on every platform.
std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8FromPath(const std::filesystem::path& path);

// `path` with its extension replaced by `extension` (which includes its dot),
// or with it appended when the name has none: perf.txt -> perf.SYX,
// perf -> perf.SYX. A name's leading dot is not an extension.
std::filesystem::path changeExtension(const std::filesystem::path& path, std::string_view extension);
// The folder a file lies in, without a trailing separator except for a root.
std::filesystem::path folderOf(const std::filesystem::path& path);

// A single name component (UTF-8) that every common file system accepts and
// that stays inside the folder it is created in: separators, characters that
// Windows forbids and control characters become "_", leading and trailing
// dots and blanks go, reserved device names (CON, LPT1, ...) get a "_", and
// an empty result is "_". Blanks inside the name are kept.
std::string safeFileName(std::string_view utf8);

// "SQ_Pan Seq.SYX": category abbreviation, "_", the name without leading and
// trailing blanks, ".SYX", made safe. `category` and `name8` as stored in a
// performance (Windows-1252 bytes); the result is UTF-8.
std::string performanceFileName(int category, std::string_view name8);

// Keeps the names of one transfer distinct: a name seen before (letter case
// ignored, as on Windows and macOS disks) gets " (2)", " (3)" ... before its
// extension. Thousands of one name cost no more each than the first few.
class DistinctNames {
public:
    std::string claim(const std::string& utf8Name);

private:
    std::unordered_set<std::string> taken_;  // folded
    // Per folded name: the number its next copy tries first.
    std::unordered_map<std::string, int> next_;
};

// Whether anything stands at `path`, a symbolic link that leads nowhere
// included (std::filesystem::exists follows links and says no for it).
bool nameTaken(const std::filesystem::path& path);
// The first name beside `path` that is not taken: "bank (2).PFB", "bank (3).PFB", ...
std::filesystem::path freeNameBeside(const std::filesystem::path& path);
// The path of a file the program names itself inside `folder` (a backup, an
// export, an unpacked bank): `utf8Name` claimed from `names`, passing over
// every name that is a symbolic link there, dangling or not, since a write
// through it would land outside the folder the user chose; with
// `passTaken`, passing over every name that is taken at all, so that
// nothing already there is replaced.
std::filesystem::path claimInFolder(DistinctNames& names, const std::filesystem::path& folder,
                                    const std::string& utf8Name, bool passTaken = false);

// Text from outside (a file name, a name the user typed) as it may be
// written to a terminal: control characters (C0, DEL and C1, which start
// escape sequences) and bytes that are no UTF-8 become '?', so a name can
// neither forge a line nor change colours.
std::string terminalText(std::string_view utf8);

// `utf8` as a disk that ignores letter case compares names: ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic letters folded to lower case (PF_AÉ
// and PF_Aé are one name there).
std::string foldCase(std::string_view utf8);

} // namespace kw
