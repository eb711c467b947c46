// The log against real files and its real writer thread.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <list>
#include <string>
#include <thread>
#include <vector>

#include "kxSystem.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kBom = "\xEF\xBB\xBF";

// FILETIME of a local date and time, computed with the C library.
int64_t FileTime(int y, int mo, int d, int h, int mi, int s, int ms) {
  std::tm t{s, mi, h, d, mo - 1, y - 1900, 0, 0, 0, 0, nullptr};
  return (static_cast<int64_t>(timegm(&t)) * 1000 + ms) * 10000 + 116444736000000000LL;
}

std::string Header(int y, int mo, int d, int h, int mi, int s, int ms) {
  char buf[128];
  std::snprintf(buf, sizeof buf, " <=====  %02d.%02d.%d %02d:%02d:%02d:%03d ===  Start LOG  =====>\r\n\r\n", d, mo, y,
                h, mi, s, ms);
  return buf;
}

std::string Line(int h, int mi, int s, int ms, const std::string& tag, const std::string& text) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d:%03d --> ", h, mi, s, ms);
  return buf + tag + " " + text + "\r\n";
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<fs::path> FilesIn(const fs::path& dir) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(dir, ec))
    if (e.is_regular_file()) out.push_back(e.path());
  return out;
}

// Polls until `done` holds; the bound only keeps a broken build from hanging.
template <typename F>
bool WaitUntil(F done) {
  const auto end = std::chrono::steady_clock::now() + 60s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

std::u16string U16(const fs::path& p) { return ConvertUTF8ToUnicode(p.string()); }

// A clock the test moves; counts the writer's readings. While `held` the writer waits in it (events stay queued).
struct TestClock {
  std::atomic<int64_t> now{0};
  std::atomic<int> reads{0};
  std::atomic<bool> held{false};
  std::function<int64_t()> Function() {
    return [this] {
      while (held.load()) std::this_thread::sleep_for(1ms);
      reads.fetch_add(1);
      return now.load();
    };
  }
  // Waits until the writer has read the clock `ticks` more times.
  bool WaitTicks(int ticks) {
    const int seen = reads.load();
    return WaitUntil([&] { return reads.load() >= seen + ticks; });
  }
};

// Another holder of the day's file's lock: this process through its own open; -1 when taken.
int TryLock(const fs::path& file) {
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
  if (fd >= 0) ::close(fd);
  return -1;
}

// The texts of the queued events, which are freed.
std::vector<std::u16string> TakeTexts(CKxLog& log) {
  std::list<_KX_LOG_EVENT*> got;
  log.Get(got);
  std::vector<std::u16string> texts;
  for (_KX_LOG_EVENT* e : got) {
    texts.emplace_back(e->text);
    delete e;
  }
  return texts;
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir_ = fs::temp_directory_path() / ("kx_log_" + std::to_string(getpid()) + "_" + std::to_string(++serial));
    fs::remove_all(dir_);
  }
  void TearDown() override {
    clock.held = false;
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path DayFile(const std::string& name, int y, int mo, int d) const {
    char buf[32];
    std::snprintf(buf, sizeof buf, " [%04d.%02d.%02d].log", y, mo, d);
    return dir_ / (name + buf);
  }
  // Starts `log` on the day file `name` in the test's folder, the test clock at `now`.
  void Open(CKxLog& log, const char16_t* name, int64_t now) {
    clock.now = now;
    log.SetClock(clock.Function());
    log.CreateLogFile(U16(dir_), name);
  }
  fs::path dir_;
  TestClock clock;
};

TEST_F(LogTest, FreshFileHoldsBomHeaderAndOneLinePerEvent) {
  clock.now = FileTime(2026, 3, 6, 9, 5, 3, 7);
  CKxLog log;
  log.SetClock(clock.Function());
  log.Log(kxLogEventError, 0, u"before %d", 1);  // no writer yet: nothing is queued
  EXPECT_TRUE(TakeTexts(log).empty());
  log.CreateLogFile(U16(dir_ / "a" / "b"), u"ToneScope");  // missing parents are created
  log.Log(kxLogEventInfo, FileTime(2026, 3, 6, 9, 5, 3, 8), u"Started");
  log.Log(kxLogEventWarning, FileTime(2026, 3, 6, 23, 59, 59, 999), u"%d apples, %s, %5.2f%%, %x", 3, u"груши",
          2.5, 255u);
  log.Log(kxLogEventError, FileTime(2026, 3, 6, 0, 0, 0, 0), std::u16string(u"Ошибка открытия потока"));
  _KX_LOG_EVENT record{};
  record.time = FileTime(2026, 3, 6, 12, 34, 56, 789);
  record.type = kxLogEventDebug;
  std::copy_n(u"record €", 8, record.text);
  log.Log(&record);
  log.Log(static_cast<kxLogEventType>(7), FileTime(2026, 3, 6, 1, 2, 3, 4), u"seven");
  log.Log(kxLogEventInfo, INT64_MAX, u"far");  // 30828-09-14 02:48:05.477: still a line
  log.Log(kxLogEventInfo, 0, std::u16string(u"x") + char16_t(0xD800));  // unpaired surrogate
  log.Close();
  log.Log(kxLogEventInfo, 0, u"after close");
  EXPECT_TRUE(TakeTexts(log).empty());
  const fs::path file = dir_ / "a" / "b" / "ToneScope [2026.03.06].log";
  ASSERT_EQ(FilesIn(dir_), std::vector<fs::path>{file});
  EXPECT_EQ(ReadAll(file), kBom + Header(2026, 3, 6, 9, 5, 3, 7) + Line(9, 5, 3, 8, "<Info>", "Started") +
                               Line(23, 59, 59, 999, "<Warning>", "3 apples, груши,  2.50%, ff") +
                               Line(0, 0, 0, 0, "<Error>", "Ошибка открытия потока") +
                               Line(12, 34, 56, 789, "<Debug>", "record €") + Line(1, 2, 3, 4, "<Unknown>", "seven") +
                               Line(2, 48, 5, 477, "<Info>", "far") +
                               Line(0, 0, 0, 0, "<Info>", "x\xEF\xBF\xBD"));

  // Where no file can be made (under a regular file, a folder of 10,000 units, no name) nothing is written.
  std::ofstream(dir_ / "regular") << "x";
  const std::u16string longFolder = U16(dir_) + u"/" + std::u16string(10000, u'x');
  for (const auto& folder : {U16(dir_ / "regular" / "sub"), longFolder, U16(dir_)}) {
    log.CreateLogFile(folder, folder == U16(dir_) ? u"" : u"Log");
    log.Log(kxLogEventInfo, 0, u"lost");
    log.Close();
  }
  EXPECT_EQ(FilesIn(dir_).size(), 2u);  // the day's file and the regular file
}

TEST_F(LogTest, LongTextsAreCutOrDropped) {
  CKxLog log;
  Open(log, u"Cuts", FileTime(2030, 12, 31, 10, 0, 0, 0));
  const int64_t t = FileTime(2030, 12, 31, 11, 22, 33, 444);
  std::u16string text3000;
  for (int i = 0; i < 3000; ++i) text3000 += static_cast<char16_t>(u'a' + i % 26);
  log.Log(kxLogEventInfo, t, text3000);
  log.Log(kxLogEventInfo, t, u"%s", text3000.c_str());                     // too long: dropped
  log.Log(kxLogEventInfo, t, u"%s", std::u16string(2048, u'y').c_str());  // 2048: dropped
  log.Log(kxLogEventInfo, t, u"%s", std::u16string(2047, u'z').c_str());  // 2047: kept
  for (const char16_t* dropped : {u"%s", u"bad %", u"%q"}) log.Log(kxLogEventInfo, t, dropped, u"");
  int count = 0;
  log.Log(kxLogEventInfo, t, u"%n", &count);  // would write through an argument
  log.Log(kxLogEventInfo, t, static_cast<const char16_t*>(nullptr));
  // A line whose encoding passes 4094 bytes is cut to 4094 bytes or fewer, never inside a character.
  log.Log(kxLogEventWarning, t, std::u16string(2047, u'€'));
  log.Log(kxLogEventError, t, u"after");
  log.Close();
  EXPECT_EQ(count, 0);
  // The 3000-unit text is stored as 2047 units, and its line is cut to 2047 units in all (no line break).
  const std::string prefix = "11:22:33:444 --> <Info> ";
  const std::string longLine = prefix + std::string(text3000.begin(), text3000.begin() + (2047 - prefix.size()));
  const std::string z2047 = prefix + std::string(2047 - prefix.size(), 'z');
  std::string euros;
  for (int i = 0; i < 1355; ++i) euros += "\xE2\x82\xAC";  // 27 bytes of time and tag leave room for 1355
  EXPECT_EQ(ReadAll(DayFile("Cuts", 2030, 12, 31)), kBom + Header(2030, 12, 31, 10, 0, 0, 0) + longLine + z2047 +
                                                        "11:22:33:444 --> <Warning> " + euros +
                                                        Line(11, 22, 33, 444, "<Error>", "after"));
}

TEST_F(LogTest, GetHandsOverQueuedRecordsAndTheFormatFollowsPrintf) {
  CKxLog log;
  clock.held = true;  // the writer waits at its start: events stay queued
  Open(log, u"Get", FileTime(2026, 5, 5, 5, 5, 5, 5));
  log.Log(kxLogEventWarning, 42, u"one");
  _KX_LOG_EVENT full;
  full.time = 44;
  full.type = kxLogEventDebug;
  std::fill(std::begin(full.text), std::end(full.text), u'r');  // no terminator
  log.Log(&full);
  std::list<_KX_LOG_EVENT*> got{nullptr};  // entries already there are dropped
  log.Get(got);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got.front()->time, 42);
  EXPECT_EQ(got.front()->type, kxLogEventWarning);
  EXPECT_EQ(std::u16string(got.front()->text), u"one");
  EXPECT_TRUE(std::all_of(got.front()->text + 3, got.front()->text + 2048, [](char16_t c) { return c == 0; }));
  EXPECT_EQ(std::u16string(got.back()->text), std::u16string(2047, u'r'));
  for (_KX_LOG_EVENT* e : got) delete e;

  log.Log(kxLogEventInfo, 0, u"[%lld|%I64d|%llu|%zu|%hd|%hhu]", -9000000000LL, 9000000000LL,
          18446744073709551615ULL, size_t{12}, 70000, 300);
  log.Log(kxLogEventInfo, 0, u"[%x|%X|%#x|%o|%08.3f|%e|%g]", 255u, 255u, 255u, 8u, 3.14159, 1500.0, 0.0001);
  log.Log(kxLogEventInfo, 0, u"[%s|%ls|%hs|%S|%6s|%-6s|%.2s|%*d]", u"ж", u"wide", "narrow", "Ünï", u"ab", u"ab",
          u"abc", 4, 7);
  log.Log(kxLogEventInfo, 0, u"[%c%c|%%|%s]", u'Ж', u'z', static_cast<const char16_t*>(nullptr));
  // A string precision reads no further than printf would: these have no terminator.
  auto wide = std::make_unique<char16_t[]>(5);
  std::copy_n(u"abcde", 5, wide.get());
  const std::string bytes = "Прxyz";  // 4 bytes of Cyrillic, then 3 ASCII
  auto narrow = std::make_unique<char[]>(bytes.size());
  std::copy_n(bytes.data(), bytes.size(), narrow.get());
  log.Log(kxLogEventInfo, 0, u"[%.*s|%.5s|%.3s|%7.2s|%.9s]", 5, wide.get(), wide.get(), wide.get(), wide.get(),
          u"short");
  log.Log(kxLogEventInfo, 0, u"[%.*hs|%.4hs|%.2hs|%-5.6hs|%.9hs]", 7, narrow.get(), narrow.get(), narrow.get(),
          narrow.get(), "short");
  // The narrow precision counts bytes: 4 bytes are two Cyrillic letters.
  EXPECT_EQ(TakeTexts(log), (std::vector<std::u16string>{
                                u"[-9000000000|9000000000|18446744073709551615|12|4464|44]",
                                u"[ff|FF|0xff|10|0003.142|1.500000e+03|0.0001]",
                                u"[ж|wide|narrow|Ünï|    ab|ab    |ab|   7]",
                                u"[Жz|%|(null)]",
                                u"[abcde|abcde|abc|     ab|short]",
                                u"[Прxyz|Пр|П|Прxy |short]",
                            }));
  log.Log(kxLogEventInfo, FileTime(2026, 5, 5, 6, 0, 0, 0), u"written");
  clock.held = false;
  log.Close();
  EXPECT_EQ(ReadAll(DayFile("Get", 2026, 5, 5)),
            kBom + Header(2026, 5, 5, 5, 5, 5, 5) + Line(6, 0, 0, 0, "<Info>", "written"));
}

// An existing day's file is appended to with a header per start (a second
// CreateLogFile restarts in place); at midnight the next day's file begins without one.
TEST_F(LogTest, AppendsWithAHeaderPerStartAndMidnightStartsTheNextDaysFile) {
  fs::create_directories(dir_);
  const fs::path day1 = DayFile("Roll", 2026, 2, 28);
  const fs::path day2 = DayFile("Roll", 2026, 3, 1);
  std::ofstream(day1, std::ios::binary) << "notes\n";
  {
    CKxLog log;
    Open(log, u"Roll", FileTime(2026, 2, 28, 8, 0, 0, 0));
    log.Log(kxLogEventInfo, FileTime(2026, 2, 28, 8, 0, 0, 1), u"run 1");
  }  // the destructor stops the writer as Close does
  CKxLog log;
  const int seen = clock.reads.load();
  Open(log, u"Roll", FileTime(2026, 2, 28, 9, 30, 0, 0));
  ASSERT_TRUE(WaitUntil([&] { return clock.reads.load() > seen; }));  // the writer took its start time
  clock.now = FileTime(2026, 2, 28, 23, 59, 59, 0);
  log.CreateLogFile(U16(dir_ / ""), u"Roll");
  log.Log(kxLogEventInfo, FileTime(2026, 2, 28, 23, 59, 59, 500), u"before midnight");
  ASSERT_TRUE(WaitUntil([&] { return ReadAll(day1).find("before") != std::string::npos; }));
  clock.now = FileTime(2026, 3, 1, 0, 0, 0, 100);
  log.Log(kxLogEventWarning, FileTime(2026, 2, 28, 23, 59, 59, 900), u"late");
  ASSERT_TRUE(WaitUntil([&] { return ReadAll(day2).find("late") != std::string::npos; }));
  const int fd = TryLock(day1);  // the first day's file is closed: its lock is free again
  EXPECT_GE(fd, 0);
  if (fd >= 0) ::close(fd);
  log.Log(kxLogEventInfo, FileTime(2026, 3, 1, 0, 0, 1, 0), u"next day");
  log.Close();
  EXPECT_EQ(ReadAll(day1), "notes\n" + Header(2026, 2, 28, 8, 0, 0, 0) + Line(8, 0, 0, 1, "<Info>", "run 1") +
                               Header(2026, 2, 28, 9, 30, 0, 0) + Header(2026, 2, 28, 23, 59, 59, 0) +
                               Line(23, 59, 59, 500, "<Info>", "before midnight"));
  EXPECT_EQ(ReadAll(day2), kBom + Line(23, 59, 59, 900, "<Warning>", "late") + Line(0, 0, 1, 0, "<Info>", "next day"));
}

TEST_F(LogTest, ALockedFileIsNotWritten) {
  clock.now = FileTime(2026, 7, 7, 7, 7, 7, 7);
  const fs::path file = DayFile("Busy", 2026, 7, 7);
  CKxLog first;
  first.SetClock(clock.Function());
  first.CreateLogFile(U16(dir_), u"Busy");
  const std::string head = kBom + Header(2026, 7, 7, 7, 7, 7, 7);
  ASSERT_TRUE(WaitUntil([&] { return ReadAll(file) == head; }));
  // A second instance cannot open the first one's file and frees its events unwritten.
  CKxLog second;
  second.SetClock(clock.Function());
  second.CreateLogFile(U16(dir_), u"Busy");
  first.Log(kxLogEventInfo, FileTime(2026, 7, 7, 8, 0, 0, 0), u"from first");
  for (int i = 0; i < 100; ++i) second.Log(kxLogEventInfo, FileTime(2026, 7, 7, 8, 0, 0, 1), u"from second");
  ASSERT_TRUE(clock.WaitTicks(2));  // both writers ticked
  second.Close();
  first.Close();
  EXPECT_EQ(ReadAll(file), head + Line(8, 0, 0, 0, "<Info>", "from first"));
}

TEST_F(LogTest, CloseReturnsWhileTheWriterIsStuckOnAFifo) {
  clock.now = FileTime(2026, 11, 3, 4, 5, 6, 7);
  fs::create_directories(dir_ / "stuck");
  // The day's log path is a FIFO nobody reads: opening it for writing blocks.
  const fs::path fifo = dir_ / "stuck" / "Stuck [2026.11.03].log";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto log = std::make_unique<CKxLog>();
  log->SetClock(clock.Function());
  log->CreateLogFile(U16(dir_ / "stuck"), u"Stuck");
  ASSERT_TRUE(WaitUntil([&] { return clock.reads.load() >= 1; }));  // on its way into the open
  std::this_thread::sleep_for(50ms);
  log->Log(kxLogEventInfo, FileTime(2026, 11, 3, 4, 5, 6, 8), u"never written");
  // Close on a thread of its own, so that a hang fails the test instead of sticking it.
  std::atomic<bool> closed{false};
  std::thread closer([&] {
    log->Close();
    closed = true;
  });
  const bool returned = WaitUntil([&] { return closed.load(); });
  int reader = returned ? -1 : ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // let a broken build go on
  closer.join();
  ASSERT_TRUE(returned) << "Close waited for a writer stuck in the file system";
  // The log is usable at once in another folder, and may be destroyed while the old writer still waits.
  log->CreateLogFile(U16(dir_ / "fresh"), u"Fresh");
  log->Log(kxLogEventInfo, FileTime(2026, 11, 3, 4, 5, 7, 0), u"fresh");
  log->Close();
  EXPECT_EQ(ReadAll(dir_ / "fresh" / "Fresh [2026.11.03].log"),
            kBom + Header(2026, 11, 3, 4, 5, 6, 7) + Line(4, 5, 7, 0, "<Info>", "fresh"));
  log.reset();
  // When its open returns, the old writer ends on what it owns: it writes its header, takes no
  // event, and closes the file (the reader then sees the end). Only then may the test's clock go.
  if (reader < 0) reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  std::string got;
  ASSERT_TRUE(WaitUntil([&] {
    char buf[4096];
    const ssize_t n = ::read(reader, buf, sizeof buf);
    if (n > 0) got.append(buf, static_cast<size_t>(n));
    return n == 0 && !got.empty();  // no writer left, after the writer was there
  }));
  ::close(reader);
  EXPECT_EQ(got, kBom + Header(2026, 11, 3, 4, 5, 6, 7));
}

TEST_F(LogTest, AFailedWriteKeepsTheFileLineAlignedAndIsReportedOnce) {
  // A file-size limit makes the writes fail for real part-way through a line.
  struct sigaction ignore {}, old {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &old), 0);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  CKxLog log;
  Open(log, u"Full", FileTime(2026, 12, 1, 1, 0, 0, 0));
  const fs::path file = DayFile("Full", 2026, 12, 1);
  const std::string head = kBom + Header(2026, 12, 1, 1, 0, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return ReadAll(file) == head; }));
  auto event = [](int i) { return Line(2, 0, 0, i, "<Info>", "event " + std::to_string(10 + i)); };
  rlimit low = saved;
  low.rlim_cur = head.size() + 3 * event(0).size() + event(0).size() / 2;  // room for three and a half lines
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
  for (int i = 0; i < 20; ++i) log.Log(kxLogEventInfo, FileTime(2026, 12, 1, 2, 0, 0, i), u"event %d", 10 + i);
  const bool ticked = clock.WaitTicks(2);  // a whole tick took them
  const std::string during = ReadAll(file);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ASSERT_TRUE(ticked);
  log.Log(kxLogEventInfo, FileTime(2026, 12, 1, 3, 0, 0, 0), u"after 1");
  ASSERT_TRUE(clock.WaitTicks(3));
  log.Log(kxLogEventInfo, FileTime(2026, 12, 1, 3, 0, 0, 1), u"after 2");
  log.Close();
  ::sigaction(SIGXFSZ, &old, nullptr);
  // The cut line was taken back; the 17 events that did not fit are reported
  // once, by the first batch that could be written.
  const std::string fitted = head + event(0) + event(1) + event(2);
  EXPECT_EQ(during, fitted);
  EXPECT_EQ(ReadAll(file), fitted + Line(1, 0, 0, 0, "<Warning>", "17 lines could not be written to the log") +
                               Line(3, 0, 0, 0, "<Info>", "after 1") + Line(3, 0, 0, 1, "<Info>", "after 2"));
}

TEST_F(LogTest, BurstFromFourThreadsIsWrittenInOrder) {
  constexpr int kProducers = 4, kPerProducer = 25000;
  for (bool waitForAll : {true, false}) {
    SCOPED_TRACE(waitForAll ? "written whole" : "closed at once");
    CKxLog log;
    Open(log, waitForAll ? u"Whole" : u"Cut", FileTime(2026, 6, 1, 11, 0, 0, 0));
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
      producers.emplace_back([&log, p] {
        for (int i = 0; i < kPerProducer; ++i)
          log.Log(kxLogEventInfo, FileTime(2026, 6, 1, 12, 0, 0, 0), u"producer %d event %d", p, i);
      });
    }
    for (auto& t : producers) t.join();
    const fs::path file = DayFile(waitForAll ? "Whole" : "Cut", 2026, 6, 1);
    if (waitForAll) {
      ASSERT_TRUE(WaitUntil([&] {
        const std::string s = ReadAll(file);
        return std::count(s.begin(), s.end(), '\n') >= kProducers * kPerProducer + 2;
      }));
    }
    log.Close();
    const std::string s = ReadAll(file);
    const std::string head = kBom + Header(2026, 6, 1, 11, 0, 0, 0);
    ASSERT_EQ(s.substr(0, head.size()), head);
    std::vector<int> next(kProducers, 0);
    for (size_t pos = head.size(), end; pos < s.size(); pos = end + 2) {
      end = s.find("\r\n", pos);
      ASSERT_NE(end, std::string::npos) << "unterminated line at " << pos;
      const std::string line = s.substr(pos, end - pos);
      int p = -1, i = -1;
      char tail = 0;
      ASSERT_EQ(std::sscanf(line.c_str(), "12:00:00:000 --> <Info> producer %d event %d%c", &p, &i, &tail), 2) << line;
      ASSERT_TRUE(p >= 0 && p < kProducers && i == next[p]) << line;
      next[p] = i + 1;
    }
    EXPECT_TRUE(!waitForAll || next == std::vector<int>(kProducers, kPerProducer));
  }
}

}  // namespace
