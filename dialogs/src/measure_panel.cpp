#include "dialogs/measure_panel.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace kx {

using measure::Finding;
using measure::Severity;
using measure::SoundFigures;

namespace {

const QColor kGood(110, 208, 122);
const QColor kQuiet(165, 170, 178);

// The row whose value a finding is about (its value takes the finding's colour).
int RowOf(const std::string& code) {
  if (code == "silent" || code == "silence_gap") return CMeasurePanel::kSilence;
  if (code == "clipping") return CMeasurePanel::kClipping;
  if (code == "dead_channel") return CMeasurePanel::kBalance;
  if (code == "too_quiet" || code == "too_loud") return CMeasurePanel::kIntegrated;
  if (code == "hum") return CMeasurePanel::kHum;
  if (code == "dc_offset") return CMeasurePanel::kDcOffset;
  if (code == "inverted_polarity") return CMeasurePanel::kCorrelation;
  if (code == "narrow_band") return CMeasurePanel::kBandwidth;
  if (code == "lip_sync") return CMeasurePanel::kAvOffset;
  return -1;
}

}  // namespace

CMeasurePanel::CMeasurePanel(QWidget* parent) : QWidget(parent), m_timer(new QTimer(this)) {
  setObjectName("MeasurePanel");
  setAutoFillBackground(true);
  m_timer->setInterval(kRefreshMs);
  connect(m_timer, &QTimer::timeout, this, &CMeasurePanel::Refresh);

  auto* content = new QWidget;
  auto* column = new QVBoxLayout(content);
  column->setContentsMargins(10, 8, 10, 8);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(14);
  grid->setVerticalSpacing(3);
  grid->setColumnStretch(0, 1);
  // The figures in their order; an entry without a row opens a section.
  static const struct {
    int row;
    const char* text;
  } kRows[] = {
      {kMeasured, QT_TR_NOOP("Measured for")},        {-1, QT_TR_NOOP("Loudness")},
      {kIntegrated, QT_TR_NOOP("Integrated")},        {kMomentary, QT_TR_NOOP("Momentary")},
      {kShortTerm, QT_TR_NOOP("Short-term")},         {kRange, QT_TR_NOOP("Loudness range")},
      {kTruePeak, QT_TR_NOOP("True peak")},           {kSamplePeak, QT_TR_NOOP("Sample peak")},
      {-1, QT_TR_NOOP("Signal")},                     {kClipping, QT_TR_NOOP("Clipping")},
      {kDcOffset, QT_TR_NOOP("DC offset")},           {kNoiseFloor, QT_TR_NOOP("Noise floor")},
      {kHum, QT_TR_NOOP("Mains hum")},                {kBandwidth, QT_TR_NOOP("Bandwidth")},
      {kSilence, QT_TR_NOOP("Silence")},              {-1, QT_TR_NOOP("Channels")},
      {kBalance, QT_TR_NOOP("Balance L-R")},          {kCorrelation, QT_TR_NOOP("Correlation")},
      // From a flash and a beep held in front of the camera together.
      {-1, QT_TR_NOOP("Lip sync")},                   {kAvOffset, QT_TR_NOOP("Sound after picture")},
      {kAvSpread, QT_TR_NOOP("Spread")},              {kAvPairs, QT_TR_NOOP("Flash and beep pairs")},
  };
  int line = 0;
  for (const auto& r : kRows) {
    if (r.row < 0)
      AddSection(grid, line, tr(r.text));
    else
      AddRow(grid, line, static_cast<Row>(r.row), tr(r.text));
  }
  // The verdict first: it is what a person checking a camera looks for, and
  // it stays in sight when the window is too low for every figure.
  QGridLayout* head = new QGridLayout;
  int headLine = 0;
  AddSection(head, headLine, tr("Verdict"));
  column->addLayout(head);
  m_verdictBox = new QVBoxLayout;
  m_verdictBox->setSpacing(4);
  m_verdictBox->setContentsMargins(0, 0, 0, 8);
  column->addLayout(m_verdictBox);
  column->addLayout(grid);
  column->addStretch(1);

  // The values change ten times a second: their column is as wide as the
  // widest value it can show, so nothing moves while they do.
  const QFontMetrics fm(font());
  int valueWidth = 0;
  for (const QString& widest : {tr("%1 LUFS").arg("-188.8"), tr("%1 dBTP").arg("-188.8"),
                                tr("%1 Hz, %2 dBFS").arg(60).arg("-188.8"), tr("%1 (%2 %)").arg(99999999).arg("0.000"),
                                tr("now %1 s").arg("8888.8"), tr("longest %1 s").arg("8888.8")})
    valueWidth = std::max(valueWidth, fm.horizontalAdvance(widest));
  for (QLabel* value : m_values) value->setMinimumWidth(valueWidth);

  auto* scroll = new QScrollArea(this);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setWidgetResizable(true);
  scroll->setWidget(content);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(scroll);
  // Wide enough for every row and a scroll bar, when the window is too low for them all.
  setFixedWidth(content->sizeHint().width() + scroll->verticalScrollBar()->sizeHint().width());
  Show({});
}

void CMeasurePanel::AddSection(QGridLayout* grid, int& line, const QString& title) {
  auto* label = new QLabel(title);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  label->setContentsMargins(0, line ? 8 : 0, 0, 0);
  grid->addWidget(label, line++, 0, 1, 2);
}

void CMeasurePanel::AddRow(QGridLayout* grid, int& line, Row row, const QString& label) {
  m_labels[row] = new QLabel(label);
  m_values[row] = new QLabel;
  m_values[row]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  grid->addWidget(m_labels[row], line, 0);
  grid->addWidget(m_values[row], line++, 1);
}

void CMeasurePanel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Refresh();
  m_timer->start();
}

void CMeasurePanel::hideEvent(QHideEvent* event) {
  m_timer->stop();
  QWidget::hideEvent(event);
}

void CMeasurePanel::Refresh() {
  if (m_source) Show(m_source());
}

void CMeasurePanel::Show(const MeasureReading& reading) {
  if (reading.figures) {
    m_state = State::Figures;
    ShowValues(*reading.figures);
    return;
  }
  ClearValues();
  m_state = !reading.playing ? State::Stopped : !reading.audio ? State::NoAudio : State::Waiting;
  const QString text = m_state == State::Stopped   ? tr("The preview is stopped")
                       : m_state == State::NoAudio ? tr("No audio in this stream")
                                                   : tr("Measuring...");
  SetVerdict({{text, kQuiet}});
}

void CMeasurePanel::ShowValues(const SoundFigures& f) {
  const QLocale loc = locale();
  auto number = [&](double v, int decimals, bool sign = false) {
    if (std::isnan(v)) return QStringLiteral("\u2014");
    if (std::isinf(v)) return QString(v < 0 ? "-\u221e" : "+\u221e");
    if (std::abs(v) < 0.5 * std::pow(10.0, -decimals)) v = 0;  // no "-0.0"
    QString s = loc.toString(v, 'f', decimals);
    if (sign && v > 0) s.prepend('+');
    return s;
  };
  auto unit = [&](const QString& format, double v, int decimals = 1) {
    return std::isnan(v) ? QStringLiteral("\u2014") : format.arg(number(v, decimals));
  };
  const double s = f.seconds;
  m_values[kMeasured]->setText(s < 60 ? tr("%1 s").arg(number(s, 1))
                                      : tr("%1 min %2 s").arg(static_cast<int>(s / 60)).arg(static_cast<int>(s) % 60));
  // Below the absolute gate (-70 LUFS) a loudness figure is near-silence
  // arithmetic (-314 LUFS between two beeps), shown as the silence it is.
  auto loudness = [&](double v) { return unit(tr("%1 LUFS"), v < -70 ? -INFINITY : v); };
  m_values[kIntegrated]->setText(loudness(f.integratedLufs));
  m_values[kMomentary]->setText(loudness(f.momentaryLufs));
  m_values[kShortTerm]->setText(loudness(f.shortTermLufs));
  m_values[kRange]->setText(unit(tr("%1 LU"), f.loudnessRangeLu));
  m_values[kTruePeak]->setText(unit(tr("%1 dBTP"), f.truePeakDbtp));
  m_values[kSamplePeak]->setText(unit(tr("%1 dBFS"), f.samplePeakDbfs));
  m_values[kClipping]->setText(f.clippedSamples == 0 ? QStringLiteral("0")
                                                     : tr("%1 (%2 %)")
                                                           .arg(loc.toString(static_cast<qlonglong>(f.clippedSamples)))
                                                           .arg(number(100 * f.clippedShare, 3)));
  m_values[kDcOffset]->setText(unit(tr("%1 dBFS"), f.dcOffsetDbfs));
  m_values[kNoiseFloor]->setText(unit(tr("%1 dBFS"), f.noiseFloorDbfs));
  m_values[kHum]->setText(f.humHz == 0 ? tr("none") : tr("%1 Hz, %2 dBFS").arg(f.humHz).arg(number(f.humDbfs, 1)));
  m_values[kBandwidth]->setText(f.bandwidthHz >= 1000 ? tr("%1 kHz").arg(number(f.bandwidthHz / 1000, 1))
                                                      : unit(tr("%1 Hz"), f.bandwidthHz, 0));
  // Stretches shorter than the tenth of a second shown are not worth a word.
  m_values[kSilence]->setText(f.currentSilenceS >= 0.1   ? tr("now %1 s").arg(number(f.currentSilenceS, 1))
                              : f.longestSilenceS >= 0.1 ? tr("longest %1 s").arg(number(f.longestSilenceS, 1))
                                                         : tr("none"));
  // A dead channel has no balance: the row says which one it is.
  m_values[kBalance]->setText(f.channels[0].dead   ? tr("left silent")
                              : f.channels[1].dead ? tr("right silent")
                              : std::isnan(f.balanceDb) ? QStringLiteral("\u2014")
                                                        : tr("%1 dB").arg(number(f.balanceDb, 1, true)));
  m_values[kCorrelation]->setText(number(f.correlation, 2, true));
  // No offset before three pairs: one or two could be a chance coincidence.
  const measure::AvSyncFigures& sync = f.avSync;
  const bool synced = sync.verdict != measure::AvSyncVerdict::None;
  m_values[kAvOffset]->setText(synced ? tr("%1 ms").arg(number(sync.offsetMs, 0, true)) : QStringLiteral("\u2014"));
  m_values[kAvSpread]->setText(synced ? tr("%1 ms").arg(number(sync.spreadMs, 0)) : QStringLiteral("\u2014"));
  m_values[kAvPairs]->setText(loc.toString(sync.pairs));

  // The verdict, and each finding's row in its colour.
  QColor rowColor[kRowCount];
  std::vector<Line> lines;
  for (const Finding& finding : f.verdict) {
    const QColor color = SeverityColor(finding.severity);
    lines.push_back({FindingText(finding, f, m_thresholds, loc), color});
    const int row = RowOf(finding.code);
    if (row >= 0 && !rowColor[row].isValid()) rowColor[row] = color;
  }
  if (lines.empty()) lines.push_back({tr("No problems found"), kGood});
  if (sync.verdict == measure::AvSyncVerdict::Ok) rowColor[kAvOffset] = kGood;
  for (int row = 0; row < kRowCount; ++row)
    m_values[row]->setStyleSheet(rowColor[row].isValid() ? QString("color: %1").arg(rowColor[row].name()) : QString());
  SetVerdict(lines);
}

void CMeasurePanel::ClearValues() {
  for (QLabel* value : m_values) {
    value->setText(QStringLiteral("\u2014"));
    value->setStyleSheet({});
  }
}

void CMeasurePanel::SetVerdict(const std::vector<Line>& lines) {
  // Labels are reused: a refresh ten times a second must not rebuild widgets.
  while (m_verdict.size() < lines.size()) {
    auto* label = new QLabel;
    label->setWordWrap(true);
    m_verdictBox->addWidget(label);
    m_verdict.push_back(label);
  }
  for (size_t i = 0; i < m_verdict.size(); ++i) {
    QLabel* label = m_verdict[i];
    if (i < lines.size()) {
      if (label->text() != lines[i].text) label->setText(lines[i].text);
      label->setStyleSheet(QString("color: %1").arg(lines[i].color.name()));
      label->show();
    } else {
      label->hide();
    }
  }
  m_verdictLines = lines;
}

QString CMeasurePanel::RowLabel(Row row) const { return m_labels[row]->text(); }
QString CMeasurePanel::ValueText(Row row) const { return m_values[row]->text(); }
std::vector<CMeasurePanel::Line> CMeasurePanel::VerdictLines() const { return m_verdictLines; }

QColor CMeasurePanel::SeverityColor(Severity severity) {
  switch (severity) {
    case Severity::Fault:
      return QColor(255, 100, 96);
    case Severity::Warning:
      return QColor(250, 196, 64);
    case Severity::Info:
      break;
  }
  return QColor(112, 182, 255);
}

QString CMeasurePanel::FindingText(const Finding& finding, const SoundFigures& f, const measure::Thresholds& t,
                                   const QLocale& loc) {
  auto n = [&](double v, int decimals) { return loc.toString(v, 'f', decimals); };
  const std::string& c = finding.code;
  if (c == "silent")
    return tr("No sound above %1 dBFS for %2 s").arg(n(t.silenceLevelDbfs, 0), n(f.currentSilenceS, 1));
  if (c == "silence_gap")
    return tr("The sound stopped for %1 s (nothing above %2 dBFS)").arg(n(f.longestSilenceS, 1), n(t.silenceLevelDbfs, 0));
  if (c == "clipping")
    return tr("Clipping: %1 samples at full scale (%2 %)")
        .arg(loc.toString(static_cast<qlonglong>(f.clippedSamples)), n(100 * f.clippedShare, 3));
  if (c == "dead_channel")
    return f.channels[0].dead ? tr("The left channel is dead") : tr("The right channel is dead");
  if (c == "too_quiet")
    return std::isfinite(f.integratedLufs) ? tr("Too quiet: %1 LUFS integrated").arg(n(f.integratedLufs, 1))
                                           : tr("Too quiet: below the loudness gate");
  if (c == "too_loud") return tr("Too loud: %1 LUFS integrated").arg(n(f.integratedLufs, 1));
  if (c == "hum") return tr("Mains hum at %1 Hz, %2 dBFS").arg(f.humHz).arg(n(f.humDbfs, 1));
  if (c == "dc_offset") return tr("DC offset %1 dBFS").arg(n(f.dcOffsetDbfs, 1));
  if (c == "inverted_polarity")
    return tr("The channels are in opposite polarity (correlation %1)").arg(n(f.correlation, 2));
  if (c == "narrow_band") return tr("Narrow band: sound reaches %1 Hz").arg(n(f.bandwidthHz, 0));
  if (c == "lip_sync")
    return f.avSync.offsetMs >= 0 ? tr("Lip sync: the sound is %1 ms late").arg(n(f.avSync.offsetMs, 0))
                                  : tr("Lip sync: the sound is %1 ms early").arg(n(-f.avSync.offsetMs, 0));
  return QString::fromStdString(finding.text);
}

}  // namespace kx
