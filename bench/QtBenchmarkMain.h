#pragma once
// Benchmarks that need Qt's event loop (timers, the input hop) run inside a
// QCoreApplication.

#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace kwbench {

inline int runWithQt(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace kwbench
