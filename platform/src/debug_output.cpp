#include "platform/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "kxSystem.h"

namespace kx::platform {

namespace {
std::mutex g_sinkMutex;
std::function<void(const std::string&)> g_sink;
}  // namespace

void SetDebugOutputSink(std::function<void(const std::string&)> sink) {
  std::lock_guard<std::mutex> g(g_sinkMutex);
  g_sink = std::move(sink);
}

void DebugOutput(std::string_view utf8) {
  {
    std::lock_guard<std::mutex> g(g_sinkMutex);
    if (g_sink) {
      g_sink(std::string(utf8));
      return;
    }
  }
  kxDebugOutputUtf8(utf8);
}

void DebugOutput(std::u16string_view text) { DebugOutput(ConvertUnicodeToUTF8(std::u16string(text))); }

}  // namespace kx::platform
