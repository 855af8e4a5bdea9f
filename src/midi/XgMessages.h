#pragma once
// Byte layouts of the XG messages (model 4C) the editor and the virtual
// CS1x exchange, built from the XG table's rows, and the reading of those
// that come in: parameter change, parameter request, bulk dump and dump
// request, and XG System On.

#include "model/Block.h"
#include "model/XgTable.h"

#include <optional>
#include <string>

namespace kw::xg {

class Memory;

inline constexpr uint8_t kModel = 0x4C;
// What the instrument needs after XG System On (and GM System On) before
// the next message.
inline constexpr int kSystemOnPauseMs = 50;

// F0 43 10 4C 00 00 7E 00 F7
Bytes systemOn();
// F0 43 10 4C hh mm ll dd.. F7, one message for one parameter; none when
// the row does not take `value` (every data byte is then 7-bit by the
// row's coding, so no byte of 80 or more can be built).
std::optional<Bytes> parameterChange(const Param& p, int value);
// A command row's message: F0 43 10 4C 00 00 7D ss F7 (Drum Setup Reset).
std::optional<Bytes> command(const Row& command, int value);
// F0 43 30 4C hh mm ll F7
Bytes parameterRequest(const Param& p);
// F0 43 20 4C hh mm ll F7
Bytes dumpRequest(Address top);
// F0 43 00 4C bh bl hh mm ll data.. cs F7; none for data of more than
// 16,383 bytes or a byte of 80 or more.
std::optional<Bytes> bulkDump(Address top, ByteView data);

// An XG parameter change as it came in, read against the table.
struct Change {
    enum class Fault : uint8_t {
        None,
        NotXg,        // not an XG parameter change at all
        NoParameter,  // an address no row starts at
        WrongSize,    // data bytes other than the row's size
        OutOfRange,   // a byte outside the coding, or a value the row does not take
    };
    Fault fault = Fault::NotXg;
    Address address;
    std::optional<Param> param;  // when the address is a parameter's
    int value = -1;              // when the fault is None
    int device = 0;
    // "wrong size: 2 data bytes for 1", "out of range: 127 for 0 to 32"; "" when sound.
    std::string why;
    bool ok() const { return fault == Fault::None; }
};
// F0 43 1n 4C hh mm ll dd.. F7 read against the rows (commands read as
// NoParameter: they are no parameter).
Change readChange(ByteView message);

// How an incoming message stands to a parameter request.
struct ReplyCheck {
    enum class Match : uint8_t {
        Reply,  // the asked parameter's change, sound: `value`
        Wrong,  // an XG parameter change while the request stood that does not
                // fit it: `why` names how (another part, another parameter,
                // wrong size, out of range)
        Other,  // not an XG parameter change
    };
    Match match = Match::Other;
    int value = -1;
    std::string why;
};
ReplyCheck checkReply(const Param& asked, ByteView message);
// The reply checked and, when it is the reply, its value written into
// `memory`; anything else changes nothing.
ReplyCheck takeReply(Memory& memory, const Param& asked, ByteView message);

// A bulk dump as it came in: count, checksum and the block it is for.
struct Dump {
    std::optional<BlockAt> block;
    ByteView data;
    std::string why;  // "" when sound
};
Dump readDump(ByteView message);

// What the MIDI monitor says of an XG message ("XG part 5 Reverb Send = 40",
// "XG request Reverb Type", "XG bulk dump part 5 block 2", "XG System On");
// "" for a message that is not XG.
std::string meaning(ByteView message);

} // namespace kw::xg
