#include "files/FilePaths.h"

#include "files/PerformanceRecord.h"
#include "model/Cp1252.h"
#include "model/NameTables.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace fs = std::filesystem;

namespace kw {

namespace {

constexpr std::string_view kForbidden = "<>:\"/\\|?*";
constexpr size_t kMaxNameBytes = 200;

// Length of the well-formed UTF-8 sequence at `s[i]`, 0 when it is not one.
size_t utf8SequenceAt(std::string_view s, size_t i)
{
    const auto b = uint8_t(s[i]);
    const size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || (n == 2 && b < 0xC2) || i + n > s.size())
        return 0;
    for (size_t k = 1; k < n; ++k)
        if ((uint8_t(s[i + k]) & 0xC0) != 0x80)
            return 0;
    return n;
}

// The lower-case partner of a capital letter, as case-insensitive disks
// pair them (one to one; no letter turns into two).
char32_t lowerLetter(char32_t c)
{
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        || (c >= 0x410 && c <= 0x42F))
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    if (c == 0x178)
        return 0xFF;
    // Latin Extended-A pairs capitals and small letters next to each other,
    // capital first, with two runs where the capital is odd.
    const bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (((c >= 0x100 && c <= 0x137 && c != 0x130) || (c >= 0x14A && c <= 0x177) || oddCapitals)
        && (c % 2 == (oddCapitals ? 1u : 0u)))
        return c + 1;
    return c;
}

std::string toUtf8(char32_t c)
{
    std::string s;
    if (c < 0x80) {
        s += char(c);
    } else if (c < 0x800) {
        s += char(0xC0 | (c >> 6));
        s += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        s += char(0xE0 | (c >> 12));
        s += char(0x80 | ((c >> 6) & 0x3F));
        s += char(0x80 | (c & 0x3F));
    } else {
        s += char(0xF0 | (c >> 18));
        s += char(0x80 | ((c >> 12) & 0x3F));
        s += char(0x80 | ((c >> 6) & 0x3F));
        s += char(0x80 | (c & 0x3F));
    }
    return s;
}

std::string lowerAscii(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(uint8_t(c)));
    return s;
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices on Windows, whatever
// extension follows them.
bool isReservedDeviceName(std::string_view name)
{
    const std::string stem = lowerAscii(std::string(name.substr(0, name.find('.'))));
    static const std::array<std::string_view, 4> plain = {"con", "prn", "aux", "nul"};
    if (std::find(plain.begin(), plain.end(), stem) != plain.end())
        return true;
    return stem.size() == 4 && (stem.starts_with("com") || stem.starts_with("lpt")) && stem[3] >= '1'
           && stem[3] <= '9';
}

// Windows drops trailing dots and blanks from names, and leading ones hide
// a file or look like a path step.
std::string trimDotsAndBlanks(const std::string& s)
{
    const size_t b = s.find_first_not_of(". ");
    return b == std::string::npos ? std::string() : s.substr(b, s.find_last_not_of(". ") - b + 1);
}

// Splits "name.ext" at the extension's dot (a leading dot does not count).
std::pair<std::string, std::string> splitExtension(const std::string& name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return {name, {}};
    return {name.substr(0, dot), name.substr(dot)};
}

} // namespace

fs::path pathFromUtf8(std::string_view utf8)
{
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string utf8FromPath(const fs::path& path)
{
    const std::u8string u = path.u8string();
    return std::string(u.begin(), u.end());
}

fs::path changeExtension(const fs::path& path, std::string_view extension)
{
    fs::path out = path;
    out.replace_extension(pathFromUtf8(extension));
    return out;
}

fs::path folderOf(const fs::path& path)
{
    return path.parent_path();
}

namespace {

// `utf8` with every character `unwanted` says no to, and every byte that is
// no UTF-8, as `replacement`. `unwanted` sees the sequence of `n` bytes at
// `i` (n is 0 for a broken one).
template <class Unwanted>
std::string replaced(std::string_view utf8, char replacement, Unwanted unwanted)
{
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const size_t n = utf8SequenceAt(utf8, i);
        if (n == 0 || unwanted(i, n)) {
            out += replacement;
            i += n ? n : 1;
        } else {
            out.append(utf8.substr(i, n));
            i += n;
        }
    }
    return out;
}

} // namespace

std::string safeFileName(std::string_view utf8)
{
    std::string out = replaced(utf8, '_', [&](size_t i, size_t) {
        const auto c = uint8_t(utf8[i]);
        return c < 0x20 || c == 0x7F || kForbidden.find(char(c)) != std::string_view::npos;
    });
    out = trimDotsAndBlanks(out);
    if (out.size() > kMaxNameBytes) {
        auto [stem, ext] = splitExtension(out);
        if (ext.size() > 16) {
            stem = out;
            ext.clear();
        }
        size_t keep = std::min(stem.size(), kMaxNameBytes - ext.size());
        while (keep > 0 && keep < stem.size() && (uint8_t(stem[keep]) & 0xC0) == 0x80)
            --keep;
        out = trimDotsAndBlanks(stem.substr(0, keep) + ext);
    }
    if (out.empty())
        return "_";
    if (isReservedDeviceName(out)) {
        auto [stem, ext] = splitExtension(out);
        out = stem + "_" + ext;
    }
    return out;
}

std::string performanceFileName(int category, std::string_view name8)
{
    return safeFileName(cp1252ToUtf8(categoryAbbrev(category) + "_" + trimBlanks(name8)) + ".SYX");
}

std::string DistinctNames::claim(const std::string& utf8Name)
{
    std::string folded = foldCase(utf8Name);
    if (taken_.insert(folded).second)
        return utf8Name;
    const auto [stem, ext] = splitExtension(utf8Name);
    int& k = next_.try_emplace(std::move(folded), 2).first->second;
    for (;; ++k) {
        std::string candidate = stem + " (" + std::to_string(k) + ")" + ext;
        if (taken_.insert(foldCase(candidate)).second) {
            ++k;
            return candidate;
        }
    }
}

std::string terminalText(std::string_view utf8)
{
    return replaced(utf8, '?', [&](size_t i, size_t n) {
        const auto c = uint8_t(utf8[i]);
        const bool c1 = n == 2 && c == 0xC2 && uint8_t(utf8[i + 1]) < 0xA0;
        return c < 0x20 || c == 0x7F || c1;
    });
}

bool nameTaken(const std::filesystem::path& path)
{
    std::error_code ec;
    return std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found;
}

std::filesystem::path freeNameBeside(const std::filesystem::path& path)
{
    const std::filesystem::path stem = path.stem();
    const std::filesystem::path ext = path.extension();
    for (int k = 2;; ++k) {
        std::filesystem::path candidate = path.parent_path() / stem;
        candidate += " (" + std::to_string(k) + ")";
        candidate += ext;
        if (!nameTaken(candidate))
            return candidate;
    }
}

std::filesystem::path claimInFolder(DistinctNames& names, const std::filesystem::path& folder,
                                    const std::string& utf8Name, bool passTaken)
{
    for (;;) {
        std::filesystem::path path = folder / pathFromUtf8(names.claim(utf8Name));
        std::error_code ec;
        const auto type = std::filesystem::symlink_status(path, ec).type();
        if (type == std::filesystem::file_type::symlink
            || (passTaken && type != std::filesystem::file_type::not_found))
            continue;
        return path;
    }
}

std::string foldCase(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const size_t n = utf8SequenceAt(utf8, i);
        if (n == 0) {
            out += utf8[i++];
            continue;
        }
        char32_t c = uint8_t(utf8[i]) & (n == 1 ? 0x7F : n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
        for (size_t k = 1; k < n; ++k)
            c = (c << 6) | (uint8_t(utf8[i + k]) & 0x3F);
        i += n;
        out += toUtf8(lowerLetter(c));
    }
    return out;
}

} // namespace kw
