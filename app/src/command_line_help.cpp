// The help box of the command line, and the parse over the real arguments.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <unistd.h>

#include "app/command_line.h"
#include "kxSystem.h"
#include "resources/res_str.h"

namespace kx {

namespace {

std::function<void(const std::u16string&)> g_helpSink;

// Texts of the two command-line faults.
constexpr uint32_t IDS_CMDLINE_BAD_VALUE = 5200;
constexpr uint32_t IDS_CMDLINE_UNKNOWN = 5201;

}  // namespace

void SetCommandLineHelpSink(std::function<void(const std::u16string&)> sink) { g_helpSink = std::move(sink); }

void ShowCommandLineHelp(const std::u16string* message) {
  const std::u16string text = CommandLineHelpBoxText(message);
  if (g_helpSink) {
    g_helpSink(text);
    return;
  }
  // Someone at a terminal reads it there too (and can copy it).
  if (isatty(STDOUT_FILENO)) {
    std::fputs(ConvertUnicodeToUTF8(text).c_str(), stdout);
    std::fflush(stdout);
  }
  QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), QString::fromStdU16String(text),
                  QMessageBox::Ok);
  box.setObjectName("CommandLineHelp");
  box.exec();
}

int ParseCommandLine(CAppCommandLine& cmd) {
  const CmdLineMessage message = ParseArguments(ProcessArguments(), cmd);
  std::u16string text;
  switch (message) {
    case CmdLineMessage::Help:
      ShowCommandLineHelp(nullptr);
      break;
    case CmdLineMessage::BadValue:
      text = ResStr(IDS_CMDLINE_BAD_VALUE);
      ShowCommandLineHelp(&text);
      break;
    case CmdLineMessage::UnknownFormat:
      text = ResStr(IDS_CMDLINE_UNKNOWN);
      ShowCommandLineHelp(&text);
      break;
    case CmdLineMessage::None:
      break;
  }
  return cmd.m_nResult == CmdLineStart ? 1 : 0;
}

}  // namespace kx
