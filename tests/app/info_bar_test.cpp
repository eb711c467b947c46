// The camera info bar on its own: the reset text, cutting long lines, the fixed height, icons at 100 and 200 %.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QVBoxLayout>
#include <memory>

#include "ui_test_support.h"
#include "dialogs/camera_info_bar.h"

namespace kx {
namespace {

auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::UiEnvironment("offscreen"));

const QString kNotAvailable = "Information is not available";

struct Host {
  QWidget frame;
  CCameraInfoBar* bar = new CCameraInfoBar(&frame);
  Host(int width) {
    auto* layout = new QVBoxLayout(&frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar);
    layout->addStretch(1);
    EXPECT_TRUE(bar->Create(&frame));
    frame.resize(width, 300);
    frame.show();
    QApplication::processEvents();
  }
};

// "Not available" after Reset; a line too long is cut with an ellipsis, whole once it fits. The icons at (8, 1),
// the text from x = 45 in RGB(200, 200, 200); at 200 % the icons are drawn for it (sharp).
TEST(CameraInfoBar, CutsLongLinesAndPaintsIconsAndTextSharpAtBothScales) {
  Host h(420);
  h.bar->SetAudioText("Codec: [AAC]");
  h.bar->Reset();
  EXPECT_EQ(h.bar->AudioText(), kNotAvailable);
  const QString line = QString("Codec: [H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10]  \u25A0  Video size WxH: [1920x1080]"
                               "  \u25A0  FPS: [25.0]");
  h.bar->SetVideoText(line);
  const QString shown = h.bar->ShownVideoLine();
  EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
  EXPECT_LE(QFontMetrics(h.bar->BarFont()).horizontalAdvance(shown), h.bar->width() - 45);
  h.frame.resize(1600, 300);
  QApplication::processEvents();
  EXPECT_EQ(h.bar->height(), CCameraInfoBar::kHeight);
  EXPECT_EQ(h.bar->ShownVideoLine(), line);  // fits now: whole

  ASSERT_TRUE(h.bar->HasIcons());
  h.bar->SetVideoText("WWWW");
  for (int scale : {1, 2}) {
    QImage img(h.bar->size() * scale, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(scale);
    img.fill(Qt::black);
    h.bar->render(&img);
    int iconInk = 0, fuzzy = 0;
    for (int y = 1 * scale; y < 25 * scale; ++y)
      for (int x = 8 * scale; x < 32 * scale; ++x) {
        const int g = qGray(img.pixel(x, y));
        if (g > 150) ++iconInk;
        if (g > 60 && g < 150) ++fuzzy;
      }
    EXPECT_GT(iconInk, 40 * scale * scale) << "scale " << scale;
    EXPECT_LT(fuzzy, iconInk / 2) << "scale " << scale;  // thin edges: few half-lit pixels
    bool text = false;
    for (int y = 5 * scale; y < 20 * scale && !text; ++y)
      for (int x = 45 * scale; x < 120 * scale && !text; ++x) text = img.pixel(x, y) == qRgb(200, 200, 200);
    EXPECT_TRUE(text) << "scale " << scale;
    img.save(QString("%1/info_bar_%2x.png").arg(KX_ARTIFACTS_DIR).arg(scale));
  }
}

}  // namespace
}  // namespace kx
