// Linked into the programs that run widgets, and only those. fontconfig keeps
// a cache it never frees, in a library we do not build; LeakSanitizer is told
// to pass over that one leak and to report every other.

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
