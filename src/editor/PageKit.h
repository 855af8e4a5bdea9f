#pragma once
// Small building blocks shared by the common pages: a captioned vertical
// track bar with its value label, a track bar bound to one field row, and
// list boxes whose choice handler runs on every user pick.

#include "editor/EditorContext.h"
#include "model/FieldTable.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>

class QLabel;
class QListWidget;
class QSlider;
class QWidget;

namespace kw::pagekit {

// Minimum at the top, a tick per step, as every level bar of the editor.
// Looks of every vertical bar in the editor: the stored value grows toward
// the top, so the filled part of the groove is the one below the handle.
void styleVerticalBar(QSlider* bar);
QSlider* verticalBar(const QString& name, int min, int max, QWidget* parent);

// Caption above, bar in the middle, value label (`Label_` + name) below.
struct Column {
    QWidget* widget = nullptr;
    QLabel* caption = nullptr;
    QSlider* bar = nullptr;
    QLabel* value = nullptr;
};
Column column(const QString& name, const QString& caption, int min, int max, QWidget* parent,
              const QString& hint = {});

// A bar that edits the byte of one field row: writes the image, sets its
// label, then sends the one-byte parameter change. `tab` picks the assign
// bank for rows that have one.
class FieldBar : public QObject {
public:
    FieldBar(EditorContext& ctx, const FieldRow& row, const QString& caption, QWidget* parent,
             const QString& hint = {}, std::function<int()> tab = {});
    // From the image; runs no handler and sends nothing.
    void refresh();
    QWidget* widget() const { return col_.widget; }
    QSlider* bar() const { return col_.bar; }
    QLabel* label() const { return col_.value; }

private:
    void changed(int position);
    uint8_t& byte();

    EditorContext& ctx_;
    const FieldRow& row_;
    Column col_;
    std::function<int()> tab_;
};

// The row named `control`; a missing row is a programming error caught at start.
const FieldRow& row(const char* control);

// Calls `handler(row)` whenever the user picks an entry, with the mouse or
// the keyboard, also when it is the entry already selected. Entries set by
// the program (under a QSignalBlocker) never reach it.
void onChoice(QListWidget* list, std::function<void(int)> handler);
// Selects entry `index` and scrolls it to the top; an index outside the
// list shows no selection. Runs no handler.
void selectAtTop(QListWidget* list, int index);
QListWidget* listBox(const QString& name, const char* const* items, int count, QWidget* parent,
                     const QString& hint = {});

// The user's decimal separator, for the labels that follow the locale.
std::string decimalSeparator();
inline QString text(const std::string& s) { return QString::fromStdString(s); }

// Writes a one-byte field of a common block from a control position, then
// sends it as a parameter change read back from the image.
void storeAndSend(EditorContext& ctx, const FieldRow& row, int position, int tab = 0);

// Sends a parameter change to common block 00/30/50 (address 60 00 xx).
void sendCommon(EditorContext& ctx, uint8_t addressLow, uint8_t value);
void sendCommon2(EditorContext& ctx, uint8_t addressLow, uint8_t first, uint8_t second);

// Clears the send-enable flag for its lifetime and sets it at the end, as
// every refresh does.
class SendPause {
public:
    explicit SendPause(EditorState& st) : st_(st) { st_.sendEnable = false; }
    ~SendPause() { st_.sendEnable = true; }
    SendPause(const SendPause&) = delete;
    SendPause& operator=(const SendPause&) = delete;

private:
    EditorState& st_;
};

} // namespace kw::pagekit
