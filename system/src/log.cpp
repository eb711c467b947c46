// The log: producers queue copies of their events; a writer thread appends
// them once a second to the day's UTF-8 file.
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <future>
#include <system_error>
#include <vector>

#include "kxSystem.h"
#include "wide_format.h"

namespace {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int64_t kFileTimeUnixEpoch = 116444736000000000;  // 1970-01-01 in FILETIME units
constexpr int64_t kDaysFrom1601To1970 = 134774;
constexpr size_t kTextUnits = 2047;
constexpr size_t kLineUnits = 2047;
constexpr size_t kLineBytes = 4094;
// A stopping writer goes on writing what it holds for kStopGrace, then drops
// the rest; Close waits kStopWait for it before leaving it to itself.
constexpr milliseconds kStopGrace{400};
constexpr milliseconds kStopWait{700};

struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};

// Splits a FILETIME without any time-zone conversion; times before 1601 read
// as its first instant.
LocalTime Split(int64_t fileTime) {
  if (fileTime < 0) fileTime = 0;
  const int64_t ms = fileTime / 10000;
  const int64_t msOfDay = ms % 86400000;
  // Civil date from days since 1970-01-01 (proleptic Gregorian).
  const int64_t z = ms / 86400000 - kDaysFrom1601To1970 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return LocalTime{static_cast<int>(year), static_cast<int>(month), static_cast<int>(day),
                   static_cast<int>(msOfDay / 3600000), static_cast<int>(msOfDay / 60000 % 60),
                   static_cast<int>(msOfDay / 1000 % 60), static_cast<int>(msOfDay % 1000)};
}

bool SameDate(const LocalTime& a, const LocalTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day;
}

std::u16string Ascii16(const char* s) {
  std::u16string out;
  for (; *s; ++s) out += static_cast<char16_t>(static_cast<unsigned char>(*s));
  return out;
}

const char16_t* Tag(kxLogEventType type) {
  switch (type) {
    case kxLogEventInfo: return u"<Info>";
    case kxLogEventWarning: return u"<Warning>";
    case kxLogEventError: return u"<Error>";
    case kxLogEventDebug: return u"<Debug>";
    default: return u"<Unknown>";
  }
}

// A line is cut to 2047 units, encoded, and cut to at most 4094 bytes. The
// byte cut backs off to a character boundary so the file stays valid UTF-8.
void AppendEncodedLine(std::string& out, std::u16string line) {
  if (line.size() > kLineUnits) line.resize(kLineUnits);
  std::string bytes = ConvertUnicodeToUTF8(line);
  if (bytes.size() > kLineBytes) {
    size_t cut = kLineBytes;
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80) --cut;
    bytes.resize(cut);
  }
  out += bytes;
}

std::u16string HeaderLine(int64_t fileTime) {
  const LocalTime t = Split(fileTime);
  char buf[128];
  std::snprintf(buf, sizeof buf, " <=====  %02d.%02d.%d %02d:%02d:%02d:%03d ===  Start LOG  =====>\r\n\r\n", t.day,
                t.month, t.year, t.hour, t.minute, t.second, t.millisecond);
  return Ascii16(buf);
}

void AppendEventLine(std::string& out, int64_t time, kxLogEventType type, std::u16string_view text) {
  const LocalTime t = Split(time);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d:%03d --> ", t.hour, t.minute, t.second, t.millisecond);
  std::u16string line = Ascii16(buf);
  line += Tag(type);
  line += u' ';
  line += text.substr(0, text.find(u'\0'));
  line += u"\r\n";
  AppendEncodedLine(out, std::move(line));
}

std::string Utf8Path(const std::u16string& path) { return ConvertUnicodeToUTF8(path); }

bool CheckFolder(const std::u16string& folder) {
  std::error_code ec;
  return !folder.empty() && std::filesystem::is_directory(std::filesystem::path(Utf8Path(folder)), ec);
}

// Creates the folder with every missing parent.
bool CheckAndCreateFolder(const std::u16string& folder) {
  if (folder.empty()) return false;
  if (CheckFolder(folder)) return true;
  std::string path = Utf8Path(folder);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path), ec);
  return !ec && CheckFolder(folder);
}

// Resets itself when a wait sees it due; the first due time, then a period.
class CAutoResetTimer {
 public:
  CAutoResetTimer(milliseconds firstDue, milliseconds period)
      : m_due(SteadyClock::now() + firstDue), m_period(period) {}

  // True when the timer fell due within `maxWait`.
  bool Wait(milliseconds maxWait) {
    std::unique_lock<std::mutex> lock(m_cs);
    const auto limit = std::min(m_due, SteadyClock::now() + maxWait);
    m_cv.wait_until(lock, limit, [this] { return SteadyClock::now() >= m_due; });
    const auto now = SteadyClock::now();
    if (now < m_due) return false;
    // Periods missed while the owner was busy collapse into this one signal.
    do m_due += m_period;
    while (m_due <= now);
    return true;
  }

 private:
  std::mutex m_cs;
  std::condition_variable m_cv;
  SteadyClock::time_point m_due;
  const milliseconds m_period;
};

// The day's file, held with an exclusive advisory lock: a second running
// writer on the same file cannot open it. It holds whole lines only: a write
// that fails part-way is cut back to the end of its last whole line.
class CLogFile {
 public:
  CLogFile() = default;
  CLogFile(const CLogFile&) = delete;
  CLogFile& operator=(const CLogFile&) = delete;
  ~CLogFile() { Close(); }

  bool Open(const std::u16string& name) {
    Close();
    const int fd = ::open(Utf8Path(name).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    struct stat st {};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &st) != 0) {
      ::close(fd);
      return false;
    }
    m_fd = fd;
    m_midLine = false;
    // The byte-order mark begins a new file; an existing one keeps its start.
    if (st.st_size == 0) WriteAll("\xEF\xBB\xBF");
    return true;
  }

  bool IsOpen() const { return m_fd >= 0; }

  // Writes `bytes`, whose lines end at the offsets `ends`; returns how many
  // of those lines did not get into the file (0 when all did).
  size_t WriteLines(std::string_view bytes, const std::vector<size_t>& ends) {
    if (m_fd < 0) return ends.size();
    if (m_midLine) {
      // A cut line that could not be taken back is at least ended.
      if (WriteAll("\r\n") != 2) return ends.size();
      m_midLine = false;
    }
    const off_t start = ::lseek(m_fd, 0, SEEK_END);
    const size_t done = WriteAll(bytes);
    if (done == bytes.size()) return 0;
    const size_t whole = static_cast<size_t>(std::upper_bound(ends.begin(), ends.end(), done) - ends.begin());
    const size_t kept = whole > 0 ? ends[whole - 1] : 0;
    if (done > kept && (start < 0 || ::ftruncate(m_fd, start + static_cast<off_t>(kept)) != 0)) m_midLine = true;
    return ends.size() - whole;
  }

  void Close() {
    if (m_fd >= 0) ::close(m_fd);  // releases the lock
    m_fd = -1;
  }

 private:
  // Bytes written before the first failure.
  size_t WriteAll(std::string_view bytes) {
    size_t done = 0;
    while (m_fd >= 0 && done < bytes.size()) {
      const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // disk full, file too large, I/O error
      done += static_cast<size_t>(n);
    }
    return done;
  }

  int m_fd = -1;
  bool m_midLine = false;
};

std::u16string LogFileName(const std::u16string& folder, const std::u16string& name, const LocalTime& date) {
  char buf[32];
  std::snprintf(buf, sizeof buf, " [%4d.%.2d.%.2d].log", date.year, date.month, date.day);
  std::u16string file = folder + name + Ascii16(buf);
  if (file.size() > 259) file.resize(259);
  return file;
}

int64_t SteadyNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now().time_since_epoch()).count();
}

}  // namespace

int64_t kxLocalFileTimeNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  const int64_t units = std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count() / 100;
  return units + static_cast<int64_t>(local.tm_gmtoff) * 10000000 + kFileTimeUnixEpoch;
}

// One run of the writer thread. The thread holds it (and the queue) by shared
// ownership, so a writer left stuck in the file system by Close finishes on
// state of its own whenever its call returns.
struct CKxLog::Writer {
  std::shared_ptr<CKxLogQueue> queue;
  uint64_t consumer = 0;  // its name at the queue
  std::u16string folder, name;
  std::function<int64_t()> clock;
  kxLogType logType = kxLogTypeNone;
  std::atomic<bool> run{true};
  // Steady-clock time (ns) after which a stopping writer drops what it has
  // not written yet.
  std::atomic<int64_t> stopDeadline{0};
  std::mutex cs;  // guards `done`
  std::condition_variable ended;
  bool done = false;

  bool StopDeadlinePassed() const {
    if (run.load(std::memory_order_acquire)) return false;
    return SteadyNanos() >= stopDeadline.load(std::memory_order_relaxed);
  }
};

CKxLog::CKxLog() : m_queue(std::make_shared<CKxLogQueue>()), m_clock(kxLocalFileTimeNow) {}

CKxLog::~CKxLog() {
  StopWriter();
  ClearLogList();
}

void CKxLog::SetClock(std::function<int64_t()> clock) {
  m_clock = clock ? std::move(clock) : std::function<int64_t()>(kxLocalFileTimeNow);
}

void CKxLog::StopWriter() {
  m_bRun.store(false, std::memory_order_release);
  std::shared_ptr<Writer> writer = std::move(m_writer);
  if (writer) {
    writer->stopDeadline.store(SteadyNanos() + std::chrono::nanoseconds(kStopGrace).count(),
                               std::memory_order_relaxed);
    writer->run.store(false, std::memory_order_release);
    bool done;
    {
      std::unique_lock<std::mutex> lock(writer->cs);
      done = writer->ended.wait_for(lock, kStopWait, [&] { return writer->done; });
    }
    // From here on the old writer takes nothing from the queue.
    m_queue->SetConsumer(0);
    if (m_hThread.joinable()) {
      if (done)
        m_hThread.join();
      else
        m_hThread.detach();  // stuck in the file system: it ends by itself
    }
  }
  m_dwThreadId = 0;
}

void CKxLog::CreateLogFile(std::u16string folder, std::u16string name) {
  StopWriter();
  m_logType.store(kxLogTypeNone);
  ClearLogList();
  m_logType.store(kxLogTypeFile);
  m_strFolder = kxNormalizePath(std::move(folder));
  m_strName = std::move(name);
  if (!CheckAndCreateFolder(m_strFolder) || m_strName.empty()) return;

  auto writer = std::make_shared<Writer>();
  writer->queue = m_queue;
  writer->consumer = ++m_nWriterRuns;
  writer->folder = m_strFolder;
  writer->name = m_strName;
  writer->clock = m_clock;
  writer->logType = m_logType.load();
  m_queue->SetConsumer(writer->consumer);
  std::promise<uint32_t> started;
  std::future<uint32_t> id = started.get_future();
  try {
    m_hThread = std::thread([writer, &started] {
      pthread_setname_np(pthread_self(), "kx-log");  // to tell it apart in top and perf
      started.set_value(static_cast<uint32_t>(::gettid()));
      LogThreadProc(writer);
    });
  } catch (const std::system_error&) {
    m_queue->SetConsumer(0);
    return;  // no thread: open without a writer
  }
  m_dwThreadId = id.get();
  m_writer = std::move(writer);
  m_bRun.store(true, std::memory_order_release);
}

void CKxLog::Close() {
  StopWriter();
  m_logType.store(kxLogTypeNone);
  ClearLogList();
}

kxLogType CKxLog::GetLogType() const { return m_logType.load(); }

void CKxLog::Log(kxLogEventType type, int64_t time, std::u16string message) {
  if (!m_bRun.load(std::memory_order_acquire)) return;
  m_queue->Push(time, type, std::u16string_view(message).substr(0, kTextUnits));
}

void CKxLog::Log(kxLogEventType type, int64_t time, const char16_t* format, ...) {
  if (format == nullptr || !m_bRun.load(std::memory_order_acquire)) return;
  std::u16string text;
  va_list args;
  va_start(args, format);
  const bool ok = kxsys::VFormat16(text, kTextUnits, format, args);
  va_end(args);
  // An error, a message that would not fit, or nothing at all is not logged.
  if (!ok || text.empty()) return;
  Log(type, time, std::move(text));
}

void CKxLog::Log(const _KX_LOG_EVENT* event) {
  if (event == nullptr || !m_bRun.load(std::memory_order_acquire)) return;
  // A record without its terminator is not read past its last unit.
  const char16_t* end = std::find(event->text, event->text + kTextUnits, u'\0');
  m_queue->Push(event->time, event->type, std::u16string_view(event->text, end - event->text));
}

void CKxLog::Get(std::list<_KX_LOG_EVENT*>& list) {
  list.clear();
  m_queue->Drain([&list](int64_t time, kxLogEventType type, std::u16string_view text) {
    auto* record = new _KX_LOG_EVENT{};  // zero-filled past the text
    record->time = time;
    record->type = type;
    std::copy_n(text.data(), std::min(text.size(), kTextUnits), record->text);
    list.push_back(record);
  });
}

void CKxLog::ClearLogList() {
  m_queue->Drain([](int64_t, kxLogEventType, std::u16string_view) {});
}

void CKxLog::LogThreadProc(const std::shared_ptr<Writer>& writer) {
  Writer& w = *writer;
  const kxLogType logType = w.logType;
  CAutoResetTimer timer(milliseconds(1), milliseconds(1000));
  const int64_t started = w.clock();
  LocalTime date = Split(started);
  CLogFile file;
  if (logType == kxLogTypeFile && file.Open(LogFileName(w.folder, w.name, date))) {
    std::string header;
    AppendEncodedLine(header, HeaderLine(started));
    file.WriteLines(header, {header.size()});
  }

  // Lines are written in blocks; after a failure the rest of the batch is
  // only counted, and the count is reported once writing works again.
  std::string buffer;
  std::vector<size_t> ends;  // where each line of the buffer ends
  size_t lost = 0;
  bool failed = false;
  bool warningFirst = false;  // the buffer begins with the report of `lost`
  auto flush = [&] {
    if (buffer.empty()) return;
    size_t notWritten = failed ? ends.size() : file.WriteLines(buffer, ends);
    if (notWritten > 0) failed = true;
    if (warningFirst) {
      if (notWritten < ends.size())
        lost = 0;  // the report got out
      else
        --notWritten;  // the report itself is no event
      warningFirst = false;
    }
    lost += notWritten;
    buffer.clear();
    ends.clear();
  };
  auto writeQueued = [&] {
    failed = false;
    const bool mine = w.queue->Drain(w.consumer, [&](int64_t time, kxLogEventType type, std::u16string_view text) {
      if (!file.IsOpen() || w.StopDeadlinePassed()) return;
      if (lost > 0 && buffer.empty() && ends.empty() && !failed) {
        const std::u16string line = Ascii16(std::to_string(lost).c_str()) + u" lines could not be written to the log";
        AppendEventLine(buffer, w.clock(), kxLogEventWarning, line);
        ends.push_back(buffer.size());
        warningFirst = true;
      }
      AppendEventLine(buffer, time, type, text);
      ends.push_back(buffer.size());
      if (buffer.size() >= 64 * 1024) flush();
    });
    if (mine) flush();
    return mine;
  };

  while (w.run.load(std::memory_order_acquire)) {
    if (!timer.Wait(milliseconds(100))) continue;
    if (logType == kxLogTypeFile) {
      const LocalTime now = Split(w.clock());
      if (!SameDate(now, date)) {
        date = now;
        file.Close();
        file.Open(LogFileName(w.folder, w.name, date));  // no header in a day's continuation
      }
    }
    if (!writeQueued()) break;  // given up by the log
  }
  // What is still queued is written into the current file.
  if (!w.StopDeadlinePassed()) writeQueued();
  file.Close();
  std::lock_guard<std::mutex> lock(w.cs);
  w.done = true;
  w.ended.notify_all();
}
