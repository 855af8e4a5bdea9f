#pragma once
// A history of undoable steps: the ones done, newest last, and the ones
// undone that a redo takes back. What a step holds and how it is undone is
// the owner's business; the history keeps them in order, merges a step into
// the newest one until that one is sealed (the user's gesture has ended),
// and forgets the oldest ones beyond its limits.
//
// A Step is default-constructible (an empty place in the ring) and provides:
//   bool mergeWith(const Step& next)  takes `next` into itself when both
//                                     change the same thing; false otherwise
//   bool empty() const                changes nothing (after a merge that
//                                     went back to the start)
//   size_t bytes() const              what it occupies, for the byte limit
//
// The steps live in a ring that grows up to the step limit and is then
// reused: once full, an edit costs no allocation for its place, and the
// oldest step simply gives its place to the newest.

#include <algorithm>
#include <cstddef>
#include <limits>
#include <utility>
#include <vector>

namespace kw {

template <class Step>
class History {
public:
    explicit History(size_t maxSteps, size_t maxBytes = std::numeric_limits<size_t>::max())
        : maxSteps_(maxSteps), maxBytes_(maxBytes)
    {
    }

    // A step done just now. It joins the newest step if that one is still
    // open and takes it; a step that changes nothing is dropped. Otherwise
    // the steps undone before it can no longer be redone. True when the
    // step to undo is another one now.
    bool record(Step&& step)
    {
        if (open_ && done_ > 0 && done_ == count_) {
            Step& last = at(count_ - 1);
            const size_t before = last.bytes();
            if (last.mergeWith(step)) {
                bytes_ = bytes_ - before + last.bytes();
                if (last.empty()) {
                    // Back where it began: nothing to undo, and nothing
                    // older may take what the gesture does next.
                    bytes_ -= last.bytes();
                    last = Step();  // releases what it held
                    --count_;
                    --done_;
                    open_ = false;
                    return true;
                }
                return false;
            }
        }
        if (step.empty() || maxSteps_ == 0)
            return false;
        discardRedo();
        bytes_ += step.bytes();
        if (count_ == maxSteps_) {
            // Full: the newest takes the oldest one's place.
            Step& oldest = at(0);
            bytes_ -= oldest.bytes();
            oldest = std::move(step);
            head_ = (head_ + 1) % ring_.size();
            --count_;
            if (done_ > 0)
                --done_;
            clean_ = clean_ == 0 || clean_ == kNowhere ? kNowhere : clean_ - 1;
        } else if (count_ < ring_.size()) {
            at(count_) = std::move(step);
        } else {
            // Still growing: the newest goes last, so the oldest must be first.
            std::rotate(ring_.begin(), ring_.begin() + long(head_), ring_.end());
            head_ = 0;
            ring_.push_back(std::move(step));
        }
        ++count_;
        ++done_;
        open_ = true;
        while (bytes_ > maxBytes_ && count_ > 1)
            dropOldest();
        return true;
    }

    // The newest step takes no further steps into itself.
    void seal() { open_ = false; }

    // The step an undo takes back, or nullptr.
    const Step* toUndo() const { return done_ > 0 ? &at(done_ - 1) : nullptr; }
    // The step a redo does again, or nullptr.
    const Step* toRedo() const { return done_ < count_ ? &at(done_) : nullptr; }
    void undone()
    {
        open_ = false;
        if (done_ > 0)
            --done_;
    }
    void redone()
    {
        open_ = false;
        if (done_ < count_)
            ++done_;
    }

    // Forgets every step; answers how many there were.
    size_t clear()
    {
        const size_t n = count_;
        std::vector<Step>().swap(ring_);  // a new history gives back what the old one held
        head_ = count_ = done_ = bytes_ = 0;
        clean_ = 0;
        open_ = false;
        return n;
    }

    // What the history stands at now is what was last stored or loaded.
    void markClean()
    {
        clean_ = done_;
        open_ = false;
    }
    bool atClean() const { return clean_ == done_; }

    size_t size() const { return count_; }
    size_t doneCount() const { return done_; }
    size_t bytes() const { return bytes_; }

private:
    static constexpr size_t kNowhere = std::numeric_limits<size_t>::max();

    Step& at(size_t i) { return ring_[(head_ + i) % ring_.size()]; }
    const Step& at(size_t i) const { return ring_[(head_ + i) % ring_.size()]; }

    void discardRedo()
    {
        if (clean_ != kNowhere && clean_ > done_)
            clean_ = kNowhere;  // the stored state lay among the steps undone
        while (count_ > done_) {
            Step& s = at(count_ - 1);
            bytes_ -= s.bytes();
            s = Step();
            --count_;
        }
    }
    void dropOldest()
    {
        Step& s = at(0);
        bytes_ -= s.bytes();
        s = Step();
        head_ = (head_ + 1) % ring_.size();
        --count_;
        if (done_ > 0)
            --done_;
        clean_ = clean_ == 0 || clean_ == kNowhere ? kNowhere : clean_ - 1;
    }

    std::vector<Step> ring_;
    size_t head_ = 0;   // where the oldest step lies in the ring
    size_t count_ = 0;  // steps held, done and undone
    size_t done_ = 0;
    size_t maxSteps_;
    size_t maxBytes_;
    size_t bytes_ = 0;
    size_t clean_ = 0;
    bool open_ = false;
};

} // namespace kw
