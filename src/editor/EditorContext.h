#pragma once
// What every page of the editor works with: the edit session (the image, the
// editor state and the one path every edit takes), the dialogs, and the
// bindings of all the window's controls. One instance lives for the whole run.

#include "editor/Bindings.h"
#include "session/EditSession.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace kw {

class Dialogs;

struct EditorContext {
    EditSession& session;
    Dialogs& dialogs;
    pagekit::Bindings bindings{};
    // Run by the window as it is made, once the start-up performance is in
    // the image and before the first full refresh: the names file named by
    // `AktPerfList` is loaded here.
    std::function<void()> beforeFirstRefresh{};
    // Asked when the user closes the window (and so ends the program):
    // false keeps it open.
    std::function<bool()> mayQuit{};
    // Entries of the performance library dropped on the window: the first
    // becomes the edited performance. None: the window takes no drops.
    std::function<void(const std::vector<int64_t>& ids)> openFromLibrary{};

    PerformanceImage& image() { return session.image(); }
    EditorState& state() { return session.state(); }
};

} // namespace kw
