#pragma once
// The field rows with rules of their own. Only the edit session and its
// rules include this.

#include "session/EditSession.h"

#include <string>
#include <string_view>

namespace kw {

// The row of `control`; there is none only by a programming error, which
// throws.
const FieldRow& fieldRow(std::string_view control);

// The rows with rules of their own, looked up once: a missing one is a
// programming error and fails at start.
struct SpecialRows {
    const FieldRow& bank;
    const FieldRow& voice;
    const FieldRow& detune;
    const FieldRow& volume;
    const FieldRow& pan;
    const FieldRow& randomPan;
    const FieldRow& noteLow;
    const FieldRow& noteHigh;
    const FieldRow& layerOn;
    const FieldRow* velocity[4];
    const FieldRow& tempo;
    const FieldRow& tempoMidi;
    const FieldRow* arpModes[3];
    const FieldRow& reverb;
    const FieldRow& chorus;
    const FieldRow& variation;
    const FieldRow& name;
};
const SpecialRows& specialRows();

// Both directions of one row: what an edit of it writes, sends and asks the
// window to show again, and what its control shows for the image. Kept
// together so that the two cannot disagree about the bytes.
struct EditSession::Rule {
    // Writes the edit, sends it, and names the other controls it changed.
    Echo (*write)(EditSession& s, const FieldRow& row, int position);
    // The position the control shows for the image.
    int (*read)(const EditSession& s, const FieldRow& row);
    // The history step the edit makes; without one, a change of the field.
    EditStep (*step)(const EditSession& s, const FieldRow& row, int position) = nullptr;
    // The value label's text, when it is not that of the position shown.
    std::string (*text)(const EditSession& s, const FieldRow& row) = nullptr;
};

} // namespace kw
