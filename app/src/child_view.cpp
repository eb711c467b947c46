#include "app/child_view.h"

#include <QResizeEvent>

#include "app/measure_settings.h"
#include "view/draw_view.h"

namespace kx {

CChildView::CChildView(QWidget* parent) : QWidget(parent) {
  // No background erase: the view paints the whole area.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::StrongFocus);
  setObjectName("ChildView");
}

CChildView::~CChildView() = default;

bool CChildView::Create(CSettingsBlock& settings, IAudioTarget& audio, IPreviewHost* frame) {
  m_pView = std::make_unique<CDrawView>(settings, audio, frame, this);
  m_pView->SetMeasureThresholds(LoadMeasureThresholds());
  m_pView->setGeometry(rect());
  m_pView->show();
  return true;
}

void CChildView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (m_pView) m_pView->setGeometry(0, 0, event->size().width(), event->size().height());
}

}  // namespace kx
