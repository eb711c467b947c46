// The frame's client window: hosts the preview view and keeps it at its own
// size. It paints nothing itself; the view covers every pixel.
#pragma once

#include <QWidget>
#include <memory>

#include "media/preview_host.h"

namespace kx {

class CDrawView;
class CSettingsBlock;

class CChildView : public QWidget {
 public:
  static constexpr int kFirstPaneId = 0xE900;

  CChildView(QWidget* parent = nullptr);
  ~CChildView() override;
  // Creates the preview view (its session, drawing resources and threads).
  bool Create(CSettingsBlock& settings, IAudioTarget& audio, IPreviewHost* frame);
  CDrawView* View() const { return m_pView.get(); }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::unique_ptr<CDrawView> m_pView;
};

}  // namespace kx
