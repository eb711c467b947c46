#include "common/app_log.h"

#include <atomic>
#include <mutex>

namespace kx {

namespace {
std::atomic<CKxLog*> g_log{nullptr};
std::mutex g_observerMutex;
std::function<void(kxLogEventType, const std::u16string&)> g_observer;

void Emit(kxLogEventType type, std::u16string_view text) {
  std::u16string copy(text);
  {
    std::lock_guard<std::mutex> g(g_observerMutex);
    if (g_observer) g_observer(type, copy);
  }
  if (CKxLog* log = g_log.load(std::memory_order_acquire)) log->Log(type, kxLocalFileTimeNow(), copy);
}
}  // namespace

void SetAppLog(CKxLog* log) { g_log.store(log, std::memory_order_release); }

void SetAppLogObserver(std::function<void(kxLogEventType, const std::u16string&)> observer) {
  std::lock_guard<std::mutex> g(g_observerMutex);
  g_observer = std::move(observer);
}

void LogInfo(std::u16string_view text) { Emit(kxLogEventInfo, text); }
void LogWarning(std::u16string_view text) { Emit(kxLogEventWarning, text); }
void LogError(std::u16string_view text) { Emit(kxLogEventError, text); }
void LogInfo(std::string_view utf8) { LogInfo(ConvertUTF8ToUnicode(std::string(utf8))); }
void LogWarning(std::string_view utf8) { LogWarning(ConvertUTF8ToUnicode(std::string(utf8))); }
void LogError(std::string_view utf8) { LogError(ConvertUTF8ToUnicode(std::string(utf8))); }

}  // namespace kx
