#include "session/XgSession.h"

#include "midi/Senders.h"
#include "model/NameTables.h"

namespace kw {

bool XgSession::editable(const xg::Param& p) const
{
    if (multi_)
        return true;
    return p.row->table != xg::Table::Effect && !(p.row->table == xg::Table::Part && p.part < 4);
}

void XgSession::put(const xg::Param& p, int value)
{
    memory_.set(p, value);
    // A send that does not go out is told by the senders; the copy keeps
    // the edit, as the performance image keeps one made with no output open.
    senders_.xgParameterChange(p, value);
}

XgSession::Outcome XgSession::apply(const xg::Param& p, int value)
{
    if (!p.row || p.row->command || !p.row->takes(value))
        return Outcome::NotTaken;
    if (!editable(p))
        return Outcome::NotInMode;
    const int before = memory_.value(p);
    if (before == value)
        return Outcome::Unchanged;
    put(p, value);
    history_.record(Step{p, before, value});
    return Outcome::Done;
}

std::string XgSession::stepText(const Step* s)
{
    if (!s)
        return {};
    const xg::Param& p = s->param;
    switch (p.row->table) {
    case xg::Table::Part: return std::string(p.row->name) + " (Part " + std::to_string(p.part + 1) + ")";
    case xg::Table::Drum:
        return std::string(p.row->name) + " (Drum Setup " + std::to_string(p.setup + 1) + " " + noteName(p.note) + ")";
    default: return p.row->name;
    }
}

std::string XgSession::undoText() const { return stepText(history_.toUndo()); }
std::string XgSession::redoText() const { return stepText(history_.toRedo()); }

void XgSession::undo()
{
    const Step* s = history_.toUndo();
    if (!s)
        return;
    put(s->param, s->before);
    history_.undone();
}

void XgSession::redo()
{
    const Step* s = history_.toRedo();
    if (!s)
        return;
    put(s->param, s->after);
    history_.redone();
}

xg::ReplyCheck XgSession::takeReply(const xg::Param& asked, ByteView message)
{
    return xg::takeReply(memory_, asked, message);
}

} // namespace kw
