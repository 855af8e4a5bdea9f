#pragma once
#include <Qt>

namespace kw {

// A fixed-size dialog with a caption and only the system menu: no help
// button, no resizing.
inline constexpr Qt::WindowFlags kFixedDialogFlags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint
                                                     | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                                                     | Qt::WindowCloseButtonHint;

} // namespace kw
