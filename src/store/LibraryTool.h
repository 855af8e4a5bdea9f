#pragma once
// knobwright-files library import | search | export: the library for
// scripts, with the tool's messages and exit statuses.

#include "files/FilesTool.h"

namespace kw {

// `call.args` begin with the subcommand. The library is `call.library`, or
// defaultLibraryPath() when that is empty.
int runLibraryCommand(const ToolCall& call);

} // namespace kw
