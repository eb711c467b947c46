#include "app/command_line.h"

#include "kxSystem.h"
#include "resources/res_str.h"

namespace kx {

namespace {

std::vector<std::u16string> g_args;

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// Option letters match in either case, as on the platform this grammar
// comes from ("/u:" and "/h" are accepted too).
bool KeyIs(const std::u16string& key, char16_t letter) { return key.size() == 1 && Upper(key[0]) == letter; }

}  // namespace

CmdLineMessage ParseArguments(const std::vector<std::u16string>& args, CAppCommandLine& cmd) {
  // No argument vector at all is the split failing: nothing changes.
  if (args.empty()) return CmdLineMessage::None;
  cmd.m_nResult = CmdLineStart;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::u16string& arg = args[i];
    if (arg.size() < 2 || arg[0] != u'/') continue;
    const size_t colon = arg.find(u':');
    std::u16string key, value;
    if (colon == 2 || colon == 3) {
      key = arg.substr(1, colon - 1);
      value = arg.substr(colon + 1);
    } else {
      key = arg.substr(1);
    }
    if (KeyIs(key, u'H') || key == u"?") {
      cmd.m_nResult = CmdLineHelp;
      break;
    }
    if (!KeyIs(key, u'U')) {
      cmd.m_nResult = CmdLineUnknownOption;
      break;
    }
    if (value.empty()) {
      cmd.m_nResult = CmdLineBadValue;
      break;
    }
    cmd.m_strUrl = value;
  }
  // Before the messages: a bad option with no URL shows nothing and leads
  // to the URL dialog.
  if (cmd.m_nResult != CmdLineHelp && cmd.m_strUrl.empty()) cmd.m_nResult = CmdLineNoUrl;
  switch (cmd.m_nResult) {
    case CmdLineHelp: return CmdLineMessage::Help;
    case CmdLineBadValue: return CmdLineMessage::BadValue;
    case CmdLineUnknownOption: return CmdLineMessage::UnknownFormat;
    default: return CmdLineMessage::None;
  }
}

void SetProcessArguments(int argc, const char* const* argv) {
  g_args.clear();
  for (int i = 0; i < argc; ++i) g_args.push_back(ConvertUTF8ToUnicode(argv[i] ? argv[i] : ""));
}

const std::vector<std::u16string>& ProcessArguments() { return g_args; }

// String 5202 in the active language.
std::u16string CommandLineHelpText() { return ResStr(5202); }

std::u16string CommandLineHelpBoxText(const std::u16string* message) {
  if (!message) return CommandLineHelpText();
  return *message + u"\n\n" + CommandLineHelpText();
}

}  // namespace kx
