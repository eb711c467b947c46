// The about box, the options page (real folders, settings sandbox, bookmarks, log) and the measure panel.
#include "dialogs/about_dlg.h"
#include "dialogs/measure_panel.h"
#include "dialogs/options_page.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <set>
#include <tuple>

#include "ui_test_support.h"
#include "common/version_info.h"
#include "dialogs_test_support.h"
#include "monitor/av_sync.h"
#include "monitor/verdict.h"
#include "ui/link_button.h"
#include "ui/registry_manager.h"
#include "ui/theme.h"

namespace kx {
namespace {

using P = CBackStagePageOptions;
using test::WaitFor;

auto* const kUi = ::testing::AddGlobalTestEnvironment(new test::UiEnvironment(nullptr));

// Answers every modal box that comes during `action` with `button`; the boxes seen, in order.
struct Box {
  QString text;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons;
};
std::vector<Box> AnswerBoxes(const std::function<void()>& action, QMessageBox::StandardButton button = QMessageBox::Ok) {
  std::vector<Box> boxes;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      boxes.push_back({box->text(), box->icon(), box->standardButtons()});
      box->button(button)->click();
    }
  });
  poll.start(10);
  action();
  return boxes;
}

QStringList LogFiles(const QString& folder) {
  return QDir(folder).entryList({QStringLiteral("ToneScope *.log")}, QDir::Files);
}

QString UserValue(const char* key) { return CRegistryManager().GetProfileStringW(kSettingsSection, key, "unset"); }
QString MachineFolderLog() {
  return CRegistryManager(CRegistryManager::Scope::Machine).GetProfileStringW(kDevicesSection, "FolderLog", "unset");
}

class OptionsPage : public ::testing::Test {
 protected:
  void SetUp() override {
    SetVisualTheme(*qApp);
    ASSERT_TRUE(dir_.isValid());
    folder_ = dir_.filePath("old");
    ASSERT_TRUE(QDir().mkpath(folder_));
    bookmarks_.SetFolder(folder_.toStdU16String());
    bookmarks_.Add(u"Hall", u"rtsp://127.0.0.1:8554/hall");
    bookmarks_.Add(u"Двор", u"rtsp://127.0.0.1:8554/yard");
    ASSERT_TRUE(bookmarks_.Save());
    log_.CreateLogFile(folder_.toStdU16String(), u"ToneScope");
    ASSERT_TRUE(test::UseLanguage(kLangEnglishUS));
  }
  void TearDown() override {
    log_.Close();
    test::UseLanguage(kLangEnglishUS);
  }

  // The page in a main window the size of the program's, as the backstage shows it.
  std::unique_ptr<QMainWindow> Host(P** page) {
    auto window = std::make_unique<QMainWindow>();
    *page = new P(g_LangMgr, CUserData{folder_, bookmarks_, log_});
    window->setCentralWidget(*page);
    window->resize(1100, 620);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return window;
  }
  // The user's settings file cannot be written while its folder is a file.
  void BlockUserSettings(bool blocked) {
    QDir().mkpath(sandbox_.Path() + "/user");
    QFile blocker(sandbox_.Path() + "/user/KEXAR");
    if (blocked)
      ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    else
      ASSERT_TRUE(blocker.remove());
  }
  // Types `folder` into the field and applies it; the text of the box that came, which has `icon`.
  QString ApplyFolder(P* page, const QString& folder, QMessageBox::Icon icon = QMessageBox::Warning) {
    auto* edit = page->Item<QLineEdit>(P::IDC_FOLDER);
    edit->setFocus();
    edit->selectAll();
    if (folder.toLatin1() == folder.toUtf8())
      QTest::keyClicks(edit, folder);
    else
      edit->insert(folder);  // QTest types ASCII only; other text goes in as a paste would
    auto* apply = page->Item<QPushButton>(P::IDC_FOLDER_APPLY);
    EXPECT_TRUE(apply->isEnabled());
    const auto boxes = AnswerBoxes([&] { QTest::mouseClick(apply, Qt::LeftButton); });
    EXPECT_FALSE(apply->isEnabled());
    EXPECT_LE(boxes.size(), 1u);
    if (boxes.empty()) return {};
    EXPECT_EQ(boxes[0].icon, icon);
    return boxes[0].text;
  }

  test::SettingsSandbox sandbox_;
  QTemporaryDir dir_;
  QString folder_;
  CBookmark bookmarks_;
  CKxLog log_;
};

// The language is stored, then the restart question; a language that cannot be stored is
// reported without the question, a restart that cannot start is reported and the window stays.
TEST_F(OptionsPage, LanguageApplyStoresAsksAndRestarts) {
  ASSERT_GE(g_LangMgr.GetTranslationCount(), 2);
  const QString record = dir_.filePath("restarted.txt");
  const QString script = dir_.filePath("kxToneScopePreview");
  {
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("#!/bin/sh\npwd > '%1'\n").arg(record).toUtf8());
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  const QString missing = dir_.filePath("no-such-program");
  P* page = nullptr;
  auto window = Host(&page);
  page->SetRestartProgram(missing);
  auto* combo = page->Item<QComboBox>(P::IDC_LANGUAGES);
  auto* apply = page->Item<QPushButton>(P::IDC_LANGUAGE_APPLY);
  ASSERT_EQ(combo->count(), g_LangMgr.GetTranslationCount());
  EXPECT_EQ(combo->itemText(combo->currentIndex()), "English");
  EXPECT_EQ(combo->itemText(1), QString::fromUtf8("Русский"));  // sorted by name
  combo->setFocus();
  QTest::keyClick(combo, Qt::Key_Down);
  EXPECT_EQ(page->PickedLanguage(), kLangRussian);
  EXPECT_TRUE(apply->isEnabled());

  BlockUserSettings(true);
  auto boxes = AnswerBoxes([&] { QTest::mouseClick(apply, Qt::LeftButton); });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "The language cannot be stored in the settings file:\n" + sandbox_.UserFile() +
                               "\nThe program keeps its language.");
  EXPECT_TRUE(apply->isEnabled());

  BlockUserSettings(false);
  boxes = AnswerBoxes([&] { QTest::mouseClick(apply, Qt::LeftButton); });
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "To change the language, you need to restart the application!\nRestart the application now?");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Information);
  EXPECT_EQ(boxes[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
  EXPECT_TRUE(boxes[1].text.startsWith("The program cannot be restarted:\n" + missing + "\n")) << boxes[1].text.toStdString();
  EXPECT_EQ(UserValue("UILanguage").toInt(), kLangRussian);
  EXPECT_FALSE(apply->isEnabled());

  // OK: a new instance starts in the program's folder and the window closes.
  page->SetRestartProgram(script);
  QTest::keyClick(combo, Qt::Key_Up);
  boxes = AnswerBoxes([&] { QTest::keyClick(apply, Qt::Key_Space); });
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(WaitFor([&] { return !window->isVisible(); }));
  ASSERT_TRUE(WaitFor([&] { return QFileInfo(record).size() > 0; })) << "the new instance was not started";
  QFile f(record);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll().trimmed(), QDir(dir_.path()).canonicalPath().toUtf8());
}

TEST_F(OptionsPage, ApplyMovesBookmarksAndLogToANewFolder) {
  P* page = nullptr;
  auto window = Host(&page);
  // Like a normal user first: the machine-wide file cannot be written, and is not needed.
  QFile machine(sandbox_.Path() + "/system");
  ASSERT_TRUE(machine.open(QIODevice::WriteOnly));
  machine.close();
  const QString mine = dir_.filePath("mine");
  EXPECT_EQ(ApplyFolder(page, mine), QString());
  EXPECT_EQ(folder_, mine);
  EXPECT_EQ(UserValue("FolderLog"), mine);
  EXPECT_EQ(test::LoadBookmarks(mine).GetCount(), 2);
  ASSERT_TRUE(machine.remove());

  // The next folder holds bookmarks of its own: they are kept aside, and the user told.
  const QString target = dir_.filePath("new/deeper/Данные");
  const QByteArray theirs = "<Bookmark><Item Name=\"theirs\" Url=\"rtsp://t\"/></Bookmark>";
  ASSERT_TRUE(QDir().mkpath(target));
  {
    QFile f(target + "/Bookmark.xml");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(theirs);
  }
  EXPECT_EQ(ApplyFolder(page, target, QMessageBox::Information),
            "The new folder already held a bookmark file. It is kept as:\n" + target + "/Bookmark.xml.previous");
  QFile previous(target + "/Bookmark.xml.previous");
  ASSERT_TRUE(previous.open(QIODevice::ReadOnly));
  EXPECT_EQ(previous.readAll(), theirs);
  EXPECT_EQ(folder_, target);
  EXPECT_EQ(UserValue("FolderLog"), target);
  EXPECT_EQ(MachineFolderLog(), target);
  ASSERT_EQ(test::LoadBookmarks(target).GetCount(), 2);
  EXPECT_EQ(test::LoadBookmarks(target).GetItem(1).name, u"Двор");
  // The log is re-created there with its header; the old files stay.
  ASSERT_TRUE(WaitFor([&] {
    const QStringList files = LogFiles(target);
    return !files.isEmpty() && QFileInfo(target + "/" + files[0]).size() > 0;
  })) << "no log file in the new folder";
  EXPECT_FALSE(LogFiles(dir_.filePath("old")).isEmpty());
  EXPECT_TRUE(QFile::exists(dir_.filePath("old/Bookmark.xml")));
  // What the program does next lands in the new folder.
  bookmarks_.Add(u"Gate", u"rtsp://127.0.0.1:8554/gate");
  ASSERT_TRUE(bookmarks_.Save());
  EXPECT_EQ(test::LoadBookmarks(target).GetCount(), 3);
}

// The page opens with the current state and keeps its layout; every way a move can fail says
// why and leaves folder, bookmarks, settings and log as they were.
TEST_F(OptionsPage, OpensWithTheCurrentStateAndAFailedMoveChangesNothing) {
  const QString plainFile = dir_.filePath("plain-file");
  QFile(plainFile).open(QIODevice::WriteOnly);
  ASSERT_TRUE(QDir().mkpath(dir_.filePath("taken/Bookmark.xml/inside")));  // a folder where the file must go
  struct Case {
    QString target;
    QString message;  // the box's text begins with it
    bool blockSettings;
  };
  const Case cases[] = {
      {plainFile + "/sub", "The folder for the user data cannot be created:\n" + plainFile + "/sub\n", false},
      {dir_.filePath("taken"),
       "The bookmarks cannot be saved in the folder:\n" + dir_.filePath("taken") +
           "\nThe log files and the bookmarks stay where they were.",
       false},
      {dir_.filePath("elsewhere"), "The new folder cannot be stored in the settings file:\n" + sandbox_.UserFile(), true},
      {"logs", "Give the folder for the user data as a full path, beginning with \"/\":\nlogs", false},
  };
  P* page = nullptr;
  auto window = Host(&page);
  auto* apply = page->Item<QPushButton>(P::IDC_FOLDER_APPLY);
  auto* edit = page->Item<QLineEdit>(P::IDC_FOLDER);
  auto* combo = page->Item<QComboBox>(P::IDC_LANGUAGES);
  EXPECT_EQ(edit->text(), folder_);
  EXPECT_FALSE(page->Item<QPushButton>(P::IDC_LANGUAGE_APPLY)->isEnabled());
  EXPECT_FALSE(apply->isEnabled());
  EXPECT_EQ(page->Item<QLabel>(P::IDC_VERSION)->text(), "01.00.0040.0000");
  EXPECT_EQ(page->Item<CUrlLinkButton>(P::IDC_WEB_LINK)->GetURL(), QStringLiteral(KX_MAKER_SITE));
  EXPECT_FALSE(test::SaveShot(*window, "options_en").isEmpty());

  // An edited field enables Apply; opened anew, the page starts over.
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_TRUE(apply->isEnabled());
  window->hide();
  window->show();
  EXPECT_EQ(edit->text(), folder_);
  EXPECT_FALSE(apply->isEnabled());

  // The right half keeps to the right edge, the left half stretches.
  const QRect line = page->GetDlgItem(P::IDC_VERTICAL_LINE)->geometry();
  const QRect combo0 = combo->geometry();
  window->resize(1300, 700);
  QCoreApplication::processEvents();
  EXPECT_EQ(page->GetDlgItem(P::IDC_VERTICAL_LINE)->geometry(), line.adjusted(200, 0, 200, 80));
  EXPECT_EQ(combo->geometry(), combo0.adjusted(0, 0, 200, 0));

  for (const Case& c : cases) {
    SCOPED_TRACE(c.target.toStdString());
    if (c.blockSettings) BlockUserSettings(true);
    const QString text = ApplyFolder(page, c.target);
    EXPECT_TRUE(text.startsWith(c.message)) << text.toStdString();
    EXPECT_TRUE(!c.message.endsWith('\n') || text.size() > c.message.size());  // the reason follows
    EXPECT_EQ(folder_, dir_.filePath("old"));
    EXPECT_EQ(bookmarks_.GetFile(), (dir_.filePath("old") + "/Bookmark.xml").toStdU16String());
    EXPECT_EQ(UserValue("FolderLog"), "unset");
    EXPECT_EQ(MachineFolderLog(), "unset");
    EXPECT_TRUE(LogFiles(QDir::current().filePath(c.target)).isEmpty());
    if (c.blockSettings) BlockUserSettings(false);
  }
  EXPECT_FALSE(QFileInfo::exists(QDir::current().filePath("logs")));
}

TEST_F(OptionsPage, RussianMessageAndScreenshots) {
  ASSERT_TRUE(test::UseLanguage(kLangRussian));
  P* page = nullptr;
  auto window = Host(&page);
  test::ExpectTidy(page);
  EXPECT_FALSE(test::SaveShot(*window, "options_ru").isEmpty());
  EXPECT_EQ(ApplyFolder(page, "logs"),
            QString::fromUtf8("Укажите полный путь к папке для данных пользователя, начиная с «/»:\nlogs"));
}

TEST(AboutBox, ShowsNameVersionAndNoticeInEnglishAndRussian) {
  test::SettingsSandbox sandbox;
  SetVisualTheme(*qApp);
  struct Case {
    uint16_t language;
    const char *title, *name, *shot;
  };
  for (const Case& c : {Case{kLangEnglishUS, "About kxToneScopePreview", "kxToneScopePreview, Version 1.0", "about_en"},
                        Case{kLangRussian, "О программе kxToneScopePreview", "kxToneScopePreview, версия 1.0",
                             "about_ru"}}) {
    SCOPED_TRACE(c.shot);
    ASSERT_TRUE(test::UseLanguage(c.language));
    CAboutDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8(c.title));
    EXPECT_EQ(dlg.Item<QLabel>(CAboutDlg::IDC_NAME)->text(), QString::fromUtf8(c.name));
    EXPECT_EQ(dlg.Item<QLabel>(CAboutDlg::IDC_COPYRIGHT)->text(), QString::fromStdU16String(GetLegalCopyright()));
    EXPECT_TRUE(dlg.Item<QPushButton>(kIdOk)->isDefault());
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    test::ExpectTidy(&dlg);  // the icon, as the program sets it, is checked in the program
    EXPECT_FALSE(test::SaveShot(dlg, c.shot).isEmpty());
  }
  test::UseLanguage(kLangEnglishUS);
}

using measure::Severity;
using measure::SoundFigures;

// Figures that give every finding between them (silent and silence_gap, too quiet and too loud exclude each other).
SoundFigures Troubled(bool silentNow, double integrated) {
  SoundFigures f;
  f.seconds = 30;
  f.integratedLufs = integrated;
  f.currentSilenceS = silentNow ? 2.5 : 0;
  f.silent = true;
  f.longestSilenceS = 3.04;
  f.clippedSamples = 1234;
  f.clippedShare = 0.00042;
  f.channels[1].dead = true;
  f.humHz = 60;
  f.humDbfs = -41.26;
  f.dcOffsetDbfs = -33.98;
  f.correlation = -0.97;
  f.bandwidthHz = 3912;
  f.avSync.pairs = 7;
  f.avSync.offsetMs = integrated < -40 ? -83.4 : 131.4;  // sound early, or late
  f.avSync.spreadMs = 2.6;
  f.avSync.verdict = measure::JudgeAvOffset(f.avSync.offsetMs);
  return f;
}

TEST(MeasurePanel, FindingTextsSayWhatTheEngineSays) {
  const measure::Thresholds t;
  std::set<std::string> codes;
  for (const SoundFigures& f : {Troubled(true, -23), Troubled(false, -45), Troubled(false, -INFINITY),
                                Troubled(false, -9)}) {
    for (const measure::Finding& finding : measure::MakeVerdict(f, t)) {
      codes.insert(finding.code);
      EXPECT_EQ(CMeasurePanel::FindingText(finding, f, t, QLocale::c()).toStdString(), finding.text) << finding.code;
    }
  }
  EXPECT_EQ(codes.size(), 11u) << "every code met";
  // An unknown code keeps the engine's own text.
  EXPECT_EQ(CMeasurePanel::FindingText({"new_code", Severity::Info, "Something new"}, {}, t), "Something new");
}

TEST(MeasurePanel, SaysWhyThereAreNoFiguresAndColoursTheRowOfAFinding) {
  CMeasurePanel panel;
  using S = CMeasurePanel::State;
  for (const auto& [reading, state, text] : {std::tuple{MeasureReading{{}, false, false}, S::Stopped, "The preview is stopped"},
                                             std::tuple{MeasureReading{{}, true, false}, S::NoAudio, "No audio in this stream"},
                                             std::tuple{MeasureReading{{}, true, true}, S::Waiting, "Measuring..."}}) {
    panel.Show(reading);
    EXPECT_EQ(panel.CurrentState(), state);
    ASSERT_EQ(panel.VerdictLines().size(), 1u);
    EXPECT_EQ(panel.VerdictLines()[0].text, text);
    EXPECT_EQ(panel.ValueText(CMeasurePanel::kTruePeak), QString::fromUtf8("\u2014"));
  }

  SoundFigures f = Troubled(false, -23);
  f.verdict = measure::MakeVerdict(f, {});
  panel.Show({f, true, true});
  EXPECT_EQ(panel.CurrentState(), CMeasurePanel::State::Figures);
  EXPECT_EQ(panel.VerdictLines().size(), f.verdict.size());
  EXPECT_EQ(panel.VerdictLines()[0].color, CMeasurePanel::SeverityColor(Severity::Fault));
  EXPECT_EQ(panel.ValueText(CMeasurePanel::kBalance), "right silent");
  EXPECT_EQ(panel.ValueText(CMeasurePanel::kHum), "60 Hz, -41.3 dBFS");
  // The hum row in the warning's colour, the peak row (no finding) in the text's own.
  auto styleOf = [&](const QString& text) {
    for (QLabel* label : panel.findChildren<QLabel*>())
      if (label->text() == text) return label->styleSheet();
    return QString("no such label");
  };
  EXPECT_EQ(styleOf("60 Hz, -41.3 dBFS"), "color: " + CMeasurePanel::SeverityColor(Severity::Warning).name());
  EXPECT_EQ(styleOf(panel.ValueText(CMeasurePanel::kTruePeak)), "");
  EXPECT_EQ(styleOf("+131 ms"), "color: " + CMeasurePanel::SeverityColor(Severity::Fault).name());

  f = SoundFigures{};
  f.seconds = 75;
  f.avSync.pairs = 2;  // too few for a figure
  panel.Show({f, true, true});
  EXPECT_EQ(panel.ValueText(CMeasurePanel::kAvOffset), QString::fromUtf8("\u2014"));
  f.avSync = {5, -12.2, 8, measure::AvSyncVerdict::Ok};  // in sync: no finding, the offset in good colour
  panel.Show({f, true, true});
  EXPECT_EQ(panel.VerdictLines().at(0).text, "No problems found");
  EXPECT_EQ(panel.ValueText(CMeasurePanel::kAvOffset), "-12 ms");
  EXPECT_NE(styleOf("-12 ms"), "");
  EXPECT_EQ(panel.ValueText(CMeasurePanel::kMeasured), "1 min 15 s");

  // Loudness under the absolute gate reads as silence; at the gate it is a figure.
  f.momentaryLufs = -314.3;
  f.shortTermLufs = -70.0;
  panel.Show({f, true, true});
  EXPECT_EQ(panel.ValueText(CMeasurePanel::kMomentary), QString::fromUtf8("-\u221e LUFS"));
  EXPECT_EQ(panel.ValueText(CMeasurePanel::kShortTerm), "-70.0 LUFS");
}

}  // namespace
}  // namespace kx
