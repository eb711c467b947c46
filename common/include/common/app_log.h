// The application's logging helpers: each stamps the local time and hands
// the text to the application's CKxLog. Usable from any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "kxSystem.h"

namespace kx {

// The application object installs its log here (nullptr to detach).
void SetAppLog(CKxLog* log);
// Tests may watch every line as it is logged (nullptr to stop).
void SetAppLogObserver(std::function<void(kxLogEventType, const std::u16string&)> observer);

void LogInfo(std::u16string_view text);
void LogWarning(std::u16string_view text);
void LogError(std::u16string_view text);
// UTF-8 convenience forms for texts built with narrow formatting.
void LogInfo(std::string_view utf8);
void LogWarning(std::string_view utf8);
void LogError(std::string_view utf8);

}  // namespace kx
