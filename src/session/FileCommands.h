#pragma once
// The File menu's commands: the edited performance to and from a .SYX file,
// and the user-performance list to and from a names file.

#include "session/CommandContext.h"

namespace kw {

class LibraryKeeper;
class UserPerfNames;

class FileCommands {
public:
    explicit FileCommands(CommandContext& ctx) : ctx_(ctx) {}

    // File › Save › "Actual Performance": the image as one performance file,
    // addressed to the selected user performance (0 when none is).
    void MenuFileSaveActPerfClick();
    // File › Open › "Actual Performance": a performance file into the image
    // and out to the synth's edit buffer, block by block with the transfer
    // pause between them, then every control set from the image.
    void MenuFileOpenActPerfClick();
    // File › Save / Open › "Performance-names": the list to and from a
    // names file, which `AktPerfList` then names.
    void MenuFileSavePerfNamesClick();
    void MenuFileOpenPerfNamesClick();

private:
    CommandContext& ctx_;
};

// `record` into the image and out to the synth's edit buffer, block by
// block with the transfer pause between them, then every control set from
// the image: the editor shows a performance from outside the synth.
void loadIntoEditor(CommandContext& ctx, const PerformanceRecord& record);

// The names file that `AktPerfList` names, into the list (at start-up, as
// the window is made). One that cannot be read is reported and the list
// keeps its lines.
// With a library that kept the list's lines, those instead: the list as it
// stood when the program last ended.
void loadNamesAtStart(UserPerfNames& names, const std::string& aktPerfList, Dialogs& dialogs,
                      LibraryKeeper* keeper = nullptr);

} // namespace kw
