// The ribbon on a real QApplication: elements send their ids, the update
// pass sets enabled/checked/selected state, popups pick by mouse and keyboard,
// the backstage view opens and closes, the ribbon folds.
#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QListWidget>
#include <QPointer>
#include <QScreen>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "ribbon_fixture.h"
#include "ui/backstage.h"
#include "ribbon_popups.h"

namespace kx::test {
namespace {

auto* const kQt = ::testing::AddGlobalTestEnvironment(RibbonQtEnvironment());

using ui::RibbonButton;
using ui::RibbonCheckBox;
using ui::RibbonColorButton;
using ui::RibbonComboBox;
using ui::RibbonPalette;
using ui::RibbonSlider;

class RibbonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    w_ = std::make_unique<TestWindow>();
    w_->window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w_->window));
    // Shortcuts need the active window (a real one under X).
    w_->window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w_->window));
  }
  ui::Ribbon& ribbon() { return *w_->ribbon; }
  TestOwner& owner() { return w_->owner; }
  std::unique_ptr<TestWindow> w_;
};

TEST_F(RibbonTest, ElementsSendTheirIdsToTheOwner) {
  auto* start = ribbon().Find<RibbonButton>(kStart);
  ASSERT_NE(start, nullptr);
  QTest::mouseClick(start->Face(), Qt::LeftButton);
  auto* preview = ribbon().Find<RibbonCheckBox>(kPreview);
  ASSERT_NE(preview, nullptr);
  QTest::mouseClick(preview->Face(), Qt::LeftButton);
  auto* device = ribbon().Find<RibbonComboBox>(kDevice);
  ASSERT_NE(device, nullptr);
  device->SetSelectedItem(0);
  device->Face()->setFocus();
  QTest::keyClick(device->Face(), Qt::Key_Down);  // a user's choice of the second device
  EXPECT_EQ(device->SelectedItem(), 1);
  auto* volume = ribbon().Find<RibbonSlider>(kVolume);
  ASSERT_NE(volume, nullptr);
  EXPECT_EQ(volume->Pos(), 735);
  QTest::keyClick(volume->Face(), Qt::Key_PageUp);
  EXPECT_GT(volume->Pos(), 735);
  EXPECT_EQ(owner().commands, (std::vector<int>{kStart, kPreview, kDevice, kVolume}));

  // The zoom buttons step the slider and send the command; SetPos sends nothing.
  owner().commands.clear();
  volume->SetPos(500);
  volume->Zoom(-1);
  EXPECT_EQ(volume->Pos(), 450);
  volume->SetPos(1000);
  volume->Zoom(+1);  // already at the end: no change, no command
  EXPECT_EQ(volume->Pos(), 1000);
  EXPECT_EQ(owner().commands, (std::vector<int>{kVolume}));

  // A shortcut given to the element's action reaches the owner too.
  owner().commands.clear();
  ribbon().Action(kStop)->setShortcut(QKeySequence(Qt::Key_F6));
  QTest::keyClick(&w_->window, Qt::Key_F6);
  EXPECT_EQ(owner().commands, (std::vector<int>{kStop}));
}

TEST_F(RibbonTest, FindByIdReturnsTheElementOrNull) {
  EXPECT_EQ(ribbon().FindByID(kStart)->Kind(), ui::ElementKind::Button);
  EXPECT_EQ(ribbon().FindByID(kOpacity)->Kind(), ui::ElementKind::Palette);
  EXPECT_EQ(ribbon().FindByID(kAxis)->Kind(), ui::ElementKind::ColorButton);
  EXPECT_EQ(ribbon().FindByID(kScale)->Kind(), ui::ElementKind::ComboBox);
  EXPECT_EQ(ribbon().FindByID(4242), nullptr);
  EXPECT_EQ(ribbon().FindByID(0), nullptr);  // labels have no id
  EXPECT_EQ(ribbon().Find<RibbonSlider>(kStart), nullptr);  // wrong kind
  EXPECT_EQ(ribbon().Action(4242), nullptr);
  EXPECT_EQ(ribbon().Action(kStart)->data().toInt(), kStart);
  const auto ids = ribbon().CommandIds();
  EXPECT_EQ(ids.size(), 10u);
}

TEST_F(RibbonTest, UpdatePassEnablesChecksAndSelects) {
  owner().state[kStart].enabled = false;
  owner().state[kShowAudio].check = 1;
  owner().state[kPreview].check = 1;
  owner().state[kOpacity] = {true, -1, 70, true};
  owner().state[kScale] = {true, -1, 120, true};
  ribbon().UpdateState();
  auto* start = ribbon().Find<RibbonButton>(kStart);
  EXPECT_FALSE(ribbon().Action(kStart)->isEnabled());
  EXPECT_FALSE(start->Face()->isEnabled());
  EXPECT_TRUE(ribbon().Action(kStop)->isEnabled());
  EXPECT_TRUE(ribbon().Find<RibbonButton>(kShowAudio)->IsChecked());
  EXPECT_FALSE(ribbon().Find<RibbonButton>(kShowAll)->IsChecked());
  EXPECT_TRUE(static_cast<QToolButton*>(ribbon().Find<RibbonButton>(kShowAudio)->Face())->isChecked());
  EXPECT_TRUE(static_cast<QCheckBox*>(ribbon().Find<RibbonCheckBox>(kPreview)->Face())->isChecked());
  EXPECT_EQ(ribbon().Find<RibbonPalette>(kOpacity)->SelectedItem(), 3);
  EXPECT_EQ(ribbon().Find<RibbonPalette>(kOpacity)->SelectedData(), 70);
  EXPECT_EQ(ribbon().Find<RibbonComboBox>(kScale)->SelectedItem(), 2);

  // A disabled button's click sends nothing.
  owner().commands.clear();
  QTest::mouseClick(start->Face(), Qt::LeftButton);
  EXPECT_TRUE(owner().commands.empty());

  // The exclusive group follows the owner's answer, whichever was checked.
  owner().state[kShowAudio].check = 0;
  owner().state[kShowAll].check = 1;
  ribbon().UpdateState();
  EXPECT_TRUE(ribbon().Find<RibbonButton>(kShowAll)->IsChecked());
  EXPECT_FALSE(ribbon().Find<RibbonButton>(kShowAudio)->IsChecked());

  // A command runs the pass again: re-enabled state shows at once.
  owner().state[kStart].enabled = true;
  const int before = owner().updates;
  QTest::mouseClick(ribbon().Find<RibbonButton>(kStop)->Face(), Qt::LeftButton);
  EXPECT_GT(owner().updates, before);
  EXPECT_TRUE(start->Face()->isEnabled());

  // Clicking a checked group button keeps the state the owner gives, on the
  // face as well as on the action.
  auto* showAll = ribbon().Find<RibbonButton>(kShowAll);
  QTest::mouseClick(showAll->Face(), Qt::LeftButton);
  EXPECT_TRUE(showAll->IsChecked());
  EXPECT_TRUE(static_cast<QToolButton*>(showAll->Face())->isChecked());
}

TEST_F(RibbonTest, PaletteOutsideItsListShowsNoSelection) {
  auto* opacity = ribbon().Find<RibbonPalette>(kOpacity);
  EXPECT_TRUE(opacity->SelectByData(5));
  EXPECT_EQ(opacity->SelectedItem(), 10);
  EXPECT_FALSE(opacity->SelectByData(55));
  EXPECT_EQ(opacity->SelectedItem(), -1);
  EXPECT_EQ(opacity->SelectedData(), 0);
  opacity->SetSelectedItem(11);
  EXPECT_EQ(opacity->SelectedItem(), -1);
  owner().state[kOpacity] = {true, -1, -3, true};
  opacity->SetSelectedItem(0);
  ribbon().UpdateState();
  EXPECT_EQ(opacity->SelectedItem(), -1);
}

TEST_F(RibbonTest, ComboGivenUnknownDataSelectsItsFirstEntry) {
  auto* scale = ribbon().Find<RibbonComboBox>(kScale);
  EXPECT_TRUE(scale->SelectByData(240));
  EXPECT_EQ(scale->SelectedItem(), 1);
  EXPECT_FALSE(scale->SelectByData(7));
  EXPECT_EQ(scale->SelectedItem(), 0);
  EXPECT_EQ(scale->SelectedData(), 480);
  // A position past the end (a device that went away) shows no selection.
  scale->SetSelectedItem(9);
  EXPECT_EQ(scale->SelectedItem(), -1);
  scale->RemoveAllItems();
  EXPECT_FALSE(scale->SelectByData(480));
  EXPECT_EQ(scale->SelectedItem(), -1);
  scale->AddItem("-20", 20);
  EXPECT_EQ(scale->ItemData(0), 20);
  EXPECT_EQ(scale->ItemText(0), "-20");
  EXPECT_EQ(scale->ItemData(1), 0);
}

TEST_F(RibbonTest, PalettePopupPicksByMouseAndKeyboard) {
  auto* opacity = ribbon().Find<RibbonPalette>(kOpacity);
  opacity->SelectByData(50);
  QTest::mouseClick(opacity->Face(), Qt::LeftButton);
  EXPECT_TRUE(owner().commands.empty());  // the face only opens the popup
  auto* popup = static_cast<ui::PalettePopup*>(opacity->Popup());
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->Current(), 5);  // opens on the selected item
  EXPECT_EQ(popup->CellTip(1), "90 %");
  QTest::mouseClick(popup, Qt::LeftButton, {}, popup->CellRect(2).center());
  EXPECT_EQ(opacity->Popup(), nullptr);
  EXPECT_EQ(opacity->SelectedData(), 80);
  EXPECT_EQ(owner().commands, std::vector<int>{kOpacity});

  // Keyboard: arrows move, Esc closes without a command, Enter picks.
  owner().commands.clear();
  opacity->ShowPopup();
  popup = static_cast<ui::PalettePopup*>(opacity->Popup());
  ASSERT_NE(popup, nullptr);
  QTest::keyClick(popup, Qt::Key_Left);
  QTest::keyClick(popup, Qt::Key_Left);
  QTest::keyClick(popup, Qt::Key_Left);  // stops at the first item
  EXPECT_EQ(popup->Current(), 0);
  QTest::keyClick(popup, Qt::Key_Escape);
  EXPECT_EQ(opacity->Popup(), nullptr);
  EXPECT_TRUE(owner().commands.empty());
  EXPECT_EQ(opacity->SelectedData(), 80);
  opacity->SelectByData(12345);  // none selected: the popup starts on the first
  opacity->ShowPopup();
  popup = static_cast<ui::PalettePopup*>(opacity->Popup());
  EXPECT_EQ(popup->Current(), 0);
  QTest::keyClick(popup, Qt::Key_Right);
  QTest::keyClick(popup, Qt::Key_Return);
  EXPECT_EQ(opacity->SelectedData(), 90);
  EXPECT_EQ(owner().commands, std::vector<int>{kOpacity});
}

TEST_F(RibbonTest, PopupsStayOnTheScreen) {
  // The offscreen platform adds a simulated window frame of a few pixels.
  const QRect screen = w_->window.screen()->availableGeometry().adjusted(-4, -4, 4, 4);
  // The window's right part past the screen's right edge: popups move left.
  w_->window.move(screen.right() - 420, screen.top() + 10);
  QApplication::processEvents();
  auto* opacity = ribbon().Find<RibbonPalette>(kOpacity);
  opacity->ShowPopup();
  ASSERT_NE(opacity->Popup(), nullptr);
  EXPECT_TRUE(screen.contains(opacity->Popup()->geometry())) << "screen " << screen.width() << "x" << screen.height() << " popup " << opacity->Popup()->geometry().x() << "," << opacity->Popup()->geometry().y() << " " << opacity->Popup()->width() << "x" << opacity->Popup()->height();
  opacity->Popup()->close();
  auto* axis = ribbon().Find<RibbonColorButton>(kAxis);
  axis->ShowPopup();
  ASSERT_NE(axis->Popup(), nullptr);
  EXPECT_TRUE(screen.contains(axis->Popup()->geometry()));
  axis->Popup()->close();
}

TEST_F(RibbonTest, ColorPopupReturnsThePickedColourByName) {
  auto* axis = ribbon().Find<RibbonColorButton>(kAxis);
  const ui::ColorTable table = TestColors();
  QTest::mouseClick(axis->Face(), Qt::LeftButton);
  EXPECT_TRUE(owner().commands.empty());  // the face runs no command
  auto* popup = static_cast<ui::ColorPopup*>(axis->Popup());
  ASSERT_NE(popup, nullptr);
  // 10 theme colours, 50 shades, 10 standard, and "More Colors".
  ASSERT_EQ(popup->CellCount(), 71);
  EXPECT_EQ(popup->CellRect(0).size(), QSize(18, 18));
  EXPECT_EQ(popup->CellTip(0), table.theme[0].name);
  EXPECT_EQ(popup->CellTip(70), "More Colors");
  // The shades form columns of five under their theme colour, box on box.
  EXPECT_EQ(popup->CellRect(10).left(), popup->CellRect(0).left());
  EXPECT_EQ(popup->CellRect(20).top(), popup->CellRect(10).bottom() + 1);
  EXPECT_EQ(popup->CellColor(23).rgb(), table.shades[13].color.rgb());
  EXPECT_EQ(popup->Current(), 4);  // opens on the button's colour (#4F81BD)

  // Mouse: a standard colour.
  QTest::mouseClick(popup, Qt::LeftButton, {}, popup->CellRect(62).center());
  EXPECT_EQ(axis->Popup(), nullptr);
  EXPECT_EQ(axis->Color().rgb(), table.standard[2].color.rgb());
  EXPECT_EQ(ribbon().Colors().NameOf(axis->Color()), "Standard 2");
  EXPECT_EQ(owner().commands, std::vector<int>{kAxis});

  // Keyboard: from the standard colour up into the last shade row, left one.
  owner().commands.clear();
  axis->ShowPopup();
  popup = static_cast<ui::ColorPopup*>(axis->Popup());
  EXPECT_EQ(popup->Current(), 62);
  QTest::keyClick(popup, Qt::Key_Up);
  QTest::keyClick(popup, Qt::Key_Left);
  QTest::keyClick(popup, Qt::Key_Enter);
  EXPECT_EQ(axis->Color().rgb(), table.shades[41].color.rgb());
  EXPECT_EQ(ribbon().Colors().NameOf(axis->Color()), "Shade 41");
  EXPECT_EQ(owner().commands, std::vector<int>{kAxis});
}

TEST_F(RibbonTest, MoreColorsOpensTheColourDialog) {
  auto* axis = ribbon().Find<RibbonColorButton>(kAxis);
  axis->ShowPopup();
  auto* popup = static_cast<ui::ColorPopup*>(axis->Popup());
  ASSERT_NE(popup, nullptr);
  for (int i = 0; i < 10; ++i) QTest::keyClick(popup, Qt::Key_Down);  // down to the last row
  EXPECT_EQ(popup->Current(), popup->MoreCell());
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    seen = true;
    EXPECT_EQ(dialog->currentColor().rgb(), QColor("#4F81BD").rgb());
    dialog->setCurrentColor(QColor(0x12, 0x34, 0x56));
    dialog->accept();
  });
  QTest::keyClick(popup, Qt::Key_Return);
  EXPECT_TRUE(seen);
  EXPECT_EQ(axis->Color(), QColor(0x12, 0x34, 0x56));
  EXPECT_EQ(ribbon().Colors().NameOf(axis->Color()), "");
  EXPECT_EQ(owner().commands, std::vector<int>{kAxis});

  // Cancelled: the colour stays and nothing is sent.
  owner().commands.clear();
  axis->ShowPopup();
  popup = static_cast<ui::ColorPopup*>(axis->Popup());
  QTimer::singleShot(0, [] {
    if (auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) dialog->reject();
  });
  QTest::mouseClick(popup, Qt::LeftButton, {}, popup->CellRect(popup->MoreCell()).center());
  EXPECT_EQ(axis->Color(), QColor(0x12, 0x34, 0x56));
  EXPECT_TRUE(owner().commands.empty());
}

TEST_F(RibbonTest, KeyboardReachesEveryKindOfElement) {
  // Tab walks from the Main button through the tabs into the elements.
  ribbon().MainButton()->setFocus();
  std::vector<QWidget*> reached;
  for (int i = 0; i < 20; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    reached.push_back(QApplication::focusWidget());
  }
  auto reaches = [&](QWidget* w) { return std::find(reached.begin(), reached.end(), w) != reached.end(); };
  EXPECT_TRUE(reaches(ribbon().TabBar()));
  EXPECT_TRUE(reaches(ribbon().Find<RibbonButton>(kStart)->Face()));
  EXPECT_TRUE(reaches(ribbon().Find<RibbonPalette>(kOpacity)->Face()));
  EXPECT_TRUE(reaches(ribbon().Find<RibbonColorButton>(kAxis)->Face()));
  EXPECT_TRUE(reaches(ribbon().Find<RibbonComboBox>(kDevice)->Face()));
  EXPECT_TRUE(reaches(ribbon().Find<RibbonSlider>(kVolume)->Face()));
  EXPECT_TRUE(reaches(ribbon().Find<RibbonCheckBox>(kPreview)->Face()));
  // Space on a face: a button runs, a palette opens its popup (focused).
  QTest::keyClick(ribbon().Find<RibbonButton>(kStart)->Face(), Qt::Key_Space);
  EXPECT_EQ(owner().commands, std::vector<int>{kStart});
  QTest::keyClick(ribbon().Find<RibbonPalette>(kOpacity)->Face(), Qt::Key_Space);
  ASSERT_NE(ribbon().Find<RibbonPalette>(kOpacity)->Popup(), nullptr);
  EXPECT_EQ(QApplication::focusWidget(), ribbon().Find<RibbonPalette>(kOpacity)->Popup());
}

TEST_F(RibbonTest, TooltipsCarryTextAndDescription) {
  const QString tip = ribbon().Find<RibbonButton>(kStart)->Face()->toolTip();
  EXPECT_EQ(tip, "<b>Start</b><br>Start camera preview");
  EXPECT_EQ(ribbon().Action(kStart)->toolTip(), "Start");
  EXPECT_EQ(ribbon().Action(kStart)->statusTip(), "Start camera preview");
  EXPECT_EQ(ribbon().Find<RibbonPalette>(kOpacity)->Face()->toolTip(), "<b>Opacity</b><br>Select transparent mode");
  EXPECT_EQ(ribbon().Find<RibbonComboBox>(kDevice)->Face()->toolTip(), "<b>Device:</b>");  // same text once
  EXPECT_EQ(ribbon().Find<RibbonCheckBox>(kPreview)->Face()->toolTip(), "<b>Preview</b><br>Set audio preview mode");
  EXPECT_TRUE(ribbon().MainButton()->toolTip().contains("<b>Main</b>"));
  EXPECT_TRUE(ribbon().MainButton()->toolTip().contains("Click here to see and change options"));
  // Texts with markup characters stay text.
  auto* cat = ribbon().AddCategory("More", {});
  auto* b = static_cast<RibbonButton*>(cat->AddPanel("P")->Add(ui::Button(900, "A<b>", "", "x & y", -1)));
  EXPECT_EQ(b->Face()->toolTip(), "<b>A&lt;b&gt;</b><br>x &amp; y");
}

TEST_F(RibbonTest, BackstageOpensAndCloses) {
  ui::Backstage* backstage = ribbon().GetBackstage();
  EXPECT_FALSE(backstage->IsOpen());
  QTest::mouseClick(ribbon().MainButton(), Qt::LeftButton);
  ASSERT_TRUE(backstage->IsOpen());
  EXPECT_EQ(backstage->Page(0), w_->page);
  EXPECT_TRUE(w_->page->isVisible());
  // It covers the window under the tab row.
  EXPECT_EQ(backstage->width(), w_->window.width());
  EXPECT_EQ(backstage->geometry().bottom(), w_->window.height() - 1);
  QTest::keyClick(backstage->List(), Qt::Key_Escape);
  EXPECT_FALSE(backstage->IsOpen());
  QTest::mouseClick(ribbon().MainButton(), Qt::LeftButton);
  EXPECT_TRUE(backstage->IsOpen());
  QTest::mouseClick(ribbon().MainButton(), Qt::LeftButton);
  EXPECT_FALSE(backstage->IsOpen());
  EXPECT_TRUE(owner().commands.empty());

  // A command entry closes the view and sends its id; keyboard only.
  backstage->Open();
  backstage->List()->setFocus();
  QTest::keyClick(backstage->List(), Qt::Key_Down);
  QTest::keyClick(backstage->List(), Qt::Key_Return);
  EXPECT_FALSE(backstage->IsOpen());
  EXPECT_EQ(owner().commands, std::vector<int>{kExit});

  // The entry shows without its mnemonic mark, and Alt+X chooses it.
  owner().commands.clear();
  backstage->Open();
  EXPECT_EQ(backstage->List()->item(1)->text(), "Exit");
  QTest::keyClick(backstage->List(), Qt::Key_X, Qt::AltModifier);
  EXPECT_FALSE(backstage->IsOpen());
  EXPECT_EQ(owner().commands, std::vector<int>{kExit});

  // A category tab closes it as well.
  backstage->Open();
  QTabBar* tabs = static_cast<QTabBar*>(ribbon().TabBar());
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
  EXPECT_FALSE(backstage->IsOpen());
  EXPECT_EQ(ribbon().ActiveCategory(), 1);
}

TEST_F(RibbonTest, FoldsByShortcutAndDoubleClickAndWheelChangesCategory) {
  QTabBar* tabs = static_cast<QTabBar*>(ribbon().TabBar());
  const int fullHeight = ribbon().sizeHint().height();
  QTest::keyClick(&w_->window, Qt::Key_F1, Qt::ControlModifier);
  EXPECT_TRUE(ribbon().IsFolded());
  EXPECT_LT(ribbon().sizeHint().height(), fullHeight / 2);
  QTest::mouseDClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
  EXPECT_FALSE(ribbon().IsFolded());
  EXPECT_EQ(ribbon().sizeHint().height(), fullHeight);

  // Folded, a click on a tab shows that category in a popup (after the
  // double-click time); a command run from it closes it.
  ribbon().SetFolded(true);
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
  ASSERT_TRUE(QTest::qWaitFor([&] { return ribbon().FoldedPopup() != nullptr; }));
  auto* start = ribbon().Find<RibbonButton>(kStart);
  EXPECT_TRUE(start->Face()->isVisible());
  QTest::mouseClick(start->Face(), Qt::LeftButton);
  EXPECT_EQ(owner().commands, std::vector<int>{kStart});
  EXPECT_EQ(ribbon().FoldedPopup(), nullptr);
  EXPECT_FALSE(start->Face()->isVisible());
  EXPECT_TRUE(ribbon().IsFolded());
  ribbon().SetFolded(false);
  EXPECT_TRUE(start->Face()->isVisible());

  EXPECT_EQ(ribbon().ActiveCategory(), 0);
  auto wheel = [&](int delta) {
    QWheelEvent e(tabs->tabRect(0).center(), tabs->mapToGlobal(tabs->tabRect(0).center()), {}, QPoint(0, delta),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(tabs, &e);
  };
  wheel(-120);
  EXPECT_EQ(ribbon().ActiveCategory(), 1);
  wheel(-120);  // no category past the last
  EXPECT_EQ(ribbon().ActiveCategory(), 1);
  wheel(120);
  EXPECT_EQ(ribbon().ActiveCategory(), 0);
}

TEST_F(RibbonTest, PanelsTooWideFoldIntoDropDownButtons) {
  ui::RibbonCategory* preview = ribbon().Category(0);
  for (int i = 0; i < preview->PanelCount(); ++i) EXPECT_FALSE(preview->Panel(i)->IsCollapsed()) << i;
  w_->window.resize(380, 400);
  QApplication::processEvents();
  ASSERT_LE(preview->width(), 400);
  // Folded from the right: the last panel first, the first one last.
  ui::RibbonPanel* last = preview->Panel(preview->PanelCount() - 1);
  EXPECT_TRUE(last->IsCollapsed());
  EXPECT_FALSE(preview->Panel(0)->IsCollapsed());
  // Its drop-down button shows the whole panel, whose elements still work.
  QTest::mouseClick(last->CollapsedButton(), Qt::LeftButton);
  auto* check = ribbon().Find<RibbonCheckBox>(kPreview);
  EXPECT_TRUE(check->Face()->isVisible());
  QTest::mouseClick(check->Face(), Qt::LeftButton);
  EXPECT_EQ(owner().commands, std::vector<int>{kPreview});
  w_->window.resize(1400, 400);
  QApplication::processEvents();
  for (int i = 0; i < preview->PanelCount(); ++i) EXPECT_FALSE(preview->Panel(i)->IsCollapsed()) << i;
}

}  // namespace
}  // namespace kx::test

namespace kx::test {
namespace {

// The backstage lives on the window while open; a ribbon deleted before its
// window takes it along (ASan runs catch a second delete or a leak).
TEST(RibbonLifetime, RibbonDeletedWithItsBackstageOpen) {
  QMainWindow window;
  TestOwner owner;
  auto* ribbon = new ui::Ribbon(&owner, &window);
  window.setMenuWidget(ribbon);
  window.resize(600, 300);
  ribbon->GetBackstage()->AddCommand(kExit, "E&xit");
  window.show();
  ribbon->GetBackstage()->Open();
  QPointer<ui::Backstage> backstage(ribbon->GetBackstage());
  EXPECT_EQ(backstage->parentWidget(), &window);
  window.setMenuWidget(nullptr);  // deletes the ribbon, later
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(backstage.isNull());
}

}  // namespace
}  // namespace kx::test
