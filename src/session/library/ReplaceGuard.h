#pragma once
// Before performances in the synth's user memory are replaced: the user is
// asked, and offered to back them up into the library first. What a memory
// holds is judged by the content the editor read or wrote there since it
// found the synth, never by a name; and as a store on the synth's panel is
// never seen, the backup is offered even when the library holds all of that,
// with the reason. It reads every memory about to be replaced and keeps
// what the library lacks. A backup that does not finish sends nothing.

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace kw {

struct CommandContext;

inline constexpr const char* kReplaceCaption = "Replace user performances";
inline constexpr const char* kBackUpFirst = "Back up first";
inline constexpr const char* kReplace = "Replace";
inline constexpr const char* kDontReplace = "Cancel";

// "Replace user performance 061 in the CS1x?", "Replace user performances
// 061-063 in the CS1x?", "... 001, 005-007 and 128 ...". `numbers` 0..127,
// in any order, repeats allowed.
std::string replaceQuestion(std::span<const int> numbers);

// How the user performances about to be replaced stand, each once, in
// order.
struct MemoryCheck {
    // Neither read nor written by the editor since it found the synth.
    std::vector<int> unseen;
    // Seen since, holding what the library lacks.
    std::vector<int> notHeld;
    // Seen since, holding what the library holds (or nothing).
    std::vector<int> held;
};
MemoryCheck checkMemories(CommandContext& ctx, std::span<const int> numbers);

// About how long reading `performances` from the synth takes with the
// transfer pause of `pauseMs`: "about 25 s".
std::string backupTimeText(size_t performances, int pauseMs);

// Asks before `send` replaces user performances `numbers`; runs `send` when
// the user agrees, after the backup when one was asked for and all of it
// came in. Nothing runs when the user backs out.
void replaceUserPerformances(CommandContext& ctx, std::vector<int> numbers, std::function<void()> send);

} // namespace kw
