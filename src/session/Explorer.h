#pragma once
// Mutate, morph and breed on the edit: each result goes through the edit
// session as one step, so it sounds at once, goes out as the controls'
// edits do (only what changed) and is undone in one. The settings (locks,
// strength, whether choices may change) live here for the whole run, so
// Ctrl+M uses them with the window closed too.

#include "midi/Scheduler.h"
#include "model/Explore.h"
#include "session/EditSteps.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kw {

class EditSession;

class Explorer {
public:
    // `seed` starts the random source: the program gives a fresh one each
    // run, tests a fixed one.
    Explorer(EditSession& session, Scheduler& scheduler, uint64_t seed);

    explore::Options& options() { return options_; }
    const explore::Options& options() const { return options_; }
    void reseed(uint64_t seed) { random_ = explore::Random(seed); }

    // The edit as it sounds: a muted layer at the volume it comes back with.
    PerformanceImage editedSound() const;

    // The edit mutated, as one step. Answers the bytes sent.
    size_t mutate();

    // --- Morph --------------------------------------------------------------

    // B, the other end; A is the edit as it stands when a drag begins.
    void setPartner(const PerformanceImage& b, std::string label);
    bool hasPartner() const { return partner_.has_value(); }
    const std::string& partnerLabel() const { return partnerLabel_; }
    // The slider moved to `percent`. The first position goes out at once;
    // while its messages are still on the wire, later positions wait and
    // only the newest follows, so a drag never builds a backlog.
    void morphTo(int percent);
    // The slider was let go: the drag is one step, once its last position
    // has gone out.
    void morphReleased();

    // --- Breed --------------------------------------------------------------

    // The performances to breed from (the first 8).
    void setParents(std::vector<PerformanceImage> parents);
    size_t parentCount() const { return parents_.size(); }
    static constexpr int kCandidates = 8;
    // Eight new candidates from the parents, in the frame of the edit as it
    // stands; a candidate tried and not kept is given back first.
    void breed();
    // Breeds again from the candidates `ticked` (indices), or from the
    // same parents when none is ticked.
    void breedAgain(const std::vector<int>& ticked);
    const std::vector<PerformanceImage>& candidates() const { return candidates_; }
    // Candidate `index` in the edit's place, to be heard. Every candidate
    // tried until one is kept is one step together.
    size_t tryCandidate(int index);
    int tried() const { return tried_; }
    // The candidate tried stays the edit: its step is done.
    void keep();
    // A candidate tried and not kept gives the edit back (the step goes).
    void giveBack();

private:
    size_t apply(const PerformanceImage& target, SoundChange::What what);
    // Whether the edit is still what this tool left in it.
    bool unchangedSince() const;
    void morphNow(int percent);
    void wireFree();
    void settle();

    EditSession& session_;
    explore::Options options_;
    explore::Random random_;
    std::optional<BlockSet> lastApplied_;

    std::optional<PerformanceImage> partner_;
    std::string partnerLabel_;
    std::optional<PerformanceImage> morphFrom_;
    OneShot wire_;
    std::optional<int> waiting_;
    bool released_ = false;

    std::vector<PerformanceImage> parents_;
    std::vector<PerformanceImage> candidates_;
    std::optional<PerformanceImage> breedBase_;
    int tried_ = -1;
};

} // namespace kw
