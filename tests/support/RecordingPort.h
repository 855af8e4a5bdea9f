#pragma once
#include "midi/HexText.h"
#include "midi/OutputPort.h"

#include <sstream>
#include <string>
#include <vector>

namespace kwtest {

// Keeps every message handed to it (those that fail too); can pretend to be
// closed or failing, as a port whose server went away does: still open,
// every send refused with the driver's reason.
class RecordingPort : public kw::OutputPort {
public:
    bool open = true;
    int result = kw::MidiResult::Ok;
    std::vector<kw::Bytes> sent;
    // From the message with this index on (counting from 0 in `sent`), every
    // send fails with MidiResult::Error and `reason`.
    long failFrom = -1;
    std::string reason;

    bool isOpen() const override { return open; }
    int send(kw::ByteView m) override
    {
        sent.emplace_back(m.begin(), m.end());
        if (failFrom >= 0 && long(sent.size()) > failFrom)
            return kw::MidiResult::Error;
        return result;
    }
    std::string failureReason() const override { return reason; }
    void clear() { sent.clear(); }
};

// "F0 43 10" style text of some bytes, for readable assertions.
inline std::string hex(kw::ByteView b) { return kw::hexText(b); }

inline kw::Bytes bytes(const std::string& hexText)
{
    kw::Bytes out;
    std::istringstream in(hexText);
    unsigned v;
    while (in >> std::hex >> v)
        out.push_back(uint8_t(v));
    return out;
}

} // namespace kwtest
