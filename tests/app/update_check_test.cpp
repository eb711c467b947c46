// The update check against a real web site on 127.0.0.1 (HTTP and HTTPS), a real question box and the
// desktop's URL opener with BROWSER set to a script that records what it is asked to open.
#include "app/update_check.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTimer>
#include <vector>

#include "ui_test_support.h"
#include "version_site.h"

namespace kx {
namespace {

using namespace std::chrono_literals;
using Outcome = CUpdateCheck::EOutcome;
using test::Document;
using test::VersionSite;
using test::WaitFor;

constexpr char kInstalled[] = "01.00.0040.0000";

// The stand-in browser: Qt hands it the address without xdg-open, xdg-open's generic mode too. No desktop's
// own choice (xdg-open asks the mime defaults before BROWSER; a real browser would start).
struct QtEnvironment : test::UiEnvironment {
  QtEnvironment() : UiEnvironment(nullptr) {}
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    const QString script = dir_.filePath("browser.sh");
    const QString body = QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" >> '%1'\n").arg(BrowserLog());
    ASSERT_TRUE(test::WriteBytes(script, body.toUtf8()));
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("BROWSER", script.toUtf8());
    UiEnvironment::SetUp();
    for (const char* name : {"XDG_DATA_DIRS", "XDG_DATA_HOME", "XDG_CONFIG_DIRS", "XDG_CONFIG_HOME"})
      qputenv(name, dir_.filePath("no-desktop").toUtf8());
    qunsetenv("XDG_CURRENT_DESKTOP");
  }
  static QString BrowserLog() { return dir_.filePath("opened.txt"); }
  static inline QTemporaryDir dir_;
};
const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

struct CheckResult {
  Outcome outcome = Outcome::Failed;
  std::vector<QString> questions;  // texts of every question box shown
  int idle_ticks = 0;              // timer ticks the event loop ran during the check
};

// Runs one check from a shown window and answers any question box with `answer`.
CheckResult RunCheck(const QUrl& url, QMessageBox::StandardButton answer = QMessageBox::No,
                     const QString& installed = QString::fromLatin1(kInstalled),
                     std::chrono::milliseconds timeout = 10s) {
  QWidget window;
  window.resize(320, 200);
  window.show();
  CheckResult result;
  bool finished = false;
  auto* check = new CUpdateCheck(&window, url, installed, timeout);
  QObject::connect(check, &CUpdateCheck::Finished, [&](Outcome o) {
    result.outcome = o;
    finished = true;
  });
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    ++result.idle_ticks;
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      result.questions.push_back(box->text());
      EXPECT_EQ(box->icon(), QMessageBox::Information);
      EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
      box->button(answer)->click();
    }
  });
  answerer.start(10);
  check->Start();
  EXPECT_TRUE(WaitFor([&] { return finished; })) << "the check never ended";
  return result;
}

QString Question(const char* installed, const char* published) {
  return QStringLiteral(
             "The version of the installed software %1 is less than on the manufacturer's website %2.\n"
             "It is recommended to update the software. Download the new version of the software ?")
      .arg(QLatin1String(installed), QLatin1String(published));
}

TEST(UpdateCheckAddress, MakerSiteOrTheUsersValueWhole) {
  EXPECT_EQ(VersionDocumentUrl(std::nullopt).toString(), KX_MAKER_SITE "/source/ver_kxSetupToneScope.xml");
  const QString mirror = "http://mirror.lan:8080/v.xml";
  EXPECT_EQ(VersionDocumentUrl(mirror).toString(), mirror);
  EXPECT_TRUE(VersionDocumentUrl(QStringLiteral("  ")).isEmpty());
}

// A newer version asks with both versions (a two-number installed version reads with build 0); equal asks
// nothing; what is no version document, a missing file, a closed port and no address end silently.
TEST(UpdateCheck, AsksOnlyForANewerPublishedVersion) {
  VersionSite site;
  QTcpServer probe, silent;  // nothing listens on the first; the second accepts and never answers
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost) && silent.listen(QHostAddress::LocalHost));
  const QUrl closed(QStringLiteral("http://127.0.0.1:%1/v.xml").arg(probe.serverPort()));
  probe.close();
  struct Case {
    const char* name;
    QByteArray body;  // none: not put on the site
    const char* installed;
    Outcome outcome;
    QString question;
    QUrl url = {};  // none: the site's file of the case
  };
  const Case cases[] = {
      {"build", Document(1, 0, 41), kInstalled, Outcome::Declined, Question("1.0.40", "1.0.41")},
      {"short", Document(1, 0, 1), "1.0", Outcome::Declined, Question("1.0.0", "1.0.1")},
      {"equal", Document(1, 0, 40), kInstalled, Outcome::UpToDate, {}},
      {"missing", {}, kInstalled, Outcome::Failed, {}},
      {"html", "<html><body>Not a version</body></html>", kInstalled, Outcome::Failed, {}},
      // A newer version buried after far more than a version document holds.
      {"huge", QByteArray(200 * 1024, ' ') + Document(9, 0, 0), kInstalled, Outcome::Failed, {}},
      {"closed port", {}, kInstalled, Outcome::Failed, {}, closed},
      {"silent", {}, kInstalled, Outcome::TimedOut, {}, QString("http://127.0.0.1:%1/v.xml").arg(silent.serverPort())},
      {"no address", {}, kInstalled, Outcome::NoCheck, {}}};
  for (const Case& c : cases) {
    const QString file = QString("/%1.xml").arg(c.name);
    if (!c.body.isNull()) site.Put(file.mid(1), c.body);
    const QUrl url = c.outcome == Outcome::NoCheck ? QUrl() : c.url.isEmpty() ? site.Http(file) : c.url;
    const bool silence = c.outcome == Outcome::TimedOut;
    const CheckResult r = RunCheck(url, QMessageBox::No, QString::fromLatin1(c.installed), silence ? 1500ms : 10s);
    EXPECT_EQ(r.outcome, c.outcome) << c.name;
    EXPECT_EQ(r.questions, c.question.isEmpty() ? std::vector<QString>{} : std::vector<QString>{c.question}) << c.name;
    EXPECT_TRUE(!silence || r.idle_ticks > 10) << "the event loop ran all along (a 10 ms timer over 1.5 s)";
  }
  EXPECT_TRUE(site.Requests().contains("GET /missing.xml 404"));
}

TEST(UpdateCheck, RedirectsFollowedOnlyToHttps) {
  VersionSite site(/*tls=*/true);
  site.Put("newer.xml", Document(1, 0, 41));
  QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
  conf.addCaCertificates(site.Cert());
  QSslConfiguration::setDefaultConfiguration(conf);

  // Plain http to https: followed, and the question comes.
  CheckResult r = RunCheck(site.Http("/redirect?to=" + QUrl::toPercentEncoding(site.Https("/newer.xml").toString())));
  EXPECT_EQ(r.outcome, Outcome::Declined);
  ASSERT_EQ(r.questions.size(), 1u);
  EXPECT_EQ(r.questions[0], Question("1.0.40", "1.0.41"));

  // To plain http: refused before the target is asked for.
  r = RunCheck(site.Http("/redirect?to=" + QUrl::toPercentEncoding(site.Http("/newer.xml").toString())));
  EXPECT_EQ(r.outcome, Outcome::Failed);
  EXPECT_TRUE(r.questions.empty());
  int direct = 0;
  for (const QString& line : site.Requests()) direct += line.startsWith("GET /newer.xml") ? 1 : 0;
  EXPECT_EQ(direct, 1) << site.Requests().join('\n').toStdString();  // only over https, the first time
}

TEST(UpdateCheck, YesOpensOnlyWebLinks) {
  if (QGuiApplication::platformName() != QLatin1String("xcb"))
    GTEST_SKIP() << "the desktop's URL opener needs the X server of the test peers";
  VersionSite site;
  QFile::remove(QtEnvironment::BrowserLog());
  for (const char* link : {"file:///etc/passwd", "javascript:alert(1)", "",
                           "https://www.example.test/kxSetupToneScope.deb?x=1&amp;y=2"}) {
    site.Put("v.xml", Document(2, 0, 0, link));
    const CheckResult r = RunCheck(site.Http("/v.xml"), QMessageBox::Yes);
    EXPECT_EQ(r.questions.size(), 1u) << link;
    EXPECT_EQ(r.outcome, *link == 'h' ? Outcome::Opened : Outcome::NotOpenable) << link;
  }
  // The browser starts detached: the web link is the only thing it was ever given.
  ASSERT_TRUE(WaitFor([] { return !test::FileBytes(QtEnvironment::BrowserLog()).isEmpty(); })) << "no browser started";
  EXPECT_EQ(test::FileBytes(QtEnvironment::BrowserLog()), "https://www.example.test/kxSetupToneScope.deb?x=1&y=2\n");
}

}  // namespace
}  // namespace kx
