#include "session/UserPerfNames.h"

#include "files/PerformanceRecord.h"
#include "model/Cp1252.h"
#include "model/NameTables.h"
#include "model/UserPerfList.h"

namespace kw {

UserPerfNames::UserPerfNames()
{
    const auto& builtIn = builtInUserPerfLines();
    std::copy(builtIn.begin(), builtIn.end(), lines_.begin());
}

std::vector<std::string> UserPerfNames::utf8Lines() const
{
    std::vector<std::string> out;
    out.reserve(lines_.size());
    for (const std::string& line : lines_)
        out.push_back(cp1252ToUtf8(line));
    return out;
}

void UserPerfNames::set(int index, std::string text)
{
    if (index < 0 || index >= int(lines_.size()))
        return;
    lines_[size_t(index)] = std::move(text);
    if (changed_)
        changed_(index);
    // Every line set is one seen, even when it reads as before: a line
    // received just as the built-in list has it is still what the synth
    // holds, and the library must know it to give it back at the next start.
    if (watcher_)
        watcher_(index);
}

void UserPerfNames::setAll(const NameLines& lines)
{
    for (size_t i = 0; i < lines.size(); ++i)
        set(int(i), lines[i]);
}

std::string receivedNameEntry(int index, int category, std::string_view name8)
{
    return numberedEntry(index, categoryAbbrev(category) + " " + std::string(name8)).substr(0, 16);
}

std::string storedEntry(int index, int category, std::string_view name8)
{
    return numberedEntry(index, categoryAbbrev(category) + " " + trimBlanks(name8));
}

} // namespace kw
