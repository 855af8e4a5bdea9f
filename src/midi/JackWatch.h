#pragma once
// Whether the JACK server that a client was opened on is still the one
// running. When a JACK server dies, every client opened on it is dead: calls
// into it go nowhere at best, and once a client has been opened on a new
// server the JACK library frees the old clients, so any later call into one
// (closing it included) touches freed memory. RtMidi keeps its JACK client to
// itself, so we watch the server with a small client of our own and never
// call into an RtMidi object whose server has gone: such objects are buried
// (kept, never destroyed) instead.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kw::jack {

// Which life of the server a client belongs to.
using Life = uint64_t;

// Call right before opening a client: watches the server that runs now and
// returns its life; nothing when no server runs (then open no client: RtMidi
// would connect it later, to a server nobody watches).
std::optional<Life> lifeForNewClient(const std::string& clientName);
// The server of `life` has not died since.
bool alive(Life life);
// Full names of the ports connected to port `portName`, seen by the watching
// client; empty when the port does not exist or nothing watches.
std::vector<std::string> connections(const std::string& portName);
// Whether a server is being watched now.
bool watching();

namespace detail {
void keep(void* object);
}

// Keeps `object` for the rest of the run without destroying it (or anything
// it owns). Its memory stays reachable, so leak checkers stay quiet.
template <class T>
void bury(std::unique_ptr<T> object)
{
    if (object)
        detail::keep(object.release());
}
template <class T>
void bury(std::shared_ptr<T> object)
{
    if (object)
        detail::keep(new std::shared_ptr<T>(std::move(object)));
}

} // namespace kw::jack
