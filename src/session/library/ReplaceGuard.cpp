#include "session/library/ReplaceGuard.h"

#include "files/PerformanceRecord.h"
#include "midi/Receiver.h"
#include "model/Cp1252.h"
#include "model/NameTables.h"
#include "session/CommandContext.h"
#include "session/Dialogs.h"
#include "session/library/LibraryKeeper.h"
#include "session/Transfers.h"
#include "session/UserPerfNames.h"

#include <algorithm>
#include <set>

namespace kw {

std::string replaceQuestion(std::span<const int> numbers)
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
    const bool one = wanted.size() == 1;
    return std::string("Replace user performance") + (one ? " " : "s ") + list + " in the CS1x?";
}

std::vector<int> notInLibrary(CommandContext& ctx, std::span<const int> numbers)
{
    const std::set<int> wanted(numbers.begin(), numbers.end());
    Store* store = ctx.keeper ? ctx.keeper->store() : nullptr;
    std::vector<int> missing;
    for (int n : wanted) {
        const auto listed = listedName(ctx.names().entry(n));
        if (!listed)
            continue;  // an empty line names nothing that could be lost
        bool held = false;
        if (store) {
            const std::string name = cp1252ToUtf8(listed->name);
            if (auto ids = store->match(name, {})) {
                const size_t n = std::min<size_t>(ids->size(), 64);
                if (auto rows = store->rows(std::span<const int64_t>(ids->data(), n)))
                    held = std::any_of(rows->begin(), rows->end(), [&](const LibraryRow& r) {
                        return r.name == name && trimBlanks(categoryAbbrev(r.category)) == listed->category;
                    });
            }
        }
        if (!held)
            missing.push_back(n);
    }
    return missing;
}

void replaceUserPerformances(CommandContext& ctx, std::vector<int> numbers, std::function<void()> send)
{
    if (numbers.empty()) {
        send();  // replaces nothing, and says so
        return;
    }
    const std::string question = replaceQuestion(numbers);
    const std::vector<int> missing = notInLibrary(ctx, numbers);
    // A backup needs the library and the synth's answers.
    const bool canBackUp = !missing.empty() && ctx.keeper && ctx.keeper->store() && !ctx.keeper->store()->readOnly()
                           && ctx.bothPortsOpen();
    if (!canBackUp) {
        if (ctx.dialogs.choose(kReplaceCaption, question, {kReplace, kDontReplace}) == 0)
            send();
        return;
    }
    const std::string text = question + "\nThe library does not hold what "
                             + (missing.size() == 1 ? "user performance " + entryNumber(missing.front()) + " holds"
                                                    : std::string("some of them hold"))
                             + " now.";
    switch (ctx.dialogs.choose(kReplaceCaption, text, {kBackUpFirst, kReplace, kDontReplace})) {
    case 0: {
        ToDiskTransfer::Output out;
        out.library = ctx.keeper;
        auto backup = std::make_unique<ToDiskTransfer>(std::move(out), missing.front(), missing.back(), ctx.dialogs);
        backup->whenDone([send = std::move(send)](Receiver&) { send(); });
        ctx.rx.startChain(std::move(backup));
        break;
    }
    case 1: send(); break;
    default: break;
    }
}

} // namespace kw
