#pragma once
#include <QApplication>
#include <QMessageBox>

#include <vector>

namespace kwtest {

// The message boxes on screen now, modal or not.
inline std::vector<QMessageBox*> shownBoxes()
{
    std::vector<QMessageBox*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
            out.push_back(b);
    return out;
}

} // namespace kwtest
