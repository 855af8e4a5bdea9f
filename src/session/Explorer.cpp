#include "session/Explorer.h"

#include "midi/VirtualBackend.h"
#include "session/EditSession.h"

#include <algorithm>

namespace kw {

Explorer::Explorer(EditSession& session, Scheduler& scheduler, uint64_t seed)
    : session_(session), random_(seed), wire_(scheduler, [this] { wireFree(); })
{
}

PerformanceImage Explorer::editedSound() const
{
    PerformanceImage img = session_.image();
    for (int l = 1; l <= 4; ++l) {
        const MuteMemory& m = session_.state().mute[size_t(l - 1)];
        if (m.muted)
            findParameter("layer" + std::to_string(l) + ".volume")->set(img, m.savedVolume);
    }
    return img;
}

size_t Explorer::apply(const PerformanceImage& target, SoundChange::What what)
{
    const size_t bytes = session_.applySound(target.edit, what);
    lastApplied_ = session_.image().edit;
    return bytes;
}

bool Explorer::unchangedSince() const
{
    if (!lastApplied_)
        return false;
    for (int b = 0; b < kBlocksPerPerformance; ++b)
        if (!std::equal(lastApplied_->at(b).view().begin(), lastApplied_->at(b).view().end(),
                        session_.image().edit.at(b).view().begin()))
            return false;
    return true;
}

size_t Explorer::mutate()
{
    settle();
    session_.endGesture();
    const size_t bytes = apply(explore::mutate(editedSound(), options_, random_), SoundChange::Mutate);
    session_.endGesture();
    return bytes;
}

// --- Morph ---------------------------------------------------------------------

void Explorer::setPartner(const PerformanceImage& b, std::string label)
{
    settle();
    partner_ = b;
    partnerLabel_ = std::move(label);
    morphFrom_.reset();
}

void Explorer::morphTo(int percent)
{
    if (!partner_)
        return;
    if (!morphFrom_ || !unchangedSince()) {
        // A new drag from what the edit is now: an edit, an undo or another
        // tool since the last one makes that the new A.
        session_.endGesture();
        morphFrom_ = editedSound();
    }
    released_ = false;
    if (wire_.active()) {
        waiting_ = percent;
        return;
    }
    morphNow(percent);
}

void Explorer::morphNow(int percent)
{
    waiting_.reset();
    const size_t bytes = apply(explore::morph(*morphFrom_, *partner_, percent, options_), SoundChange::Morph);
    if (bytes > 0)
        wire_.startMicros(midiWireTime(bytes));
}

void Explorer::wireFree()
{
    if (waiting_ && morphFrom_ && unchangedSince()) {
        morphNow(*waiting_);
        if (wire_.active())
            return;
    }
    waiting_.reset();
    if (released_) {
        released_ = false;
        session_.endGesture();
    }
}

void Explorer::morphReleased()
{
    if (wire_.active()) {
        released_ = true;
        return;
    }
    session_.endGesture();
}

// The drag's last position out and its step closed before anything else.
void Explorer::settle()
{
    if (!wire_.active())
        return;
    wire_.stop();
    if (waiting_ && morphFrom_ && unchangedSince())
        morphNow(*waiting_);
    wire_.stop();
    waiting_.reset();
    released_ = false;
    session_.endGesture();
}

// --- Breed ---------------------------------------------------------------------

void Explorer::setParents(std::vector<PerformanceImage> parents)
{
    if (parents.size() > size_t(kCandidates))
        parents.resize(size_t(kCandidates));
    parents_ = std::move(parents);
}

void Explorer::breed()
{
    settle();
    giveBack();
    candidates_.clear();
    if (parents_.empty())
        return;
    breedBase_ = editedSound();
    candidates_ = explore::breed(*breedBase_, parents_, kCandidates, options_, random_);
}

void Explorer::breedAgain(const std::vector<int>& ticked)
{
    std::vector<PerformanceImage> chosen;
    for (const int i : ticked)
        if (i >= 0 && size_t(i) < candidates_.size())
            chosen.push_back(candidates_[size_t(i)]);
    if (!chosen.empty())
        setParents(std::move(chosen));
    breed();
}

size_t Explorer::tryCandidate(int index)
{
    if (index < 0 || size_t(index) >= candidates_.size())
        return 0;
    settle();
    // A candidate after another one replaces it in the same step; after
    // anything else it starts a step of its own.
    if (tried_ < 0 || !unchangedSince())
        session_.endGesture();
    tried_ = index;
    return apply(candidates_[size_t(index)], SoundChange::Candidate);
}

void Explorer::keep()
{
    tried_ = -1;
    session_.endGesture();
}

void Explorer::giveBack()
{
    // Only what this tool put there is taken back: after an edit, an undo
    // or a fetch the edit is the user's again.
    if (tried_ >= 0 && breedBase_ && unchangedSince())
        apply(*breedBase_, SoundChange::Candidate);
    tried_ = -1;
    session_.endGesture();
}

} // namespace kw
