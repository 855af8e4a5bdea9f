#pragma once
// What the plain benchmark programs share: their command-line options, the
// process's private memory, numbers as the table prints them, and the rows
// of the one table scripts/bench.sh gathers from all of them.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

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
    // Four significant digits, but whole numbers in full: "24340", not "2.434e+04".
    std::snprintf(buf, sizeof buf, v >= 1000 || v <= -1000 ? "%.0f" : "%.4g", v);
    return buf;
}

struct Stats {
    double median = 0, p95 = 0, max = 0;
    size_t n = 0;
};

inline Stats stats(std::vector<double> v)
{
    Stats s;
    if (v.empty())
        return s;
    std::sort(v.begin(), v.end());
    s.n = v.size();
    s.median = v[v.size() / 2];
    s.p95 = v[std::min(v.size() - 1, size_t(double(v.size()) * 0.95))];
    s.max = v.back();
    return s;
}

// One line of the table; `goal` applies to the median, or to the maximum
// for the stall rows (`goalOnMax`).
struct Row {
    std::string name;
    std::string unit;
    Stats s;
    std::optional<double> goal;
    bool goalOnMax = false;
    std::string note;
};

inline std::string jsonEscape(const std::string& t)
{
    std::string out;
    for (char c : t) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

inline std::string jsonRow(const std::string& bench, const Row& r)
{
    std::ostringstream o;
    o << "{\"bench\":\"" << bench << "\",\"row\":\"" << jsonEscape(r.name) << "\",\"unit\":\"" << r.unit
      << "\",\"median\":" << number(r.s.median) << ",\"p95\":" << number(r.s.p95) << ",\"max\":" << number(r.s.max)
      << ",\"n\":" << r.s.n;
    if (r.goal) {
        const double figure = r.goalOnMax ? r.s.max : r.s.median;
        o << ",\"goal\":" << number(*r.goal) << ",\"goal_on\":\"" << (r.goalOnMax ? "max" : "median")
          << "\",\"ratio\":" << number(figure / *r.goal);
    }
    if (!r.note.empty())
        o << ",\"note\":\"" << jsonEscape(r.note) << "\"";
    o << "}";
    return o.str();
}

inline void printTable(const std::vector<Row>& rows)
{
    std::printf("%-34s %10s %10s %10s %6s %9s %7s  %s\n", "measure", "median", "p95", "max", "n", "goal", "ratio",
                "");
    for (const Row& r : rows) {
        std::string goal = "-", ratio = "-";
        if (r.goal) {
            goal = (r.goalOnMax ? "max " : "") + number(*r.goal);
            ratio = number((r.goalOnMax ? r.s.max : r.s.median) / *r.goal);
        }
        std::printf("%-34s %10s %10s %10s %6zu %9s %7s  %s %s\n", r.name.c_str(), number(r.s.median).c_str(),
                    number(r.s.p95).c_str(), number(r.s.max).c_str(), r.s.n, goal.c_str(), ratio.c_str(),
                    r.unit.c_str(), r.note.c_str());
    }
}

// Prints the rows (unless --quiet) and appends them to --json FILE, one JSON
// object a line. The exit status: 0 unless the file could not be written.
inline int report(int argc, char** argv, const std::string& bench, const std::vector<Row>& rows)
{
    if (!hasFlag(argc, argv, "--quiet"))
        printTable(rows);
    if (const char* json = stringArg(argc, argv, "--json")) {
        std::ofstream out(json, std::ios::app);
        for (const Row& r : rows)
            out << jsonRow(bench, r) << "\n";
        if (!out) {
            std::fprintf(stderr, "%s: cannot write %s\n", bench.c_str(), json);
            return 1;
        }
    }
    return 0;
}

} // namespace kwbench
