// The measurement panel: findings worded as the engine words them, the states without figures,
// and a finding's row in its colour.
#include <gtest/gtest.h>

#include <QLabel>
#include <set>
#include <tuple>

#include "ui_test_support.h"
#include "dialogs/measure_panel.h"
#include "monitor/av_sync.h"
#include "monitor/verdict.h"

namespace kx {
namespace {

using measure::Severity;
using measure::SoundFigures;

auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::UiEnvironment("offscreen"));

// Figures that give every finding between them (silent and silence_gap, too
// quiet and too loud exclude each other).
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
  EXPECT_EQ(panel.ValueText(CMeasurePanel::kMeasured), "30.0 s");
  // The hum row in the warning's colour, the peak row (no finding) in the text's own.
  auto styleOf = [&](const QString& text) {
    for (QLabel* label : panel.findChildren<QLabel*>())
      if (label->text() == text) return label->styleSheet();
    return QString("no such label");
  };
  EXPECT_EQ(styleOf("60 Hz, -41.3 dBFS"), "color: " + CMeasurePanel::SeverityColor(Severity::Warning).name());
  EXPECT_EQ(styleOf(panel.ValueText(CMeasurePanel::kTruePeak)), "");
  EXPECT_EQ(panel.ValueText(CMeasurePanel::kAvSpread), "3 ms");
  EXPECT_EQ(styleOf("+131 ms"), "color: " + CMeasurePanel::SeverityColor(Severity::Fault).name());

  f = SoundFigures{};
  f.seconds = 75;
  f.avSync.pairs = 2;  // too few for a figure
  panel.Show({f, true, true});
  EXPECT_EQ(panel.ValueText(CMeasurePanel::kAvOffset), QString::fromUtf8("\u2014"));
  EXPECT_EQ(panel.ValueText(CMeasurePanel::kAvPairs), "2");
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
