#pragma once
// Wall-clock timing for the benchmarks: best of several runs, in nanoseconds.
#include <windows.h>

#include <cstdio>

inline double NowNanoseconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart);
}

// Best time of `runs` runs of body(), in nanoseconds per operation.
template <class Body>
double BestNanosecondsPerOperation(long operations, Body body, int runs = 5) {
  double best = 0;
  for (int run = 0; run < runs; ++run) {
    double start = NowNanoseconds();
    body();
    double elapsed = (NowNanoseconds() - start) / static_cast<double>(operations);
    if (run == 0 || elapsed < best) {
      best = elapsed;
    }
  }
  return best;
}

inline void PrintHeader() { std::printf("%-52s %12s %10s\n", "operation", "ns/op", "ratio"); }

inline void PrintRow(const char* name, double nanoseconds, double floor) {
  std::printf("%-52s %12.1f %9.2fx\n", name, nanoseconds, nanoseconds / floor);
}
