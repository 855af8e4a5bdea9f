#pragma once
// What a file name made from data in a file or from the synth must be: one
// component that stays inside the folder it is made in.

#include "FuzzSupport.h"

#include <string>

namespace kwfuzz {

inline void checkSafeName(const std::string& name)
{
    FUZZ_CHECK(!name.empty(), "an empty file name");
    FUZZ_CHECK(name != "." && name != "..", "a file name that names a folder");
    FUZZ_CHECK(name.find('/') == std::string::npos && name.find('\\') == std::string::npos,
               "a file name with a separator");
    FUZZ_CHECK(name.find('\0') == std::string::npos, "a file name with a NUL byte");
    for (const char c : name)
        FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && std::string(":*?\"<>|").find(c) == std::string::npos,
                   "a file name with a character some file system forbids");
    FUZZ_CHECK(name.front() != ' ' && name.front() != '.' && name.back() != ' ' && name.back() != '.',
               "a file name with a leading or trailing dot or blank");
}

} // namespace kwfuzz
