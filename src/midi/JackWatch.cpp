#include "midi/JackWatch.h"

#include <atomic>
#include <mutex>

#if KW_HAVE_JACK
#include <jack/jack.h>
#endif

namespace kw::jack {

namespace detail {

void keep(void* object)
{
    // Never freed: the graveyard itself is reachable from this static.
    static auto* graveyard = new std::vector<void*>;
    static std::mutex m;
    std::lock_guard lock(m);
    graveyard->push_back(object);
}

} // namespace detail

#if KW_HAVE_JACK

namespace {

// Bumped by the JACK library's thread when the watched server goes away.
std::atomic<Life> currentLife{1};

struct Watch {
    std::mutex mutex;
    jack_client_t* client = nullptr;
    Life life = 0;  // the life `client` watches
    std::string name = "Knobwright";
};

Watch& watch()
{
    static auto* w = new Watch;
    return *w;
}

void serverGone(jack_status_t, const char*, void* arg)
{
    // Runs on a thread of the JACK library: nothing but the counter.
    const Life watched = Life(reinterpret_cast<uintptr_t>(arg));
    Life expected = watched;
    currentLife.compare_exchange_strong(expected, watched + 1);
}

// Caller holds the mutex.
void ensureWatching(Watch& w)
{
    if (w.client && w.life == currentLife.load())
        return;
    // A client of a server that died is dropped, never closed (see the header).
    w.client = nullptr;
    jack_status_t status{};
    jack_client_t* c = jack_client_open(w.name.c_str(), JackNoStartServer, &status);
    if (!c)
        return;
    w.life = currentLife.load();
    jack_on_info_shutdown(c, &serverGone, reinterpret_cast<void*>(uintptr_t(w.life)));
    w.client = c;
}

} // namespace

std::optional<Life> lifeForNewClient(const std::string& clientName)
{
    Watch& w = watch();
    std::lock_guard lock(w.mutex);
    if (!w.client)
        w.name = clientName;
    ensureWatching(w);
    if (!w.client)
        return std::nullopt;
    return w.life;
}

bool alive(Life life) { return life == currentLife.load(); }

std::vector<std::string> connections(const std::string& portName)
{
    Watch& w = watch();
    std::lock_guard lock(w.mutex);
    ensureWatching(w);
    std::vector<std::string> out;
    if (!w.client)
        return out;
    jack_port_t* port = jack_port_by_name(w.client, portName.c_str());
    if (!port)
        return out;
    if (const char** names = jack_port_get_all_connections(w.client, port)) {
        for (const char** n = names; *n; ++n)
            out.emplace_back(*n);
        jack_free(names);
    }
    return out;
}

bool watching()
{
    Watch& w = watch();
    std::lock_guard lock(w.mutex);
    return w.client && w.life == currentLife.load();
}

#else

std::optional<Life> lifeForNewClient(const std::string&) { return Life(1); }
bool alive(Life) { return true; }
std::vector<std::string> connections(const std::string&) { return {}; }
bool watching() { return false; }

#endif

} // namespace kw::jack
