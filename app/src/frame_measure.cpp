// The frame's part of the sound measurements: the panel beside the preview,
// fed from the view, shown as the stored setting says.
#include <QHBoxLayout>

#include "app/child_view.h"
#include "app/main_frame.h"
#include "app/measure_settings.h"
#include "app/wave_app.h"
#include "dialogs/measure_panel.h"
#include "view/draw_view.h"
#include "ui/lang_id.h"
#include "ui/translation_manager.h"

namespace kx {

void CMainFrame::CreateMeasurePanel(QHBoxLayout* row) {
  m_pMeasurePanel = new CMeasurePanel;
  // Numbers as the user's language writes them (a decimal comma in Russian).
  m_pMeasurePanel->setLocale(QLocale(QString::fromStdString(LocaleNameFromLangId(g_LangMgr.GetLanguage()))));
  m_pMeasurePanel->SetThresholds(LoadMeasureThresholds());
  m_pMeasurePanel->SetSource([this] {
    MeasureReading reading;
    if (CDrawView* view = View()) {
      reading.figures = view->MeasureFigures();
      reading.playing = view->Session().HasDecodeThread();
      reading.audio = view->Session().HasAudioStream();
    }
    return reading;
  });
  row->addWidget(m_pMeasurePanel);
  ShowStoredPanels();
}

void CMainFrame::ShowStoredPanels() {
  if (m_pMeasurePanel) m_pMeasurePanel->setVisible(m_app.m_settings.MeasurePanel.Get() == 1);
}

void CMainFrame::ResetMeasurements() {
  if (CDrawView* view = View()) view->ResetMeasurements();
  if (m_pMeasurePanel && m_pMeasurePanel->isVisible()) m_pMeasurePanel->Refresh();
}

}  // namespace kx
