// A seeded random-mutation driver for fuzz targets built without libFuzzer:
// runs every corpus file, then mutated inputs (byte edits, dictionary tokens,
// splices, deep nesting, UTF-16 re-encoding) until a run count or a time
// budget is used up. The same seed replays the same inputs.
//
//   driver CORPUS_DIR [--dict FILE] [--seed N] [--runs N] [--seconds S]
//
// On a crash or a hang the current input is written to "crash-input" in the
// working folder.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Bytes = std::string;

// The input being run, for the signal handler.
const char* g_data = nullptr;
size_t g_size = 0;

void SaveInputAndDie(int sig) {
  const int fd = ::open("crash-input", O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd >= 0) {
    if (::write(fd, g_data, g_size) < 0) {
    }
    ::close(fd);
  }
  const char msg[] = "mutation driver: input saved to crash-input\n";
  if (::write(2, msg, sizeof msg - 1) < 0) {
  }
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

Bytes ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// libFuzzer dictionary lines: "text" with \xNN and \" escapes.
std::vector<Bytes> ReadDict(const std::string& path) {
  std::vector<Bytes> tokens;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const size_t open = line.find('"');
    const size_t close = line.rfind('"');
    if (line.empty() || line[0] == '#' || open == std::string::npos || close <= open) continue;
    Bytes t;
    for (size_t i = open + 1; i < close; ++i) {
      if (line[i] == '\\' && i + 1 < close) {
        if (line[i + 1] == 'x' && i + 3 < close) {
          t += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
          i += 3;
        } else {
          t += line[++i];
        }
      } else {
        t += line[i];
      }
    }
    tokens.push_back(t);
  }
  return tokens;
}

class Mutator {
 public:
  Mutator(uint64_t seed, std::vector<Bytes> dict) : rng_(seed), dict_(std::move(dict)) {}

  size_t Below(size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

  void Mutate(Bytes& b, const std::vector<Bytes>& pool) {
    static const char kSpecial[] = {0, '\xFF', '<', '>', '&', '"', '\'', '/', '=', '\n', '\t', '\r',
                                    '\x80', '\xC0', '\xED', '\xEF', '\xFE', '?', '!', '['};
    switch (Below(10)) {
      case 0:
        if (!b.empty()) b[Below(b.size())] ^= static_cast<char>(1u << Below(8));
        break;
      case 1:
        if (!b.empty()) b[Below(b.size())] = kSpecial[Below(sizeof kSpecial)];
        break;
      case 2:
      case 3:
        if (!dict_.empty()) b.insert(Below(b.size() + 1), dict_[Below(dict_.size())]);
        break;
      case 4:
        if (!b.empty()) {
          const size_t at = Below(b.size());
          b.erase(at, 1 + Below(std::min<size_t>(b.size() - at, 64)));
        }
        break;
      case 5:
        if (!b.empty()) {  // copy a piece of the input somewhere else
          const size_t at = Below(b.size());
          const Bytes piece = b.substr(at, 1 + Below(std::min<size_t>(b.size() - at, 256)));
          for (size_t n = 1 + Below(Below(8) == 0 ? 200 : 3); n > 0; --n) b.insert(Below(b.size() + 1), piece);
        }
        break;
      case 6:
        if (!pool.empty()) {  // splice with another input
          const Bytes& other = pool[Below(pool.size())];
          b = b.substr(0, Below(b.size() + 1)) + other.substr(Below(other.size() + 1));
        }
        break;
      case 7:
        b.resize(Below(b.size() + 1));
        break;
      case 8:
        if (Below(16) == 0) {  // deep nesting, closed or not
          const size_t depth = 1000 + Below(200000);
          Bytes open, close;
          for (size_t i = 0; i < depth; ++i) open += "<a>";
          if (Below(2) == 0)
            for (size_t i = 0; i < depth; ++i) close += "</a>";
          b.insert(Below(b.size() + 1), open + close);
        }
        break;
      default:
        if (Below(8) == 0) {  // re-encode as UTF-16 with or without a byte-order mark
          const bool big = Below(2) == 0;
          Bytes out = Below(2) == 0 ? Bytes() : Bytes(big ? "\xFE\xFF" : "\xFF\xFE");
          for (char c : b) out += big ? Bytes{'\0', c} : Bytes{c, '\0'};
          b = out;
        }
        break;
    }
  }

 private:
  std::mt19937_64 rng_;
  std::vector<Bytes> dict_;
};

void Run(const Bytes& b) {
  g_data = b.data();
  g_size = b.size();
  alarm(30);  // one input hanging for this long is a hang
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(b.data()), b.size());
  alarm(0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR [--dict FILE] [--seed N] [--runs N] [--seconds S]\n", argv[0]);
    return 2;
  }
  std::string dictPath;
  uint64_t seed = 1;
  uint64_t runs = UINT64_MAX;
  double seconds = 30;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string opt = argv[i];
    if (opt == "--dict") dictPath = argv[i + 1];
    else if (opt == "--seed") seed = std::strtoull(argv[i + 1], nullptr, 10);
    else if (opt == "--runs") runs = std::strtoull(argv[i + 1], nullptr, 10);
    else if (opt == "--seconds") seconds = std::strtod(argv[i + 1], nullptr);
  }
  for (int sig : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGALRM}) ::signal(sig, SaveInputAndDie);

  std::vector<Bytes> corpus;
  for (const auto& e : std::filesystem::directory_iterator(argv[1]))
    if (e.is_regular_file()) corpus.push_back(ReadFile(e.path()));
  std::sort(corpus.begin(), corpus.end());  // directory order must not change the replay
  if (corpus.empty()) {
    std::fprintf(stderr, "mutation driver: empty corpus %s\n", argv[1]);
    return 2;
  }
  Mutator mutator(seed, dictPath.empty() ? std::vector<Bytes>{} : ReadDict(dictPath));

  uint64_t done = 0;
  for (const Bytes& b : corpus) Run(b), ++done;
  // Recent mutants join the pool so mutations stack up over time.
  std::vector<Bytes> pool = corpus;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (done < runs && (done % 256 != 0 || std::chrono::steady_clock::now() < end)) {
    Bytes b = pool[mutator.Below(pool.size())];
    for (size_t n = 1 + mutator.Below(6); n > 0; --n) mutator.Mutate(b, pool);
    if (b.size() > (4u << 20)) b.resize(4u << 20);
    Run(b);
    ++done;
    if (b.size() < 4096) {
      if (pool.size() < corpus.size() + 256) pool.push_back(std::move(b));
      else pool[corpus.size() + mutator.Below(256)] = std::move(b);
    }
  }
  std::printf("mutation driver: %llu inputs run (seed %llu)\n", static_cast<unsigned long long>(done),
              static_cast<unsigned long long>(seed));
  return 0;
}
