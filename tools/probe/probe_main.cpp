#include <iostream>

#include "probe.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto options = kx::probe::ParseArgs(args, error);
  if (!options) {
    if (!error.empty()) std::cerr << "kxToneScopeProbe: " << error << "\n";
    std::cerr << kx::probe::Usage();
    return error.empty() ? kx::probe::kOk : kx::probe::kUsage;
  }
  return kx::probe::Run(*options, std::cout, std::cerr);
}
