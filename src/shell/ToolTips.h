#pragma once
// The "Show hints" setting: tool tips of the whole application on or off.

namespace kw {

// Takes effect at once for every widget, existing or created later.
void setToolTipsShown(bool shown);
bool toolTipsShown();

} // namespace kw
