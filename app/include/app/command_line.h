// The program's command line: "/H", "/?" and "/U:<rtsp address>".
// The grammar is plain logic (ParseArguments); ParseCommandLine runs it over
// the process's own arguments and shows the help box when asked to.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kx {

enum CmdLineResult : int32_t {
  CmdLineStart = 0,          // start with m_strUrl
  CmdLineHelp = 1,           // help shown; the program ends
  CmdLineBadValue = 2,       // "/U:" with nothing after it
  CmdLineUnknownOption = 3,  // an option other than H, ? or U
  CmdLineNoUrl = 4,          // no URL: the URL dialog comes first
};

struct CAppCommandLine {
  std::u16string m_strUrl;
  int32_t m_nResult = 0;
};

// What ParseCommandLine shows after the walk.
enum class CmdLineMessage { None, Help, BadValue, UnknownFormat };

// The walk over `args` (args[0] is the program path) and the final rule for
// a missing URL. Fills `cmd` and says which message belongs to the result.
CmdLineMessage ParseArguments(const std::vector<std::u16string>& args, CAppCommandLine& cmd);

// The process's arguments as main() received them (UTF-8); kept for
// ParseCommandLine. Without them ParseCommandLine changes nothing.
void SetProcessArguments(int argc, const char* const* argv);
const std::vector<std::u16string>& ProcessArguments();

// The help text, exactly as the help box shows it.
std::u16string CommandLineHelpText();
// The text of the help box: the help alone, or `message`, a blank line and the help.
std::u16string CommandLineHelpBoxText(const std::u16string* message);

// Shows the help box (exclamation icon, OK); when standard output is a
// terminal the same text is printed there as well. Tests may replace the
// box with their own sink (an empty function restores the box).
void ShowCommandLineHelp(const std::u16string* message);
void SetCommandLineHelpSink(std::function<void(const std::u16string&)> sink);

// ParseArguments over ProcessArguments(), then the message. Non-zero only
// for CmdLineStart; start-up reads m_nResult instead.
int ParseCommandLine(CAppCommandLine& cmd);

}  // namespace kx
