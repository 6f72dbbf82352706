// The process's resident memory now, from /proc/self/statm (ru_maxrss only gives the peak).
#pragma once

#include <unistd.h>

#include <fstream>

namespace orvexa::bench {

inline long resident_kb() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

inline double resident_mb() { return static_cast<double>(resident_kb()) / 1024.0; }

}  // namespace orvexa::bench
