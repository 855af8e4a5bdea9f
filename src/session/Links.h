#pragma once
// How the program wires its parts together, kept apart from the parts
// themselves so that each can be built and tested alone: the edit session to
// the receiving core, and the library keeper to the commands.

#include <functional>

namespace kw {

struct CommandContext;
class EditSession;
class LibraryKeeper;
class MidiCore;

// Links the session to the receiving core as the program runs them: a
// switch fetches through the core's receiver and shows its texts through the
// core's status line, and a program change from the synth (followed while
// `inputOpen` says the input port is open) switches the session.
void linkToCore(EditSession& session, MidiCore& core, std::function<bool()> inputOpen);

// Wires `keeper` into the commands as the program runs them: every command
// of `ctx` keeps through it, every performance fetched is kept, and every
// line of the list that changes is written.
void linkKeeper(LibraryKeeper& keeper, CommandContext& ctx);

} // namespace kw
