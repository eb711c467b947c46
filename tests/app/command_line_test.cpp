// The command-line grammar, walked over argument vectors as main() gets them.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace kx {
namespace {

struct Parsed {
  CAppCommandLine cmd;
  CmdLineMessage message;
};

Parsed Parse(std::initializer_list<const char16_t*> rest) {
  std::vector<std::u16string> args{u"/usr/bin/kxToneScopePreview"};
  for (const char16_t* a : rest) args.emplace_back(a);
  Parsed p;
  p.message = ParseArguments(args, p.cmd);
  return p;
}

TEST(CommandLine, NoArgumentsLeadsToTheUrlDialogSilently) {
  Parsed p = Parse({});
  EXPECT_EQ(p.cmd.m_nResult, CmdLineNoUrl);
  EXPECT_EQ(p.message, CmdLineMessage::None);
  EXPECT_TRUE(p.cmd.m_strUrl.empty());
}

TEST(CommandLine, UrlOptionStartsWithThatUrl) {
  Parsed p = Parse({u"/U:rtsp://127.0.0.1:8554/av"});
  EXPECT_EQ(p.cmd.m_nResult, CmdLineStart);
  EXPECT_EQ(p.message, CmdLineMessage::None);
  EXPECT_EQ(p.cmd.m_strUrl, u"rtsp://127.0.0.1:8554/av");
}

TEST(CommandLine, ValueKeepsEveryColonAfterTheFirst) {
  Parsed p = Parse({u"/U:rtsp://admin:se:cret@10.0.0.7:554/ch1"});
  EXPECT_EQ(p.cmd.m_nResult, CmdLineStart);
  EXPECT_EQ(p.cmd.m_strUrl, u"rtsp://admin:se:cret@10.0.0.7:554/ch1");
}

TEST(CommandLine, HelpEndsTheWalkWhereverItStands) {
  for (const char16_t* help : {u"/H", u"/?", u"/h", u"/H:anything"}) {
    Parsed p = Parse({u"/U:rtsp://a/1", help, u"/X", u"/U:"});
    EXPECT_EQ(p.cmd.m_nResult, CmdLineHelp) << std::string(help, help + 2);
    EXPECT_EQ(p.message, CmdLineMessage::Help);
    EXPECT_EQ(p.cmd.m_strUrl, u"rtsp://a/1");
  }
  // Help alone: no URL rule applies to it.
  EXPECT_EQ(Parse({u"/?"}).cmd.m_nResult, CmdLineHelp);
}

TEST(CommandLine, AnOptionBeforeHelpEndsTheWalkFirst) {
  Parsed unknown = Parse({u"/U:rtsp://a/1", u"/X", u"/H"});
  EXPECT_EQ(unknown.cmd.m_nResult, CmdLineUnknownOption);
  EXPECT_EQ(unknown.message, CmdLineMessage::UnknownFormat);
  Parsed empty = Parse({u"/U:rtsp://a/1", u"/U:", u"/?"});
  EXPECT_EQ(empty.cmd.m_nResult, CmdLineBadValue);
  EXPECT_EQ(empty.message, CmdLineMessage::BadValue);
  EXPECT_EQ(empty.cmd.m_strUrl, u"rtsp://a/1");
}

TEST(CommandLine, FaultsWithoutUrlShowNothingAndAskForOne) {
  for (const char16_t* bad : {u"/U:", u"/U", u"/X", u"/Xyz"}) {
    Parsed p = Parse({bad});
    EXPECT_EQ(p.cmd.m_nResult, CmdLineNoUrl);
    EXPECT_EQ(p.message, CmdLineMessage::None);
  }
}

TEST(CommandLine, UrlThenEmptyUrlReportsBadValueAndKeepsTheFirst) {
  Parsed p = Parse({u"/U:rtsp://first/1", u"/U:"});
  EXPECT_EQ(p.cmd.m_nResult, CmdLineBadValue);
  EXPECT_EQ(p.message, CmdLineMessage::BadValue);
  EXPECT_EQ(p.cmd.m_strUrl, u"rtsp://first/1");
}

TEST(CommandLine, UrlThenUnknownOptionReportsUnknownFormat) {
  Parsed p = Parse({u"/U:rtsp://cam/1", u"/Q"});
  EXPECT_EQ(p.cmd.m_nResult, CmdLineUnknownOption);
  EXPECT_EQ(p.message, CmdLineMessage::UnknownFormat);
  EXPECT_EQ(p.cmd.m_strUrl, u"rtsp://cam/1");
}

TEST(CommandLine, TheLaterUrlWins) {
  Parsed p = Parse({u"/U:rtsp://first/1", u"/u:rtsp://second/2"});
  EXPECT_EQ(p.cmd.m_nResult, CmdLineStart);
  EXPECT_EQ(p.cmd.m_strUrl, u"rtsp://second/2");
}

TEST(CommandLine, ArgumentsWithoutSlashOrTooShortAreIgnored) {
  Parsed p = Parse({u"rtsp://bare/1", u"/", u"U:rtsp://x/2", u"", u"/U:rtsp://cam/3", u"-H"});
  EXPECT_EQ(p.cmd.m_nResult, CmdLineStart);
  EXPECT_EQ(p.cmd.m_strUrl, u"rtsp://cam/3");
  Parsed only = Parse({u"rtsp://bare/1"});
  EXPECT_EQ(only.cmd.m_nResult, CmdLineNoUrl);
}

TEST(CommandLine, KeyComesFromBeforeTheColonOnlyAtPositionTwoOrThree) {
  // Position 3: a two-letter key, which is not an option.
  Parsed two = Parse({u"/U:rtsp://cam/1", u"/UR:rtsp://x"});
  EXPECT_EQ(two.cmd.m_nResult, CmdLineUnknownOption);
  // Position 4: the whole rest is the key.
  Parsed three = Parse({u"/U:rtsp://cam/1", u"/URL:rtsp://x"});
  EXPECT_EQ(three.cmd.m_nResult, CmdLineUnknownOption);
  EXPECT_EQ(three.cmd.m_strUrl, u"rtsp://cam/1");
  // "/H" followed by text without a colon near the start is not help.
  Parsed helpish = Parse({u"/U:rtsp://cam/1", u"/Help"});
  EXPECT_EQ(helpish.cmd.m_nResult, CmdLineUnknownOption);
  // A colon at position 1 ("/:x") leaves the whole ":x" as the key.
  Parsed early = Parse({u"/U:rtsp://cam/1", u"/:x"});
  EXPECT_EQ(early.cmd.m_nResult, CmdLineUnknownOption);
}

TEST(CommandLine, NoArgumentVectorChangesNothing) {
  CAppCommandLine cmd;
  cmd.m_nResult = 0;
  EXPECT_EQ(ParseArguments({}, cmd), CmdLineMessage::None);
  EXPECT_EQ(cmd.m_nResult, 0);
  EXPECT_TRUE(cmd.m_strUrl.empty());
}

TEST(CommandLine, ProcessArgumentsAreDecodedFromUtf8) {
  const char* argv[] = {"prog", "/U:rtsp://камера/1"};
  SetProcessArguments(2, argv);
  ASSERT_EQ(ProcessArguments().size(), 2u);
  EXPECT_EQ(ProcessArguments()[1], u"/U:rtsp://камера/1");
}

TEST(CommandLine, HelpBoxTextIsTheMessageABlankLineAndTheHelp) {
  const std::u16string help =
      u"Command line options:\n\n   /H, /?\t\t\t- Display list of commands\n   /U:rtsp://.....\t\t- URL rtsp address\n";
  EXPECT_EQ(CommandLineHelpBoxText(nullptr), help);
  const std::u16string message = u"Unknown format";
  EXPECT_EQ(CommandLineHelpBoxText(&message), u"Unknown format\n\n" + help);
}

}  // namespace
}  // namespace kx
