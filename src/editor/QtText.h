#pragma once
// Text between the layers below, which speak UTF-8 std::string, and the
// widgets, which speak QString.

#include <QString>

#include <string>

namespace kw {

inline QString qs(const std::string& utf8) { return QString::fromStdString(utf8); }
inline std::string utf8(const QString& text) { return text.toStdString(); }

} // namespace kw
