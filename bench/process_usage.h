// What a benchmark measures of its own process and its samples: CPU seconds used so far (user
// and system, from getrusage) and a percentile of a set of measurements.
#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace orvexa::bench {

inline double cpu_seconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Sorts `v`; 0 when it is empty.
inline double percentile(std::vector<double>& v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

}  // namespace orvexa::bench
