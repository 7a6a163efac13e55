#pragma once
// Timing of the Wine benchmarks: the performance counter in microseconds, and medians.
#include <windows.h>

#include <algorithm>
#include <vector>

namespace torvo::bench {

inline double NowMicroseconds() {
  LARGE_INTEGER counter, frequency;
  ::QueryPerformanceCounter(&counter);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

// The time one call of `work` takes, in microseconds.
template <class Work>
double Timed(Work&& work) {
  const double start = NowMicroseconds();
  work();
  return NowMicroseconds() - start;
}

}  // namespace torvo::bench
