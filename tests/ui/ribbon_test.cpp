// The ribbon on a real QApplication (offscreen, and on the peers' X server as "xvfb." tests): ids, the update
// pass, popups, the backstage, folding. The program's own ribbon is pictured and measured in the frame test.
#include <QCheckBox>
#include <QColorDialog>
#include <QListWidget>
#include <QMainWindow>
#include <QPointer>
#include <QScreen>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <map>
#include <set>

#include "ribbon_popups.h"
#include "ui/backstage.h"
#include "ui/ribbon.h"
#include "ui_test_support.h"

namespace kx::test {
namespace {

// "offscreen" unless KX_RIBBON_PLATFORM says "xcb" or "xcb-200".
auto* const kQt =
    ::testing::AddGlobalTestEnvironment(new UiEnvironment(UiEnvironment::PlatformFrom("KX_RIBBON_PLATFORM")));

using namespace ui;

// A strip of `count` 32-pixel images, at 1x and 2x.
ImageStrip TestStrip(int count) {
  QImage img(count * 32, 32, QImage::Format_ARGB32_Premultiplied);
  img.fill(QColor(79, 129, 189));
  return ImageStrip(img, 32, img.scaled(img.size() * 2));
}

// The owner: records the commands and answers the update pass from `state`.
struct TestOwner : RibbonOwner {
  struct State {
    bool enabled = true;
    int check = -1;   // -1: leave the check alone
    int select = -1;  // the item data to select, when hasSelect
    bool hasSelect = false;
  };
  std::vector<int> commands;
  std::map<int, State> state;
  int updates = 0;
  void OnRibbonCommand(int id) override { commands.push_back(id); }
  void OnUpdateCommand(CommandUI& ui) override {
    ++updates;
    auto it = state.find(ui.Id());
    if (it == state.end()) return;
    ui.Enable(it->second.enabled);
    if (it->second.check >= 0) ui.SetCheck(it->second.check != 0);
    if (it->second.hasSelect) ui.SelectByData(it->second.select);
  }
};

enum TestId { kStart = 100, kStop, kShowAll = 110, kShowAudio, kOpacity = 120, kAxis = 130, kDevice = 140, kVolume,
              kPreview, kScale = 150, kExit = 57665 };

// Ten theme colours (the fifth is #4F81BD), fifty shades, ten standard colours.
ColorTable TestColors() {
  ColorTable t;
  t.themeTitle = "Theme Colors";
  t.standardTitle = "Standard Colors";
  for (int i = 0; i < 10; ++i) {
    t.theme.push_back({i == 4 ? QColor("#4F81BD") : QColor::fromHsv(i * 36, 200, 160), QString("Theme %1").arg(i)});
    t.standard.push_back({QColor::fromHsv(i * 36 + 10, 255, 200), QString("Standard %1").arg(i)});
  }
  for (int i = 0; i < 50; ++i)
    t.shades.push_back({QColor::fromHsv((i % 10) * 36, 120, 250 - (i / 10) * 45), QString("Shade %1").arg(i)});
  return t;
}

// A window whose ribbon holds one element of every kind, then a label and a combo box; active for shortcuts.
class RibbonTest : public ::testing::Test {
 protected:
  void SetUp() override { Build(TestStrip(25), TestStrip(11)); }
  void Build(const ImageStrip& large, const ImageStrip& opacity) {
    window_ = std::make_unique<QMainWindow>();
    ribbon_ = new Ribbon(&owner_, window_.get());
    window_->setMenuWidget(ribbon_);
    auto* central = new QWidget(window_.get());
    central->setMinimumSize(200, 120);
    window_->setCentralWidget(central);
    ribbon_->SetMainButton("Main", "Main", "Click here to see and change options");
    ribbon_->SetColorTable(TestColors());
    auto* preview = ribbon_->AddCategory("Preview", large);
    auto* control = preview->AddPanel("Control");
    control->Add(Button(kStart, "Start", "Start", "Start camera preview", 0));
    control->Add(Button(kStop, "Stop", "Stop", "Stop camera preview", 1));
    auto* layout = preview->AddPanel("Layout");
    layout->Add(Button(kShowAll, "Show all", "Show all", "Show all widgets", 3, true, 1));
    layout->Add(Button(kShowAudio, "Show audio", "Show audio", "Show audio widget", 20, true, 1));
    std::vector<PaletteItem> items;
    const int data[11] = {100, 90, 80, 70, 60, 50, 40, 30, 20, 10, 5};
    for (int i = 0; i < 11; ++i) items.push_back({i, data[i], QString("%1 %").arg(data[i])});
    layout->Add(Palette(kOpacity, "Opacity", "Opacity", "Select transparent mode", 4, opacity, items));
    preview->AddPanel("Color")->Add(ColorButton(kAxis, "Axis", "Axis", "Select color for axis", 5, QColor("#4F81BD")));
    auto* monitor = preview->AddPanel("Audio monitor");
    monitor->Add(ComboBox(kDevice, "Device:", "Device:", "Device:", 200, {{"1 - Null output A", 0}, {"2 - Null output B", 0}}));
    monitor->Add(Slider(kVolume, "Volume", "Output volume", 220, 0, 1000, 735, true));
    monitor->Add(CheckBox(kPreview, "Preview", "Preview", "Set audio preview mode"));
    auto* wave = ribbon_->AddCategory("Waveform", large)->AddPanel("Waveform");
    wave->Add(Label("Select wave scale(10 msec by pixel):"));
    wave->Add(ComboBox(kScale, "", "Select wave scale(10 msec by pixel):", "Select wave scale(10 msec by pixel):", 200,
                       {{"1 pixel 480", 480}, {"2 pixel 240", 240}, {"4 pixel 120", 120}}));
    page_ = new QWidget;
    ribbon_->GetBackstage()->AddPage("Options", page_);
    ribbon_->GetBackstage()->AddCommand(kExit, "E&xit");
    window_->resize(1200, 400);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }
  template <typename T>
  T* Find(int id) { return ribbon_->Find<T>(id); }
  QTabBar* Tabs() { return static_cast<QTabBar*>(ribbon_->TabBar()); }

  TestOwner owner_;
  std::unique_ptr<QMainWindow> window_;
  Ribbon* ribbon_ = nullptr;
  QWidget* page_ = nullptr;
};

TEST_F(RibbonTest, ElementsSendIdsAndTheUpdatePassSetsTheirState) {
  QTest::mouseClick(Find<RibbonButton>(kStart)->Face(), Qt::LeftButton);
  QTest::mouseClick(Find<RibbonCheckBox>(kPreview)->Face(), Qt::LeftButton);
  auto* device = Find<RibbonComboBox>(kDevice);
  device->SetSelectedItem(0);
  device->Face()->setFocus();
  QTest::keyClick(device->Face(), Qt::Key_Down);  // a user's choice of the second device
  EXPECT_EQ(device->SelectedItem(), 1);
  auto* volume = Find<RibbonSlider>(kVolume);
  EXPECT_EQ(volume->Pos(), 735);
  QTest::keyClick(volume->Face(), Qt::Key_PageUp);
  EXPECT_GT(volume->Pos(), 735);
  EXPECT_EQ(owner_.commands, (std::vector<int>{kStart, kPreview, kDevice, kVolume}));
  // The zoom buttons step the slider and send the command, none at the end; SetPos sends nothing.
  owner_.commands.clear();
  volume->SetPos(1000);
  volume->Zoom(+1);
  volume->Zoom(-1);
  EXPECT_EQ(volume->Pos(), 950);
  EXPECT_EQ(owner_.commands, (std::vector<int>{kVolume}));
  // A shortcut given to the element's action reaches the owner too.
  owner_.commands.clear();
  ribbon_->Action(kStop)->setShortcut(QKeySequence(Qt::Key_F6));
  QTest::keyClick(window_.get(), Qt::Key_F6);
  EXPECT_EQ(owner_.commands, (std::vector<int>{kStop}));
  EXPECT_EQ(Find<RibbonSlider>(kStart), nullptr);  // wrong kind

  owner_.state[kStart].enabled = false;
  owner_.state[kShowAudio].check = 1;
  owner_.state[kPreview].check = 1;
  owner_.state[kOpacity] = {true, -1, 70, true};
  owner_.state[kScale] = {true, -1, 120, true};
  ribbon_->UpdateState();
  auto* start = Find<RibbonButton>(kStart);
  EXPECT_FALSE(ribbon_->Action(kStart)->isEnabled());
  EXPECT_TRUE(ribbon_->Action(kStop)->isEnabled());
  EXPECT_FALSE(Find<RibbonButton>(kShowAll)->IsChecked());
  EXPECT_TRUE(static_cast<QToolButton*>(Find<RibbonButton>(kShowAudio)->Face())->isChecked());
  EXPECT_TRUE(static_cast<QCheckBox*>(Find<RibbonCheckBox>(kPreview)->Face())->isChecked());
  EXPECT_EQ(Find<RibbonPalette>(kOpacity)->SelectedItem(), 3);
  EXPECT_EQ(Find<RibbonComboBox>(kScale)->SelectedItem(), 2);
  owner_.commands.clear();
  QTest::mouseClick(start->Face(), Qt::LeftButton);  // disabled: sends nothing
  EXPECT_TRUE(owner_.commands.empty());
  // The exclusive group follows the owner's answer, whichever was checked.
  owner_.state[kShowAudio].check = 0;
  owner_.state[kShowAll].check = 1;
  ribbon_->UpdateState();
  EXPECT_TRUE(Find<RibbonButton>(kShowAll)->IsChecked());
  EXPECT_FALSE(Find<RibbonButton>(kShowAudio)->IsChecked());
  // A command runs the pass again: re-enabled state shows at once.
  owner_.state[kStart].enabled = true;
  const int before = owner_.updates;
  QTest::mouseClick(Find<RibbonButton>(kStop)->Face(), Qt::LeftButton);
  EXPECT_GT(owner_.updates, before);
  EXPECT_TRUE(start->Face()->isEnabled());
  // Clicking a checked group button keeps the owner's state, on the face too.
  auto* showAll = Find<RibbonButton>(kShowAll);
  QTest::mouseClick(showAll->Face(), Qt::LeftButton);
  EXPECT_TRUE(showAll->IsChecked());
  EXPECT_TRUE(static_cast<QToolButton*>(showAll->Face())->isChecked());

  // Tooltips: the text in bold, the description under it, markup kept as text; the same text once.
  EXPECT_EQ(Find<RibbonComboBox>(kDevice)->Face()->toolTip(), "<b>Device:</b>");
  auto* b = static_cast<RibbonButton*>(
      ribbon_->AddCategory("More", {})->AddPanel("P")->Add(Button(900, "A<b>", "", "x & y", -1)));
  EXPECT_EQ(b->Face()->toolTip(), "<b>A&lt;b&gt;</b><br>x &amp; y");
}

TEST_F(RibbonTest, ValuesOutsideTheListsSelectNothingOrTheFirst) {
  auto* opacity = Find<RibbonPalette>(kOpacity);
  EXPECT_TRUE(opacity->SelectByData(5));
  EXPECT_EQ(opacity->SelectedItem(), 10);
  EXPECT_FALSE(opacity->SelectByData(55));
  EXPECT_EQ(opacity->SelectedItem(), -1);
  owner_.state[kOpacity] = {true, -1, -3, true};
  opacity->SetSelectedItem(0);
  ribbon_->UpdateState();
  EXPECT_EQ(opacity->SelectedItem(), -1);

  auto* scale = Find<RibbonComboBox>(kScale);
  EXPECT_TRUE(scale->SelectByData(240));
  EXPECT_EQ(scale->SelectedItem(), 1);
  EXPECT_FALSE(scale->SelectByData(7));  // a combo box shows its first entry
  EXPECT_EQ(scale->SelectedData(), 480);
  scale->SetSelectedItem(9);  // past the end (a device that went away): none
  EXPECT_EQ(scale->SelectedItem(), -1);
  scale->RemoveAllItems();
  EXPECT_FALSE(scale->SelectByData(480));
  EXPECT_EQ(scale->SelectedItem(), -1);
}

TEST_F(RibbonTest, PopupsPickByMouseAndKeyboardAndStayOnTheScreen) {
  auto* opacity = Find<RibbonPalette>(kOpacity);
  opacity->SelectByData(50);
  QTest::mouseClick(opacity->Face(), Qt::LeftButton);
  EXPECT_TRUE(owner_.commands.empty());  // the face only opens the popup
  auto* popup = static_cast<PalettePopup*>(opacity->Popup());
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->Current(), 5);  // opens on the selected item
  QTest::mouseClick(popup, Qt::LeftButton, {}, popup->CellRect(2).center());
  EXPECT_EQ(opacity->Popup(), nullptr);
  EXPECT_EQ(opacity->SelectedData(), 80);
  EXPECT_EQ(owner_.commands, std::vector<int>{kOpacity});
  // Keyboard: arrows move (stopping at the first item), Esc closes without a command, Enter picks.
  owner_.commands.clear();
  opacity->ShowPopup();
  popup = static_cast<PalettePopup*>(opacity->Popup());
  for (int i = 0; i < 3; ++i) QTest::keyClick(popup, Qt::Key_Left);
  EXPECT_EQ(popup->Current(), 0);
  QTest::keyClick(popup, Qt::Key_Escape);
  EXPECT_EQ(opacity->Popup(), nullptr);
  EXPECT_TRUE(owner_.commands.empty());
  EXPECT_EQ(opacity->SelectedData(), 80);
  opacity->SelectByData(12345);  // none selected: the popup starts on the first
  opacity->ShowPopup();
  popup = static_cast<PalettePopup*>(opacity->Popup());
  QTest::keyClick(popup, Qt::Key_Right);
  QTest::keyClick(popup, Qt::Key_Return);
  EXPECT_EQ(opacity->SelectedData(), 90);
  EXPECT_EQ(owner_.commands, std::vector<int>{kOpacity});

  // The colour popup: 10 theme colours, 50 shades in columns of five, 10 standard, and "More Colors".
  owner_.commands.clear();
  auto* axis = Find<RibbonColorButton>(kAxis);
  const ColorTable table = TestColors();
  QTest::mouseClick(axis->Face(), Qt::LeftButton);
  EXPECT_TRUE(owner_.commands.empty());
  auto* colors = static_cast<ColorPopup*>(axis->Popup());
  ASSERT_NE(colors, nullptr);
  ASSERT_EQ(colors->CellCount(), 71);
  EXPECT_EQ(colors->CellColor(23).rgb(), table.shades[13].color.rgb());  // in columns of five
  EXPECT_EQ(colors->Current(), 4);  // opens on the button's colour (#4F81BD)
  QTest::mouseClick(colors, Qt::LeftButton, {}, colors->CellRect(62).center());
  EXPECT_EQ(axis->Popup(), nullptr);
  EXPECT_EQ(ribbon_->Colors().NameOf(axis->Color()), "Standard 2");
  // More Colors, by keyboard down from the picked colour, opens the colour dialog on the button's colour;
  // accepted, the colour has no name; cancelled, nothing changes and nothing is sent.
  axis->ShowPopup();
  colors = static_cast<ColorPopup*>(axis->Popup());
  EXPECT_EQ(colors->Current(), 62);
  for (int i = 0; i < 3; ++i) QTest::keyClick(colors, Qt::Key_Down);  // down to the last row
  EXPECT_EQ(colors->Current(), colors->MoreCell());
  QColor offered;
  QTimer::singleShot(0, [&] {
    if (auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
      offered = dialog->currentColor();
      dialog->setCurrentColor(QColor(0x12, 0x34, 0x56));
      dialog->accept();
    }
  });
  QTest::keyClick(colors, Qt::Key_Return);
  EXPECT_EQ(offered.rgb(), table.standard[2].color.rgb());
  EXPECT_EQ(axis->Color(), QColor(0x12, 0x34, 0x56));
  EXPECT_EQ(ribbon_->Colors().NameOf(axis->Color()), "");
  axis->ShowPopup();
  colors = static_cast<ColorPopup*>(axis->Popup());
  QTimer::singleShot(0, [] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
  });
  QTest::mouseClick(colors, Qt::LeftButton, {}, colors->CellRect(colors->MoreCell()).center());
  EXPECT_EQ(axis->Color(), QColor(0x12, 0x34, 0x56));
  EXPECT_EQ(owner_.commands, (std::vector<int>{kAxis, kAxis}));

  // The window's right part past the screen's right edge: popups move left (one placement for every
  // popup; the offscreen platform adds a simulated frame of a few pixels).
  const QRect screen = window_->screen()->availableGeometry().adjusted(-4, -4, 4, 4);
  window_->move(screen.right() - 420, screen.top() + 10);
  QApplication::processEvents();
  axis->ShowPopup();
  ASSERT_NE(axis->Popup(), nullptr);
  EXPECT_TRUE(screen.contains(axis->Popup()->geometry()));
}

TEST_F(RibbonTest, KeyboardReachesEveryKindAndWorksTheBackstage) {
  // Tab walks from the Main button through the tabs into the elements.
  ribbon_->MainButton()->setFocus();
  std::set<QWidget*> reached;
  for (int i = 0; i < 20; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    reached.insert(QApplication::focusWidget());
  }
  EXPECT_TRUE(reached.count(ribbon_->TabBar()));
  for (QWidget* face : {Find<RibbonButton>(kStart)->Face(), Find<RibbonPalette>(kOpacity)->Face(),
                        Find<RibbonColorButton>(kAxis)->Face(), Find<RibbonComboBox>(kDevice)->Face(),
                        Find<RibbonSlider>(kVolume)->Face(), Find<RibbonCheckBox>(kPreview)->Face()})
    EXPECT_TRUE(reached.count(face)) << face->metaObject()->className();
  // Space on a face: a button runs, a palette opens its popup (focused).
  QTest::keyClick(Find<RibbonButton>(kStart)->Face(), Qt::Key_Space);
  EXPECT_EQ(owner_.commands, std::vector<int>{kStart});
  QTest::keyClick(Find<RibbonPalette>(kOpacity)->Face(), Qt::Key_Space);
  ASSERT_NE(Find<RibbonPalette>(kOpacity)->Popup(), nullptr);
  EXPECT_EQ(QApplication::focusWidget(), Find<RibbonPalette>(kOpacity)->Popup());
  Find<RibbonPalette>(kOpacity)->Popup()->close();

  // The backstage: the Main button and Esc open and close it; it covers the window under the tab row.
  owner_.commands.clear();
  Backstage* backstage = ribbon_->GetBackstage();
  QTest::mouseClick(ribbon_->MainButton(), Qt::LeftButton);
  ASSERT_TRUE(backstage->IsOpen());
  EXPECT_TRUE(page_->isVisible());
  EXPECT_EQ(backstage->geometry().bottomRight(), window_->rect().bottomRight());
  QTest::keyClick(backstage->List(), Qt::Key_Escape);
  EXPECT_FALSE(backstage->IsOpen());
  QTest::mouseClick(ribbon_->MainButton(), Qt::LeftButton);
  QTest::mouseClick(ribbon_->MainButton(), Qt::LeftButton);
  EXPECT_FALSE(backstage->IsOpen());
  EXPECT_TRUE(owner_.commands.empty());
  // A command entry closes the view and sends its id: by arrows and Enter, and by Alt+X (no mark shown).
  backstage->Open();
  backstage->List()->setFocus();
  QTest::keyClick(backstage->List(), Qt::Key_Down);
  QTest::keyClick(backstage->List(), Qt::Key_Return);
  EXPECT_FALSE(backstage->IsOpen());
  backstage->Open();
  EXPECT_EQ(backstage->List()->item(1)->text(), "Exit");
  QTest::keyClick(backstage->List(), Qt::Key_X, Qt::AltModifier);
  EXPECT_FALSE(backstage->IsOpen());
  EXPECT_EQ(owner_.commands, (std::vector<int>{kExit, kExit}));
  // A category tab closes it as well.
  backstage->Open();
  QTest::mouseClick(Tabs(), Qt::LeftButton, {}, Tabs()->tabRect(1).center());
  EXPECT_FALSE(backstage->IsOpen());
  EXPECT_EQ(ribbon_->ActiveCategory(), 1);
}

TEST_F(RibbonTest, FoldsWholeOrPanelByPanel) {
  const int fullHeight = ribbon_->sizeHint().height();
  QTest::keyClick(window_.get(), Qt::Key_F1, Qt::ControlModifier);
  EXPECT_LT(ribbon_->sizeHint().height(), fullHeight / 2);
  QTest::mouseDClick(Tabs(), Qt::LeftButton, {}, Tabs()->tabRect(0).center());
  EXPECT_EQ(ribbon_->sizeHint().height(), fullHeight);
  // Folded, a tab's click shows its category in a popup (after the double-click time); a command closes it.
  ribbon_->SetFolded(true);
  QTest::mouseClick(Tabs(), Qt::LeftButton, {}, Tabs()->tabRect(0).center());
  ASSERT_TRUE(QTest::qWaitFor([&] { return ribbon_->FoldedPopup() != nullptr; }));
  auto* start = Find<RibbonButton>(kStart);
  EXPECT_TRUE(start->Face()->isVisible());
  QTest::mouseClick(start->Face(), Qt::LeftButton);
  EXPECT_EQ(owner_.commands, std::vector<int>{kStart});
  EXPECT_EQ(ribbon_->FoldedPopup(), nullptr);
  EXPECT_FALSE(start->Face()->isVisible());
  ribbon_->SetFolded(false);
  // The wheel over the tabs changes the category, no further than the last.
  auto wheel = [&](int delta) {
    QWheelEvent e(Tabs()->tabRect(0).center(), Tabs()->mapToGlobal(Tabs()->tabRect(0).center()), {}, QPoint(0, delta),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Tabs(), &e);
  };
  wheel(-120);
  wheel(-120);
  EXPECT_EQ(ribbon_->ActiveCategory(), 1);
  wheel(120);
  EXPECT_EQ(ribbon_->ActiveCategory(), 0);

  // Panels too wide fold from the right into drop-down buttons whose popup holds the working panel.
  owner_.commands.clear();
  RibbonCategory* preview = ribbon_->Category(0);
  window_->resize(380, 400);
  QApplication::processEvents();
  RibbonPanel* last = preview->Panel(preview->PanelCount() - 1);
  EXPECT_TRUE(last->IsCollapsed());
  EXPECT_FALSE(preview->Panel(0)->IsCollapsed());
  QTest::mouseClick(last->CollapsedButton(), Qt::LeftButton);
  EXPECT_TRUE(Find<RibbonCheckBox>(kPreview)->Face()->isVisible());
  QTest::mouseClick(Find<RibbonCheckBox>(kPreview)->Face(), Qt::LeftButton);
  EXPECT_EQ(owner_.commands, std::vector<int>{kPreview});
  window_->resize(1400, 400);
  QApplication::processEvents();
  for (int i = 0; i < preview->PanelCount(); ++i) EXPECT_FALSE(preview->Panel(i)->IsCollapsed()) << i;
}

// The backstage lives on the window while open; a ribbon deleted before its window takes it along (ASan runs
// catch a second delete or a leak).
TEST(RibbonLifetime, RibbonDeletedWithItsBackstageOpen) {
  QMainWindow window;
  TestOwner owner;
  auto* ribbon = new Ribbon(&owner, &window);
  window.setMenuWidget(ribbon);
  window.resize(600, 300);
  ribbon->GetBackstage()->AddCommand(kExit, "E&xit");
  window.show();
  ribbon->GetBackstage()->Open();
  QPointer<Backstage> backstage(ribbon->GetBackstage());
  EXPECT_EQ(backstage->parentWidget(), &window);
  window.setMenuWidget(nullptr);  // deletes the ribbon, later
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(backstage.isNull());
}

}  // namespace
}  // namespace kx::test
