// The stand-in for the debugger output: one line of text to standard error,
// written only when KX_DEBUG_OUTPUT is set in the environment (to anything
// but "0"). Tests can capture what would have been written.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kx::platform {

void DebugOutput(std::string_view utf8);
void DebugOutput(std::u16string_view text);

// Replaces the sink for tests; pass nullptr to restore standard error.
void SetDebugOutputSink(std::function<void(const std::string&)> sink);

}  // namespace kx::platform
