#include "session/library/LibraryEdits.h"

#include "files/FileCheck.h"
#include "files/FilePaths.h"
#include "model/FieldTable.h"

#include <algorithm>
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
                        : e.tags || !e.addTags.empty() || !e.removeTags.empty() ? "tags"
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
    // Tags put on or taken off: each row's own come back whole.
    if (edit.tags || !edit.addTags.empty() || !edit.removeTags.empty())
        back.tags = row.tags;
    if (edit.notes)
        back.notes = row.notes;
    return back;
}

} // namespace

void SharedFields::add(const LibraryRow& row)
{
    const auto same = [this](auto& shared, const auto& value) {
        if (rows == 0)
            shared = value;
        else if (shared && *shared != value)
            shared.reset();
    };
    same(category, row.category);
    same(rating, row.rating);
    same(favourite, row.favourite);
    same(notes, row.notes);
    const auto has = [](const std::vector<std::string>& tags, const std::string& folded) {
        return std::any_of(tags.begin(), tags.end(), [&](const std::string& t) { return foldCase(t) == folded; });
    };
    if (rows == 0) {
        tags = row.tags;
    } else {
        // What this row lacks is on some rows only; what it adds too.
        for (auto t = tags.begin(); t != tags.end();) {
            if (has(row.tags, foldCase(*t))) {
                ++t;
            } else {
                someTags.push_back(*t);
                t = tags.erase(t);
            }
        }
        for (const std::string& t : row.tags)
            if (!has(tags, foldCase(t)) && !has(someTags, foldCase(t)))
                someTags.push_back(t);
    }
    ++rows;
}

std::string SharedFields::tagText() const
{
    std::string text;
    for (const std::string& t : tags)
        text += (text.empty() ? "" : ", ") + t;
    for (const std::string& t : someTags)
        text += (text.empty() ? "" : ", ") + t + kSomeMark;
    return text;
}

RowEdit SharedFields::tagsTyped(const std::string& text) const
{
    std::vector<std::string> typed;  // as they are to be on every row
    std::vector<std::string> left;   // marked ones left marked, folded
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find(',', start), text.size());
        std::string t = trimBlanks(text.substr(start, end - start));
        start = end + 1;
        if (t.empty())
            continue;
        if (t.back() == kSomeMark) {
            const std::string folded = foldCase(trimBlanks(t.substr(0, t.size() - 1)));
            if (std::any_of(someTags.begin(), someTags.end(),
                            [&](const std::string& s) { return foldCase(s) == folded; })) {
                left.push_back(folded);
                continue;
            }
        }
        typed.push_back(std::move(t));
    }
    const auto typedFolded = [&](const std::string& t) {
        return std::any_of(typed.begin(), typed.end(), [&](const std::string& x) { return foldCase(x) == foldCase(t); });
    };
    RowEdit e;
    // A shared tag typed otherwise (another letter case) is taken off and
    // put on again as typed.
    for (const std::string& t : tags)
        if (std::find(typed.begin(), typed.end(), t) == typed.end())
            e.removeTags.push_back(t);
    for (const std::string& t : someTags)
        if (!typedFolded(t) && std::find(left.begin(), left.end(), foldCase(t)) == left.end())
            e.removeTags.push_back(t);
    for (const std::string& t : typed)
        if (std::find(tags.begin(), tags.end(), t) == tags.end())
            e.addTags.push_back(t);
    return e;
}

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
