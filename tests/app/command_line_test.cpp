// The command-line grammar, walked over argument vectors as main() gets them.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kx {
namespace {

// An argument as ASCII for the failure message.
std::string Ascii(const char16_t* text) {
  std::string out;
  for (const char16_t* p = text; *p; ++p) out += *p < 0x80 ? static_cast<char>(*p) : '?';
  return out;
}

// One argument vector and what the walk makes of it.
struct Case {
  std::vector<const char16_t*> args;
  int result;
  CmdLineMessage message;
  const char16_t* url;
};

TEST(CommandLine, GrammarOverArgumentVectors) {
  using M = CmdLineMessage;
  const Case cases[] = {
      // No arguments: the URL dialog comes first, silently.
      {{}, CmdLineNoUrl, M::None, u""},
      {{u"/U:rtsp://127.0.0.1:8554/av"}, CmdLineStart, M::None, u"rtsp://127.0.0.1:8554/av"},
      // The value keeps every colon after the first.
      {{u"/U:rtsp://admin:se:cret@10.0.0.7:554/ch1"}, CmdLineStart, M::None, u"rtsp://admin:se:cret@10.0.0.7:554/ch1"},
      // Help ends the walk wherever it stands; alone, no URL rule applies to it.
      {{u"/U:rtsp://a/1", u"/H:anything", u"/X", u"/U:"}, CmdLineHelp, M::Help, u"rtsp://a/1"},
      {{u"/?"}, CmdLineHelp, M::Help, u""},
      // An option before help ends the walk first.
      {{u"/U:rtsp://a/1", u"/X", u"/H"}, CmdLineUnknownOption, M::UnknownFormat, u"rtsp://a/1"},
      {{u"/U:rtsp://a/1", u"/U:", u"/?"}, CmdLineBadValue, M::BadValue, u"rtsp://a/1"},
      // Faults without a URL show nothing and ask for one.
      {{u"/Xyz"}, CmdLineNoUrl, M::None, u""},
      // After a URL: an empty URL is a bad value, an unknown option an unknown format; the first URL stays.
      {{u"/U:rtsp://first/1", u"/U:"}, CmdLineBadValue, M::BadValue, u"rtsp://first/1"},
      {{u"/U:rtsp://cam/1", u"/Q"}, CmdLineUnknownOption, M::UnknownFormat, u"rtsp://cam/1"},
      // The later URL wins.
      {{u"/U:rtsp://first/1", u"/u:rtsp://second/2"}, CmdLineStart, M::None, u"rtsp://second/2"},
      // Arguments without a slash or too short are ignored.
      {{u"rtsp://bare/1", u"/", u"U:rtsp://x/2", u"", u"/U:rtsp://cam/3", u"-H"}, CmdLineStart, M::None,
       u"rtsp://cam/3"},
      // The key comes from before the colon only at position 2 or 3: a
      // two-letter key is not an option, at position 4 the whole rest is the
      // key, "/Help" is not help, and "/:x" leaves ":x" as the key.
      {{u"/U:rtsp://cam/1", u"/UR:rtsp://x"}, CmdLineUnknownOption, M::UnknownFormat, u"rtsp://cam/1"},
      {{u"/U:rtsp://cam/1", u"/Help"}, CmdLineUnknownOption, M::UnknownFormat, u"rtsp://cam/1"},
      {{u"/U:rtsp://cam/1", u"/:x"}, CmdLineUnknownOption, M::UnknownFormat, u"rtsp://cam/1"},
  };
  for (const Case& c : cases) {
    std::vector<std::u16string> args{u"/usr/bin/kxToneScopePreview"};
    std::string shown;
    for (const char16_t* a : c.args) {
      args.emplace_back(a);
      shown += " " + Ascii(a);
    }
    CAppCommandLine cmd;
    const CmdLineMessage message = ParseArguments(args, cmd);
    EXPECT_EQ(cmd.m_nResult, c.result) << shown;
    EXPECT_EQ(message, c.message) << shown;
    EXPECT_EQ(cmd.m_strUrl, c.url) << shown;
  }
}

TEST(CommandLine, ProcessArgumentsAreDecodedFromUtf8) {
  const char* argv[] = {"prog", "/U:rtsp://камера/1"};
  SetProcessArguments(2, argv);
  ASSERT_EQ(ProcessArguments().size(), 2u);
  EXPECT_EQ(ProcessArguments()[1], u"/U:rtsp://камера/1");
}

TEST(CommandLine, HelpBoxTextIsTheMessageABlankLineAndTheHelp) {
  const std::u16string message = u"Unknown format";
  EXPECT_TRUE(CommandLineHelpBoxText(&message).starts_with(u"Unknown format\n\nCommand line options:\n\n   /H, /?"));
  EXPECT_TRUE(CommandLineHelpBoxText(nullptr).starts_with(u"Command line options:\n\n   /H"));
}

}  // namespace
}  // namespace kx
