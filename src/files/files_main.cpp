#include "files/FilesTool.h"

#include <iostream>

#ifdef _WIN32
#include "files/FilePaths.h"

// Wide arguments keep file names outside the ANSI code page intact.
int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(kw::utf8FromPath(std::filesystem::path(argv[i])));
    return kw::runFilesTool(args, std::cout, std::cerr);
}
#else
int main(int argc, char** argv)
{
    return kw::runFilesTool(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
#endif
