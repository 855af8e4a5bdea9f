#include "session/library/ReplaceGuard.h"

#include "files/PerformanceRecord.h"
#include "midi/Receiver.h"
#include "model/Settings.h"
#include "model/NameTables.h"
#include "session/CommandContext.h"
#include "session/Dialogs.h"
#include "session/library/LibraryKeeper.h"
#include "session/Transfers.h"
#include "session/UserPerfNames.h"
#include "store/PerformanceData.h"

#include <algorithm>
#include <optional>
#include <set>

namespace kw {

namespace {

// "006", "061-063", "001, 005-007 and 128".
std::string numbersText(std::span<const int> numbers)
{
    const std::set<int> wanted(numbers.begin(), numbers.end());
    std::vector<std::string> runs;
    for (auto it = wanted.begin(); it != wanted.end();) {
        const int first = *it;
        int last = first;
        while (++it != wanted.end() && *it == last + 1)
            last = *it;
        runs.push_back(first == last ? entryNumber(first) : entryNumber(first) + "-" + entryNumber(last));
    }
    std::string list;
    for (size_t i = 0; i < runs.size(); ++i)
        list += (i == 0 ? "" : i + 1 == runs.size() ? " and " : ", ") + runs[i];
    return list;
}

// Why no backup can be offered, or nothing when one can.
std::optional<std::string> whyNoBackup(CommandContext& ctx)
{
    Store* store = ctx.keeper ? ctx.keeper->store() : nullptr;
    if (!store)
        return "the performance library cannot be opened";
    if (store->readOnly())
        return "the performance library cannot be written";
    if (!ctx.bothPortsOpen())
        return "the CS1x's answers cannot come in (no MIDI input)";
    return std::nullopt;
}

// What the user is told of the memories, by how they stand.
std::string standing(const MemoryCheck& c, size_t all)
{
    std::vector<std::string> lines;
    auto hold = [](size_t n) { return n == 1 ? std::string(" holds") : std::string(" hold"); };
    if (!c.unseen.empty())
        lines.push_back("The editor has not seen what " + (c.unseen.size() == all && all > 1 ? std::string("they")
                                                                                            : numbersText(c.unseen))
                        + hold(c.unseen.size() == all && all > 1 ? 2 : c.unseen.size())
                        + " since it found the CS1x.");
    if (!c.notHeld.empty())
        lines.push_back("The library does not hold what " + numbersText(c.notHeld)
                        + " held when the editor last saw " + (c.notHeld.size() == 1 ? "it." : "them."));
    if (c.unseen.empty() && c.notHeld.empty())
        lines.push_back(std::string("The library holds what ") + (all == 1 ? "it" : "they")
                        + " held when the editor last saw " + (all == 1 ? "it" : "them")
                        + "; a store on the CS1x's own panel since then cannot be seen.");
    std::string text;
    for (const std::string& l : lines)
        text += "\n" + l;
    return text;
}

} // namespace

std::string replaceQuestion(std::span<const int> numbers)
{
    const bool one = std::set<int>(numbers.begin(), numbers.end()).size() == 1;
    return std::string("Replace user performance") + (one ? " " : "s ") + numbersText(numbers) + " in the CS1x?";
}

MemoryCheck checkMemories(CommandContext& ctx, std::span<const int> numbers)
{
    const std::set<int> wanted(numbers.begin(), numbers.end());
    Store* store = ctx.keeper ? ctx.keeper->store() : nullptr;
    MemoryCheck c;
    for (int n : wanted) {
        const SynthMemory::Known* known = ctx.keeper ? ctx.keeper->synthMemory().known(n) : nullptr;
        if (!known) {
            c.unseen.push_back(n);
            continue;
        }
        // A memory whose first byte is 0 holds nothing that could be lost.
        bool held = known->data[kDataNameOffset] == 0;
        if (!held && store)
            if (auto id = store->find(known->data))
                held = id->has_value();
        (held ? c.held : c.notHeld).push_back(n);
    }
    return c;
}

std::string backupTimeText(size_t performances, int pauseMs)
{
    // Seven requests of 8 bytes and seven replies of 317 bytes in all, on a
    // MIDI cable (320 us a byte), each reply followed by the pause.
    const long long ms = (long long)(performances) * (7LL * pauseMs + (7LL * 8 + 317) * 320 / 1000);
    const long long minutes = (ms + 59999) / 60000;
    return "about " + (ms < 60000 ? std::to_string((ms + 999) / 1000) + " s" : std::to_string(minutes) + " min");
}

void replaceUserPerformances(CommandContext& ctx, std::vector<int> numbers, std::function<void()> send)
{
    if (numbers.empty()) {
        send();  // replaces nothing, and says so
        return;
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::string text = replaceQuestion(numbers);
    if (!ctx.keeper) {
        if (ctx.dialogs.choose(kReplaceCaption, text, {kReplace, kDontReplace}) == 0)
            send();
        return;
    }
    const MemoryCheck check = checkMemories(ctx, numbers);
    text += standing(check, numbers.size());
    if (const auto why = whyNoBackup(ctx)) {
        text += "\nNo backup is possible: " + *why + ".";
        if (ctx.dialogs.choose(kReplaceCaption, text, {kReplace, kDontReplace}) == 0)
            send();
        return;
    }
    text += "\nBacking up reads " + std::string(numbers.size() == 1 ? "it" : "all of them")
            + " into the library first (" + backupTimeText(numbers.size(), ctx.settings.transferPause()) + ").";
    switch (ctx.dialogs.choose(kReplaceCaption, text, {kBackUpFirst, kReplace, kDontReplace})) {
    case 0: {
        ToDiskTransfer::Output out;
        out.library = ctx.keeper;
        auto backup = std::make_unique<ToDiskTransfer>(std::move(out), std::move(numbers), ctx.dialogs);
        backup->whenDone([send = std::move(send)](Receiver&) { send(); });
        ctx.rx.startChain(std::move(backup));
        break;
    }
    case 1: send(); break;
    default: break;
    }
}

} // namespace kw
