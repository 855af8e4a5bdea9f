#include "session/library/LibraryEdits.h"

#include "files/FileCheck.h"
#include "model/FieldTable.h"

#include <span>

namespace kw {

namespace {

std::string plural(size_t n)
{
    return groupedNumber(n) + (n == 1 ? " performance" : " performances");
}

// What the Undo button calls a change: by the field it set.
std::string editWords(const RowEdit& e, size_t rows)
{
    if (e.name && rows == 1)
        return "rename";
    const char* field = e.name       ? "rename"
                        : e.category ? "category"
                        : e.rating   ? "rating"
                        : e.favourite ? "favourite"
                        : e.tags     ? "tags"
                        : e.notes    ? "notes"
                                     : "change";
    return std::string(field) + " of " + plural(rows);
}

// The fields `edit` sets, as `row` had them.
RowEdit asBefore(const RowEdit& edit, const LibraryRow& row)
{
    RowEdit back;
    if (edit.name)
        back.name = row.name;
    if (edit.category)
        back.category = row.category;
    if (edit.favourite)
        back.favourite = row.favourite;
    if (edit.rating)
        back.rating = row.rating;
    if (edit.tags)
        back.tags = row.tags;
    if (edit.notes)
        back.notes = row.notes;
    return back;
}

} // namespace

LibraryEdits::LibraryEdits(std::function<Store*()> store, std::function<void()> changed)
    : store_(std::move(store)), changed_(std::move(changed))
{
}

bool LibraryEdits::writable()
{
    Store* s = store_();
    return s && !s->readOnly();
}

std::string LibraryEdits::undoText() const
{
    const LibraryStep* step = history_.toUndo();
    return step ? step->what : std::string();
}

std::string LibraryEdits::redoText() const
{
    const LibraryStep* step = history_.toRedo();
    return step ? step->what : std::string();
}

LibraryEdits::Outcome LibraryEdits::record(LibraryStep step)
{
    Outcome done{true, {}, step.ids};
    history_.record(std::move(step));
    return done;
}

LibraryEdits::Outcome LibraryEdits::remove(const std::vector<int64_t>& ids)
{
    Store* s = store_();
    if (!s || ids.empty())
        return {};
    if (auto e = s->remove(ids))
        return {false, "Not deleted: " + e->text, {}};
    LibraryStep step;
    step.what = "delete of " + plural(ids.size());
    step.ids = ids;
    step.removal = true;
    Outcome done = record(std::move(step));
    done.removed = true;
    if (changed_)
        changed_();
    return done;
}

LibraryEdits::Outcome LibraryEdits::edit(const std::vector<int64_t>& ids, const RowEdit& edit)
{
    Store* s = store_();
    if (!s || ids.empty())
        return {};
    auto before = s->rows(ids);
    if (!before)
        return {false, "Not changed: " + before.error().text, {}};
    if (auto e = s->edit(ids, edit))
        return {false, "Not changed: " + e->text, {}};
    LibraryStep step;
    step.what = editWords(edit, ids.size());
    step.ids = ids;
    step.edit = edit;
    step.before = std::move(*before);
    return record(std::move(step));
}

LibraryEdits::Outcome LibraryEdits::rename(int64_t id, const std::string& name)
{
    if (!perfName::fits(name))
        return {false, std::string("Not changed: ") + kNameRule, {}};
    RowEdit e;
    e.name = name;
    return edit({id}, e);
}

StoreStatus LibraryEdits::apply(Store& s, const LibraryStep& step, bool back)
{
    if (step.removal)
        return back ? s.restore(step.ids) : s.remove(step.ids);
    if (!back)
        return s.edit(step.ids, step.edit);
    // Each row had fields of its own: one edit per row, all or none kept.
    if (StoreStatus failed = s.begin())
        return failed;
    for (const LibraryRow& r : step.before) {
        const int64_t id = r.id;
        if (StoreStatus failed = s.edit(std::span<const int64_t>(&id, 1), asBefore(step.edit, r))) {
            s.rollback();
            return failed;
        }
    }
    return s.commit();
}

LibraryEdits::Outcome LibraryEdits::undo()
{
    Store* s = store_();
    const LibraryStep* step = history_.toUndo();
    if (!s || !step)
        return {};
    if (StoreStatus failed = apply(*s, *step, true))
        return {false, "Undo failed: " + failed->text, {}};
    Outcome done{true, {}, step->ids};
    history_.undone();
    if (changed_)
        changed_();
    return done;
}

LibraryEdits::Outcome LibraryEdits::redo()
{
    Store* s = store_();
    const LibraryStep* step = history_.toRedo();
    if (!s || !step)
        return {};
    if (StoreStatus failed = apply(*s, *step, false))
        return {false, "Redo failed: " + failed->text, {}};
    Outcome done{true, {}, step->ids, step->removal};
    history_.redone();
    if (changed_)
        changed_();
    return done;
}

} // namespace kw
