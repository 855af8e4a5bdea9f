#pragma once
// Before performances in the synth's user memory are replaced: the user is
// asked, and when the library does not hold what those memories hold now
// (as far as the list's names tell), offered to back them up into the
// library first. A backup that does not finish sends nothing.

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

// The user performances among `numbers` whose list line names a performance
// the library does not hold (by name and category), in order, each once.
std::vector<int> notInLibrary(CommandContext& ctx, std::span<const int> numbers);

// Asks before `send` replaces user performances `numbers`; runs `send` when
// the user agrees, after the backup when one was asked for and all of it
// came in. Nothing runs when the user backs out.
void replaceUserPerformances(CommandContext& ctx, std::vector<int> numbers, std::function<void()> send);

} // namespace kw
