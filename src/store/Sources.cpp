#include "store/Sources.h"

#include "files/FilePaths.h"
#include "files/LocalTime.h"
#include "files/PerformanceRecord.h"

#include <cstdlib>

namespace fs = std::filesystem;

namespace kw {

Source Source::file(const fs::path& file)
{
    std::error_code ec;
    fs::path abs = fs::absolute(file, ec);
    Source s;
    s.kind = Kind::File;
    s.path = utf8FromPath((ec ? file : abs).lexically_normal());
    return s;
}

Source Source::synthUser(int number)
{
    Source s;
    s.kind = Kind::SynthUser;
    s.number = number;
    return s;
}

Source Source::editor()
{
    Source s;
    s.kind = Kind::Editor;
    return s;
}

Source Source::synthEdit()
{
    Source s;
    s.kind = Kind::SynthEdit;
    return s;
}

std::string Source::label() const
{
    return sourceLabel(int(kind), sourceText(*this));
}

std::string Source::folder() const
{
    return kind == Kind::File ? utf8FromPath(folderOf(pathFromUtf8(path))) : std::string();
}

std::string sourceText(const Source& s)
{
    switch (s.kind) {
    case Source::Kind::File: return s.path;
    case Source::Kind::SynthUser: return entryNumber(s.number);
    case Source::Kind::Editor:
    case Source::Kind::SynthEdit: return {};
    }
    return {};
}

std::string sourceLabel(int kind, const std::string& text)
{
    switch (Source::Kind(kind)) {
    case Source::Kind::File: return text;
    case Source::Kind::SynthUser: return "CS1x user " + text;
    case Source::Kind::Editor: return "Kept from the editor";
    case Source::Kind::SynthEdit: return "CS1x edit buffer";
    }
    return text;
}

std::string ImportInfo::label() const
{
    return what + " (" + dateText(started) + ")";
}

std::string dateText(int64_t seconds)
{
    return localTimeText(seconds, "%Y-%m-%d %H:%M");
}

fs::path defaultLibraryPath()
{
    // As QStandardPaths takes it (a relative value too), so the library
    // lies beside the editor's other files whatever the environment says.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    fs::path base;
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home && *home ? home : "/") / ".local/share";
    }
    return base / "Knobwright" / "library.sqlite";
}

} // namespace kw
