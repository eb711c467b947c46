// Small helpers the benchmark drivers share for their printed figures.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace kx::bench {

// The median; NaN (printed "nan") when nothing was measured.
inline double Median(std::vector<double> v) {
  if (v.empty()) return std::nan("");
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The machine's load averages (1, 5 and 15 minutes), printed beside every
// figure: these machines are shared.
inline std::string LoadAverage() {
  std::ifstream f("/proc/loadavg");
  double a = 0, b = 0, c = 0;
  f >> a >> b >> c;
  char line[64];
  std::snprintf(line, sizeof line, "%.2f %.2f %.2f", a, b, c);
  return line;
}

}  // namespace kx::bench
