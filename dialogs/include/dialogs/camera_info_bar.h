// The thin bar under the ribbon that shows what the camera stream carries:
// one line for video and one for audio, each behind its icon. It only shows
// the two texts it is given; "Information is not available" until then and
// after every reset.
#pragma once

#include <QFont>
#include <QIcon>
#include <QString>
#include <QWidget>

namespace kx {

// Makes the program's own icons (":/ICON/...") available; idempotent.
void InitProgramImages();

class CCameraInfoBar : public QWidget {
 public:
  static constexpr int kHeight = 50;
  static constexpr int kControlId = 33133;

  explicit CCameraInfoBar(QWidget* parent = nullptr);

  // Loads icons 131 and 132; a failed load keeps the icons held so far.
  // Returns false when the bar has no parent window to live in.
  bool Create(QWidget* frame);
  // Both lines back to "Information is not available" (read again from the
  // string table, so a language change shows), then a repaint.
  void Reset();
  void SetVideoText(const QString& text);
  void SetAudioText(const QString& text);
  // The run's event counts, right of the video line; empty hides them.
  void SetEventsText(const QString& text);

  const QString& VideoText() const { return m_strVideo; }
  const QString& AudioText() const { return m_strAudio; }
  const QString& EventsText() const { return m_strEvents; }
  bool HasIcons() const { return !m_hIconVideo.isNull() && !m_hIconAudio.isNull(); }
  const QFont& BarFont() const { return m_font; }
  // The lines as painted: the text cut with an ellipsis to the line's width.
  QString ShownVideoLine() const;
  QString ShownAudioLine() const;

  QSize sizeHint() const override { return {32767, kHeight}; }
  QSize minimumSizeHint() const override { return {0, kHeight}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString Elided(const QString& text, int spare = 0) const;
  int EventsWidth() const;
  static QString NotAvailable();

  QFont m_font;
  QIcon m_hIconVideo;
  QIcon m_hIconAudio;
  QString m_strVideo;
  QString m_strAudio;
  QString m_strEvents;
};

}  // namespace kx
