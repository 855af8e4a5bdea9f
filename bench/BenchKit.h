#pragma once
// What the plain benchmark programs share: their command-line options, the
// process's private memory and numbers as the table prints them.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace kwbench {

inline int intArg(int argc, char** argv, const char* name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return std::atoi(argv[i + 1]);
    return fallback;
}

inline bool hasFlag(int argc, char** argv, const char* name)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return true;
    return false;
}

inline const char* stringArg(int argc, char** argv, const char* name)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return argv[i + 1];
    return nullptr;
}

// Private_Dirty of this process in KB: its own memory, not the shared
// memory a JACK server maps into every client.
inline long privateDirtyKb()
{
    std::ifstream in("/proc/self/smaps_rollup");
    std::string key;
    long value = 0;
    while (in >> key) {
        if (key == "Private_Dirty:") {
            in >> value;
            return value;
        }
        std::getline(in, key);
    }
    return -1;
}

inline std::string number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", v);
    return buf;
}

} // namespace kwbench
