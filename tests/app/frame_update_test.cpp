// The program as a user meets it, with the update check pointed at a version
// site on 127.0.0.1 (UpdateUrl): the window comes first, the question when
// the answer does, once per run; F1 opens the about box; the backstage holds
// the options page. Screenshots of the backstage's Options page in English
// and Russian, and of the measurement panel over a bright and a dark picture.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <mutex>
#include <optional>

#include "common/app_log.h"
#include "app/ribbon_table.h"
#include "dialogs/camera_info_bar.h"
#include "dialogs/about_dlg.h"
#include "dialogs/measure_panel.h"
#include "dialogs/options_page.h"
#include "ui/backstage.h"
#include "ui/lang_id.h"
#include "ui/ribbon.h"
#include "ui/translation_manager.h"
#include "program_fixture.h"
#include "version_site.h"

namespace kx {
namespace {

using test::Document;
using test::VersionSite;
using test::WaitFor;

auto* const kEnv =
    ::testing::AddGlobalTestEnvironment(new test::ProgramEnvironment(QStringLiteral(KX_TRANSLATIONS_BUILD_DIR)));

class ProgramUpdate : public test::ProgramTest {
 protected:
  void Start() { StartProgram(); }
  static QMessageBox* OpenBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
  }
};

TEST_F(ProgramUpdate, WindowFirstThenOneQuestion) {
  VersionSite site;
  site.Put("ver_kxSetupToneScope.xml", Document(1, 0, 41));
  Store("UpdateUrl", site.Http("/ver_kxSetupToneScope.xml").toString());
  // The question runs its own event loop: a timer answers it from there.
  QString question;
  QWidget* questionParent = nullptr;
  bool shownFirst = false;
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    if (QMessageBox* box = OpenBox()) {
      question = box->text();
      questionParent = box->parentWidget();
      shownFirst = Main() && Main()->isVisible();
      box->button(QMessageBox::No)->click();
    }
  });
  answerer.start(20);
  Start();
  // Start-up returned with the window shown and no question yet: the check
  // did not hold it up.
  EXPECT_TRUE(Main()->isVisible());
  EXPECT_TRUE(question.isEmpty());
  ASSERT_TRUE(WaitFor([&] { return !question.isEmpty(); })) << "no question came";
  EXPECT_TRUE(shownFirst);
  EXPECT_TRUE(question.startsWith("The version of the installed software 1.0.40 is less than on the manufacturer's "
                                  "website 1.0.41."))
      << question.toStdString();
  EXPECT_EQ(questionParent, Main());
  question.clear();

  // Shown again (minimised and restored): no second check in this run.
  Main()->hide();
  Main()->show();
  QTest::qWait(500);
  EXPECT_TRUE(question.isEmpty());
  EXPECT_EQ(site.Requests().size(), 1) << site.Requests().join('\n').toStdString();
}

TEST_F(ProgramUpdate, EmptyUpdateUrlTurnsTheCheckOff) {
  VersionSite site;
  site.Put("ver_kxSetupToneScope.xml", Document(9, 0, 0));
  Store("UpdateUrl", "");
  Start();
  QTest::qWait(1000);
  EXPECT_EQ(OpenBox(), nullptr);
  EXPECT_TRUE(site.Requests().isEmpty());
}

void ShowOptions(CMainFrame* frame) {
  ui::Backstage* backstage = frame->Backstage();
  ASSERT_TRUE(backstage);
  backstage->Open();
  int optionsRow = -1;
  for (int row = 0; row < backstage->List()->count(); ++row)
    if (qobject_cast<CBackStagePageOptions*>(backstage->Page(row))) optionsRow = row;
  ASSERT_EQ(optionsRow, 0) << "the options page is the backstage's first entry";
  backstage->SetCurrentRow(optionsRow);
  QCoreApplication::processEvents();
}

TEST_F(ProgramUpdate, BackstageOptionsPageAndAboutOnF1) {
  Store("UpdateUrl", "");
  const QString folder = QDir::home().filePath("kx-user-data");
  Store("FolderLog", folder);
  Start();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Main()));
  ShowOptions(Main());
  auto* page = Main()->findChild<CBackStagePageOptions*>();
  ASSERT_TRUE(page);
  EXPECT_TRUE(page->isVisible());
  EXPECT_EQ(page->Item<QLineEdit>(CBackStagePageOptions::IDC_FOLDER)->text(), folder);
  QDir().mkpath(QStringLiteral(KX_ARTIFACTS_DIR));
  EXPECT_TRUE(Main()->grab().save(KX_ARTIFACTS_DIR "/backstage_options_en.png"));
  Main()->Backstage()->Close();

  bool sawAbout = false;
  int iconPixels = 0, iconArea = 0;
  QTimer::singleShot(0, [&] {
    QTimer* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [&, poll] {
      if (auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
        sawAbout = true;
        // The program's own icon is painted in its frame.
        const QImage shot = about->grab().toImage();
        const QRect frame = about->GetDlgItem(CAboutDlg::IDC_ICON)->geometry();
        const QColor background = about->palette().color(QPalette::Window);
        for (int y = frame.top(); y <= frame.bottom(); ++y)
          for (int x = frame.left(); x <= frame.right(); ++x, ++iconArea)
            iconPixels += shot.pixelColor((QPointF(x, y) * shot.devicePixelRatio()).toPoint()) != background;
        QDir().mkpath(QStringLiteral(KX_ARTIFACTS_DIR));
        about->grab().save(KX_ARTIFACTS_DIR "/about_in_program.png");
        QTest::keyClick(about, Qt::Key_Return);
        poll->deleteLater();
      }
    });
    poll->start(20);
  });
  Main()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(Main()));
  QTest::keyClick(Main(), Qt::Key_F1);
  EXPECT_TRUE(WaitFor([&] { return sawAbout; }));
  EXPECT_GT(iconPixels, iconArea / 3) << iconPixels << " of " << iconArea;
}

// Esc by keyboard, wherever the focus is in the backstage: it closes the
// view, and the options page shows again next time; in full screen the
// first Esc leaves full screen.
TEST_F(ProgramUpdate, EscClosesTheBackstageAndLeavesFullScreenOnlyInIt) {
  Store("UpdateUrl", "");
  Start();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Main()));
  Main()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(Main()));
  ui::Backstage* backstage = Main()->Backstage();
  auto* page = Main()->findChild<CBackStagePageOptions*>();
  ASSERT_TRUE(backstage && page);
  auto* folder = page->Item<QLineEdit>(CBackStagePageOptions::IDC_FOLDER);
  auto pressEsc = [] {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_TRUE(focus);
    QTest::keyClick(focus, Qt::Key_Escape);
  };
  for (bool inPage : {false, true}) {
    QTest::mouseClick(Main()->Ribbon()->MainButton(), Qt::LeftButton);
    ASSERT_TRUE(backstage->IsOpen());
    EXPECT_TRUE(page->isVisible()) << "in page " << inPage;
    if (inPage) folder->setFocus();
    pressEsc();
    EXPECT_FALSE(backstage->IsOpen()) << "in page " << inPage;
  }
  QTest::mouseClick(Main()->Ribbon()->MainButton(), Qt::LeftButton);
  EXPECT_TRUE(page->isVisible());

  QTest::keyClick(Main(), Qt::Key_F11);
  ASSERT_TRUE(Main()->isFullScreen());
  pressEsc();
  EXPECT_FALSE(Main()->isFullScreen());
  EXPECT_TRUE(backstage->IsOpen());
  pressEsc();
  EXPECT_FALSE(backstage->IsOpen());
}

TEST_F(ProgramUpdate, BackstageOptionsPageInRussianAndTheLogInEnglish) {
  Store("UpdateUrl", "");
  ASSERT_TRUE(CRegistryManager().WriteProfileInt(kSettingsSection, "UILanguage", kLangRussian));
  Start();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Main()));
  // The output list's first entry, the system's default, in Russian too.
  auto* devices = Main()->Ribbon()->Find<ui::RibbonComboBox>(ribbon::ID_DEVICE);
  ASSERT_NE(devices, nullptr);
  ASSERT_GT(devices->Count(), 1);
  EXPECT_EQ(devices->ItemText(0), QString::fromUtf8("1 - По умолчанию"));
  QDir().mkpath(QStringLiteral(KX_ARTIFACTS_DIR));
  EXPECT_TRUE(Main()->grab().save(KX_ARTIFACTS_DIR "/ribbon_ru.png"));
  ShowOptions(Main());
  auto* page = Main()->findChild<CBackStagePageOptions*>();
  ASSERT_TRUE(page);
  EXPECT_EQ(page->Item<QComboBox>(CBackStagePageOptions::IDC_LANGUAGES)->currentText(), QString::fromUtf8("Русский"));
  QDir().mkpath(QStringLiteral(KX_ARTIFACTS_DIR));
  EXPECT_TRUE(Main()->grab().save(KX_ARTIFACTS_DIR "/backstage_options_ru.png"));
  Main()->Backstage()->Close();

  // The info bar speaks Russian; the codec lines of the log stay English.
  std::mutex lock;
  QStringList logged;
  SetAppLogObserver([&](kxLogEventType, const std::u16string& line) {
    std::lock_guard<std::mutex> hold(lock);
    logged << QString::fromStdU16String(line);
  });
  Main()->OnRibbonCommand(static_cast<int>(ribbon::ID_PREVIEW_START));
  EXPECT_TRUE(WaitFor([&] { return Main()->InfoBar()->AudioText().startsWith(QString::fromUtf8("Кодек: [AAC")); }))
      << Main()->InfoBar()->AudioText().toStdString();
  SetAppLogObserver(nullptr);
  const QString all = logged.join('\n');
  EXPECT_TRUE(all.contains("Video codec: Codec: [")) << all.toStdString();
  EXPECT_TRUE(all.contains("Audio codec: Codec: [AAC")) << all.toStdString();
  EXPECT_FALSE(all.contains(QString::fromUtf8("Кодек"))) << all.toStdString();
  g_LangMgr.SetLanguage(kLangEnglishUS);
}

// The measurement panel as a user sees it, beside a bright and a dark picture,
// in English and Russian (and at 200 % in a second run): figures of the
// camera's sound, the verdict in colour, every text whole.
struct Shot {
  const char* name;
  uint16_t language;
  const char* mount;
  measure::Severity first;  // the severity of the camera's finding
  const char* firstText;    // its translated beginning
};

void PrintTo(const Shot& shot, std::ostream* os) { *os << shot.name; }

class MeasurePanelShots : public ProgramUpdate, public ::testing::WithParamInterface<Shot> {};

TEST_P(MeasurePanelShots, FiguresAndVerdictFitAndAreTranslated) {
  const Shot& shot = GetParam();
  Store("UpdateUrl", "");
  Store("MeasurePanel", "1");
  ASSERT_TRUE(CRegistryManager().WriteProfileInt(kSettingsSection, "UILanguage", shot.language));
  StartProgram(shot.mount);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Main()));
  CMeasurePanel* panel = Main()->MeasurePanel();
  ASSERT_TRUE(panel && panel->isVisible());
  Main()->OnRibbonCommand(ribbon::ID_PREVIEW_START);
  // The camera's finding (a gap in a loaded machine's stream may come before it).
  auto expected = [&]() -> std::optional<CMeasurePanel::Line> {
    for (const auto& line : panel->VerdictLines())
      if (line.text.startsWith(QString::fromUtf8(shot.firstText))) return line;
    return std::nullopt;
  };
  ASSERT_TRUE(WaitFor([&] { return panel->CurrentState() == CMeasurePanel::State::Figures && expected(); }))
      << (panel->VerdictLines().empty() ? std::string("no verdict") : panel->VerdictLines()[0].text.toStdString());
  EXPECT_EQ(expected()->color, CMeasurePanel::SeverityColor(shot.first));
  QTest::qWait(1500);  // short-term loudness has its 3 s
  for (QLabel* label : panel->findChildren<QLabel*>()) {
    if (!label->isVisible() || label->wordWrap()) continue;
    EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
  }
  // The picture shows the tab with the panel's two commands.
  Main()->Ribbon()->SetActiveCategory(Main()->Ribbon()->CategoryCount() - 1);
  QCoreApplication::processEvents();
  QDir().mkpath(QStringLiteral(KX_ARTIFACTS_DIR));
  EXPECT_TRUE(Main()->grab().save(QString(KX_ARTIFACTS_DIR "/measure_panel_%1%2.png")
                                      .arg(shot.name, qEnvironmentVariable("KX_SHOT_SUFFIX"))));
  g_LangMgr.SetLanguage(kLangEnglishUS);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, MeasurePanelShots,
    ::testing::Values(Shot{"en_bright", kLangEnglishUS, "/mdeadright", measure::Severity::Fault, "The right channel"},
                      Shot{"en_dark", kLangEnglishUS, "/mdarkhum", measure::Severity::Warning, "Mains hum at 50 Hz"},
                      Shot{"ru_bright", kLangRussian, "/mdeadright", measure::Severity::Fault, "Правый канал"},
                      Shot{"ru_dark", kLangRussian, "/mdarkhum", measure::Severity::Warning, "Сетевой фон 50 Гц"},
                      Shot{"en_lipsync", kLangEnglishUS, "/sync300", measure::Severity::Fault, "Lip sync: the sound is"},
                      Shot{"ru_lipsync", kLangRussian, "/sync120", measure::Severity::Warning, "Звук отстаёт от картинки"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kx
