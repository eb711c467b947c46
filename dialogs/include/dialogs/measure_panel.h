// The panel of sound measurements beside the preview: the figures of the
// measurement engine and its verdict, each finding coloured by severity and
// worded in the user's language (the engine's own texts stay English, for the
// log and the probe). While shown it reads its source ten times a second.
#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QLocale>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "monitor/sound_figures.h"
#include "monitor/thresholds.h"

class QGridLayout;
class QLabel;
class QTimer;
class QVBoxLayout;

namespace kx {

// One reading of the source: the newest figures (none yet since the last
// reset), whether the preview runs and whether its stream has sound.
struct MeasureReading {
  std::optional<measure::SoundFigures> figures;
  bool playing = false;
  bool audio = false;
};

class CMeasurePanel : public QWidget {
  Q_DECLARE_TR_FUNCTIONS(CMeasurePanel)
 public:
  static constexpr int kRefreshMs = 100;

  // The rows, top to bottom.
  enum Row {
    kMeasured, kIntegrated, kMomentary, kShortTerm, kRange, kTruePeak, kSamplePeak,
    kClipping, kDcOffset, kNoiseFloor, kHum, kBandwidth, kSilence, kBalance, kCorrelation,
    kAvOffset, kAvSpread, kAvPairs, kRowCount
  };
  // What the panel says instead of a verdict when there are no figures.
  enum class State { Figures, Stopped, NoAudio, Waiting };

  explicit CMeasurePanel(QWidget* parent = nullptr);

  void SetSource(std::function<MeasureReading()> source) { m_source = std::move(source); }
  // The limits the translated finding texts quote.
  void SetThresholds(const measure::Thresholds& thresholds) { m_thresholds = thresholds; }
  // Reads the source and shows it now (the timer does this while shown).
  void Refresh();
  void Show(const MeasureReading& reading);

  State CurrentState() const { return m_state; }
  QString RowLabel(Row row) const;
  QString ValueText(Row row) const;
  struct Line {
    QString text;
    QColor color;
  };
  // The verdict as shown: the state's text, "no problems" or the findings.
  std::vector<Line> VerdictLines() const;

  // A finding in the user's language, from its code and the figures (the
  // engine's English text when the code is unknown); numbers in `locale`.
  static QString FindingText(const measure::Finding& finding, const measure::SoundFigures& figures,
                             const measure::Thresholds& thresholds, const QLocale& locale = QLocale());
  static QColor SeverityColor(measure::Severity severity);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void AddSection(QGridLayout* grid, int& line, const QString& title);
  void AddRow(QGridLayout* grid, int& line, Row row, const QString& label);
  void ShowValues(const measure::SoundFigures& f);
  void ClearValues();
  void SetVerdict(const std::vector<Line>& lines);

  std::function<MeasureReading()> m_source;
  measure::Thresholds m_thresholds;
  State m_state = State::Stopped;
  QTimer* m_timer;
  QLabel* m_labels[kRowCount] = {};
  QLabel* m_values[kRowCount] = {};
  QVBoxLayout* m_verdictBox = nullptr;
  std::vector<QLabel*> m_verdict;
  std::vector<Line> m_verdictLines;
};

}  // namespace kx
