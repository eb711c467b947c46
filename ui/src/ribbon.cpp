#include "ui/ribbon.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QShortcut>
#include <QSlider>
#include <QStackedWidget>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "ui/backstage.h"
#include "resources/res_str.h"
#include "ribbon_popups.h"

namespace kx::ui {

// ---------------------------------------------------------------- images

ImageStrip::ImageStrip(QImage normal, int width, QImage doubled)
    : normal_(std::move(normal)), doubled_(std::move(doubled)), width_(width) {}

ImageStrip ImageStrip::FromResource(const QString& path, int width) {
  QImage doubled;
  if (QFile::exists(path + "@2x")) doubled = QImage(path + "@2x", "PNG");
  return ImageStrip(QImage(path, "PNG"), width, doubled);
}

int ImageStrip::Count() const { return width_ > 0 ? normal_.width() / width_ : 0; }

QImage ImageStrip::Image(int index, int scale) const {
  if (index < 0 || index >= Count()) return {};
  if (scale == 2 && doubled_.width() >= 2 * width_ * (index + 1))
    return doubled_.copy(2 * width_ * index, 0, 2 * width_, doubled_.height());
  return normal_.copy(width_ * index, 0, width_, normal_.height());
}

QIcon ImageStrip::Icon(int index) const {
  QIcon icon;
  const QImage one = Image(index, 1);
  if (one.isNull()) return icon;
  icon.addPixmap(QPixmap::fromImage(one));
  QImage two = Image(index, 2);
  if (two.size() == one.size() * 2) {
    QPixmap p = QPixmap::fromImage(two);
    p.setDevicePixelRatio(2.0);
    icon.addPixmap(p);
  }
  return icon;
}

// ---------------------------------------------------------------- descriptions

namespace {
// What every command element has: its kind, command id and texts.
ElementDesc Command(ElementKind kind, int id, QString text, QString tooltip, QString description) {
  ElementDesc d;
  d.kind = kind;
  d.id = id;
  d.text = std::move(text);
  d.tooltip = std::move(tooltip);
  d.description = std::move(description);
  return d;
}
}  // namespace

ElementDesc Button(int id, QString text, QString tooltip, QString description, int image, bool checkable, int group) {
  ElementDesc d = Command(ElementKind::Button, id, std::move(text), std::move(tooltip), std::move(description));
  d.image = image;
  d.checkable = checkable || group != 0;
  d.group = group;
  return d;
}

ElementDesc CheckBox(int id, QString text, QString tooltip, QString description) {
  ElementDesc d = Command(ElementKind::CheckBox, id, std::move(text), std::move(tooltip), std::move(description));
  d.checkable = true;
  return d;
}

ElementDesc ComboBox(int id, QString label, QString tooltip, QString description, int width,
                     std::vector<ComboItem> items) {
  ElementDesc d = Command(ElementKind::ComboBox, id, std::move(label), std::move(tooltip), std::move(description));
  d.width = width;
  d.items = std::move(items);
  return d;
}

ElementDesc Slider(int id, QString tooltip, QString description, int width, int minimum, int maximum, int position,
                   bool zoomButtons) {
  ElementDesc d = Command(ElementKind::Slider, id, {}, std::move(tooltip), std::move(description));
  d.width = width;
  d.minimum = minimum;
  d.maximum = maximum;
  d.position = position;
  d.zoomButtons = zoomButtons;
  return d;
}

ElementDesc Palette(int id, QString text, QString tooltip, QString description, int image, ImageStrip images,
                    std::vector<PaletteItem> items) {
  ElementDesc d = Command(ElementKind::Palette, id, std::move(text), std::move(tooltip), std::move(description));
  d.image = image;
  d.paletteImages = std::move(images);
  d.paletteItems = std::move(items);
  return d;
}

ElementDesc ColorButton(int id, QString text, QString tooltip, QString description, int image, QColor color) {
  ElementDesc d = Command(ElementKind::ColorButton, id, std::move(text), std::move(tooltip), std::move(description));
  d.image = image;
  d.color = color;
  return d;
}

ElementDesc Label(QString text) {
  ElementDesc d;
  d.kind = ElementKind::Label;
  d.text = std::move(text);
  return d;
}

QString ColorTable::NameOf(const QColor& color) const {
  for (const auto* list : {&theme, &shades, &standard})
    for (const auto& c : *list)
      if (c.color.rgb() == color.rgb()) return c.name;
  return {};
}

void CommandUI::SelectByData(int data) {
  if (auto* p = dynamic_cast<RibbonPalette*>(element_)) p->SelectByData(data);
  else if (auto* c = dynamic_cast<RibbonComboBox*>(element_)) c->SelectByData(data);
}

// ---------------------------------------------------------------- elements

namespace {

// Breaks a long button text in two at the space nearest its middle, the way
// large ribbon buttons show two-word captions.
QString TwoLines(const QString& text) {
  if (text.size() < 9) return text;
  int best = -1;
  for (int i = 0; i < text.size(); ++i)
    if (text[i] == ' ' && (best < 0 || std::abs(i - text.size() / 2) < std::abs(best - text.size() / 2))) best = i;
  if (best < 0) return text;
  QString out = text;
  out[best] = '\n';
  return out;
}

// A large button face: 32x32 image, up to two lines of text under it; with
// `arrow` a small drop-down mark under the text (palettes, colour buttons).
class LargeFace : public QToolButton {
 public:
  LargeFace(const QString& text, const QIcon& icon, bool arrow, QWidget* parent) : QToolButton(parent), arrow_(arrow) {
    // Every face has two text lines so the first lines of a panel line up;
    // a drop-down arrow takes an empty second line's place.
    QString shown = TwoLines(text);
    if (!shown.contains('\n')) shown += '\n';
    setText(shown);
    setIcon(icon);
    setIconSize(QSize(32, 32));
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setAutoRaise(true);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
  }
  QSize sizeHint() const override {
    QSize s = QToolButton::sizeHint();
    // Every large button is as high as one with two text lines.
    const int two = 32 + 2 * fontMetrics().height() + 14;
    return QSize(std::max(s.width() + (arrow_ ? 4 : 0), 44), std::max(s.height(), two));
  }
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QToolButton::paintEvent(event);
    if (!arrow_) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    const bool secondLineFree = text().endsWith('\n');
    const QFontMetrics fm = fontMetrics();
    const double cx = width() / 2.0;
    double cy = height() - 6.0 - fm.height() / 2.0;
    if (!secondLineFree) cy = height() - 5.0;
    const QPointF tri[3] = {{cx - 3.5, cy - 1.5}, {cx + 3.5, cy - 1.5}, {cx, cy + 2.5}};
    p.drawPolygon(tri, 3);
  }

 private:
  bool arrow_;
};

}  // namespace

RibbonElement::RibbonElement(Ribbon* ribbon, const ElementDesc& desc, QWidget* parent)
    : QWidget(parent), ribbon_(ribbon), id_(desc.id), kind_(desc.kind), text_(desc.text) {
  if (desc.kind != ElementKind::Label || desc.id != 0) {
    action_ = new QAction(desc.text, this);
    action_->setToolTip(desc.tooltip.isEmpty() ? desc.text : desc.tooltip);
    action_->setStatusTip(desc.description);
    action_->setCheckable(desc.checkable);
    action_->setData(desc.id);
  }
  setToolTip(ToolTipHtml());
  setStatusTip(desc.description);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
}

QString RibbonElement::ToolTipHtml() const {
  if (!action_) return {};
  const QString title = action_->toolTip();
  const QString description = action_->statusTip();
  if (title.isEmpty() && description.isEmpty()) return {};
  QString html = "<b>" + title.toHtmlEscaped() + "</b>";
  if (!description.isEmpty() && description != title) html += "<br>" + description.toHtmlEscaped();
  return html;
}

void RibbonElement::Activate() { ribbon_->SendCommand(id_); }

void RibbonElement::BindCommandFace(QAbstractButton* face) {
  face->setToolTip(toolTip());
  layout()->addWidget(face);
  QObject::connect(action_, &QAction::changed, face, [this, face] {
    face->setEnabled(action_->isEnabled());
    face->setChecked(action_->isChecked());
  });
  QObject::connect(action_, &QAction::triggered, this, [this] { Activate(); });
}

void RibbonElement::BindPopupFace(QAbstractButton* face, const std::function<void()>& open) {
  face->setToolTip(toolTip());
  layout()->addWidget(face);
  // The face only opens the popup: the element has no command of its own.
  QObject::connect(face, &QAbstractButton::clicked, this, open);
  QObject::connect(action_, &QAction::changed, face, [this, face] { face->setEnabled(action_->isEnabled()); });
}

RibbonButton::RibbonButton(Ribbon* ribbon, const ElementDesc& desc, const QIcon& icon, QWidget* parent)
    : RibbonElement(ribbon, desc, parent) {
  Action()->setIcon(icon);
  auto* face = new LargeFace(desc.text, icon, false, this);
  face_ = face;
  face->setCheckable(desc.checkable);
  BindCommandFace(face);
  // A click toggles the face by itself; an exclusive action that is already
  // checked stays checked and says nothing, so put the face back first.
  QObject::connect(face, &QToolButton::clicked, Action(), [this, face] {
    face->setChecked(Action()->isChecked());
    Action()->trigger();
  });
}

bool RibbonButton::IsChecked() const { return Action()->isChecked(); }

RibbonCheckBox::RibbonCheckBox(Ribbon* ribbon, const ElementDesc& desc, QWidget* parent)
    : RibbonElement(ribbon, desc, parent) {
  auto* box = new QCheckBox(desc.text, this);
  face_ = box;
  box->setFocusPolicy(Qt::TabFocus);
  BindCommandFace(box);
  // The action holds the state; the box only shows it and asks for the command.
  QObject::connect(box, &QCheckBox::clicked, Action(), [this, box] {
    box->setChecked(Action()->isChecked());
    Action()->trigger();
  });
}

bool RibbonCheckBox::IsChecked() const { return Action()->isChecked(); }

RibbonComboBox::RibbonComboBox(Ribbon* ribbon, const ElementDesc& desc, QWidget* parent)
    : RibbonElement(ribbon, desc, parent) {
  if (!desc.text.isEmpty()) {
    auto* label = new QLabel(desc.text, this);
    label->setToolTip(toolTip());
    layout()->addWidget(label);
  }
  box_ = new QComboBox(this);
  box_->setEditable(false);
  box_->setToolTip(toolTip());
  box_->setFocusPolicy(Qt::TabFocus);
  if (desc.width > 0) box_->setFixedWidth(desc.width);
  box_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  layout()->addWidget(box_);
  for (const auto& item : desc.items) AddItem(item.text, item.data);
  QObject::connect(box_, &QComboBox::activated, this, [this] { Activate(); });
}

void RibbonComboBox::AddItem(const QString& text, int data) { box_->addItem(text, data); }
void RibbonComboBox::RemoveAllItems() { box_->clear(); }
int RibbonComboBox::Count() const { return box_->count(); }
QString RibbonComboBox::ItemText(int index) const { return box_->itemText(index); }
int RibbonComboBox::ItemData(int index) const {
  return index >= 0 && index < box_->count() ? box_->itemData(index).toInt() : 0;
}
int RibbonComboBox::SelectedItem() const { return box_->currentIndex(); }
int RibbonComboBox::SelectedData() const { return ItemData(box_->currentIndex()); }
void RibbonComboBox::SetSelectedItem(int index) {
  box_->setCurrentIndex(index >= 0 && index < box_->count() ? index : -1);
}
bool RibbonComboBox::SelectByData(int data) {
  const int index = box_->findData(data);
  box_->setCurrentIndex(index >= 0 ? index : (box_->count() > 0 ? 0 : -1));
  return index >= 0;
}
QWidget* RibbonComboBox::Face() const { return box_; }

RibbonSlider::RibbonSlider(Ribbon* ribbon, const ElementDesc& desc, QWidget* parent)
    : RibbonElement(ribbon, desc, parent) {
  track_ = new QSlider(Qt::Horizontal, this);
  track_->setToolTip(toolTip());
  track_->setFocusPolicy(Qt::TabFocus);
  SetRange(desc.minimum, desc.maximum);
  SetPos(desc.position);
  auto zoom = [this](const QString& text, int direction) {
    auto* b = new QToolButton(this);
    b->setText(text);
    b->setAutoRaise(true);
    b->setToolTip(toolTip());
    b->setFocusPolicy(Qt::NoFocus);
    QObject::connect(b, &QToolButton::clicked, this, [this, direction] { Zoom(direction); });
    return b;
  };
  if (desc.zoomButtons) layout()->addWidget(zoom(QStringLiteral("\u2212"), -1));
  layout()->addWidget(track_);
  if (desc.zoomButtons) layout()->addWidget(zoom(QStringLiteral("+"), +1));
  // The width is the whole element's, buttons included.
  if (desc.width > 0) setFixedWidth(desc.width);
  QObject::connect(track_, &QSlider::valueChanged, this, [this] {
    if (!moving_) Activate();
  });
}

int RibbonSlider::Pos() const { return track_->value(); }
void RibbonSlider::SetPos(int pos) {
  moving_ = true;
  track_->setValue(pos);
  moving_ = false;
}
void RibbonSlider::SetRange(int minimum, int maximum) {
  moving_ = true;
  track_->setRange(minimum, maximum);
  moving_ = false;
  step_ = std::max(1, (maximum - minimum) / 20);
  track_->setSingleStep(std::max(1, (maximum - minimum) / 100));
  track_->setPageStep(step_);
}
int RibbonSlider::Minimum() const { return track_->minimum(); }
int RibbonSlider::Maximum() const { return track_->maximum(); }
void RibbonSlider::Zoom(int direction) {
  const int before = track_->value();
  SetPos(before + direction * step_);
  if (track_->value() != before) Activate();
}
QWidget* RibbonSlider::Face() const { return track_; }

RibbonLabel::RibbonLabel(Ribbon* ribbon, const ElementDesc& desc, QWidget* parent)
    : RibbonElement(ribbon, desc, parent) {
  auto* label = new QLabel(desc.text, this);
  label->setObjectName("text");
  layout()->addWidget(label);
}

void RibbonLabel::SetText(const QString& text) {
  if (auto* label = findChild<QLabel*>("text")) label->setText(text);
}

// ---------------------------------------------------------------- palette and colour button faces

RibbonPalette::RibbonPalette(Ribbon* ribbon, const ElementDesc& desc, const QIcon& icon, QWidget* parent)
    : RibbonElement(ribbon, desc, parent), images_(desc.paletteImages), items_(desc.paletteItems) {
  Action()->setIcon(icon);
  auto* face = new LargeFace(desc.text, icon, true, this);
  face_ = face;
  BindPopupFace(face, [this] { ShowPopup(); });
}

int RibbonPalette::ItemData(int index) const {
  return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)].data : 0;
}
int RibbonPalette::SelectedData() const { return ItemData(selected_); }
void RibbonPalette::SetSelectedItem(int index) {
  selected_ = index >= 0 && index < Count() ? index : -1;
  if (popup_) popup_->update();
}
bool RibbonPalette::SelectByData(int data) {
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<size_t>(i)].data == data) {
      SetSelectedItem(i);
      return true;
    }
  SetSelectedItem(-1);
  return false;
}
void RibbonPalette::PickItem(int index) {
  if (index < 0 || index >= Count()) return;
  SetSelectedItem(index);
  if (popup_) popup_->close();
  Activate();
}
QWidget* RibbonPalette::Popup() const { return popup_ && popup_->isVisible() ? popup_ : nullptr; }
void RibbonPalette::ShowPopup() {
  if (!popup_) popup_ = new PalettePopup(this, images_, items_);
  static_cast<PalettePopup*>(popup_)->ShowUnder(face_);
}

namespace {

// The colour button's face icon: its image made smaller at the top and the
// current colour as a bar under it, at both scales.
QIcon ColorFaceIcon(const QIcon& base, const QColor& color, const QPalette& palette) {
  QIcon icon;
  for (int scale : {1, 2}) {
    QPixmap pm(32 * scale, 32 * scale);
    pm.fill(Qt::transparent);
    pm.setDevicePixelRatio(scale);
    QPainter p(&pm);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    base.paint(&p, QRect(5, 0, 22, 22));
    p.setPen(QPen(palette.color(QPalette::Light), 1.0));
    p.setBrush(color.isValid() ? color : QColor(Qt::transparent));
    p.drawRect(QRectF(3.5, 24.5, 25, 6));
    p.end();
    icon.addPixmap(pm);
  }
  return icon;
}

}  // namespace

RibbonColorButton::RibbonColorButton(Ribbon* ribbon, const ElementDesc& desc, const QIcon& icon, QWidget* parent)
    : RibbonElement(ribbon, desc, parent), color_(desc.color) {
  Action()->setIcon(icon);
  auto* face = new LargeFace(desc.text, ColorFaceIcon(icon, color_, palette()), true, this);
  face_ = face;
  BindPopupFace(face, [this] { ShowPopup(); });
}

void RibbonColorButton::SetColor(const QColor& color) {
  color_ = color;
  static_cast<QToolButton*>(face_)->setIcon(ColorFaceIcon(Action()->icon(), color_, palette()));
  if (popup_) popup_->update();
}

void RibbonColorButton::PickColor(const QColor& color) {
  if (popup_) popup_->close();
  if (!color.isValid()) return;
  SetColor(color);
  Activate();
}

QWidget* RibbonColorButton::Popup() const { return popup_ && popup_->isVisible() ? popup_ : nullptr; }

void RibbonColorButton::ShowPopup() {
  if (!popup_) popup_ = new ColorPopup(this, ribbon_->Colors());
  static_cast<ColorPopup*>(popup_)->ShowUnder(face_);
}

// ---------------------------------------------------------------- panels

namespace {

// The drop-down button of a folded panel that has no image of its own: three
// rows of controls, in the palette's text colour.
QIcon PanelIcon(const QPalette& palette) {
  QIcon icon;
  for (int scale : {1, 2}) {
    QPixmap pm(32 * scale, 32 * scale);
    pm.fill(Qt::transparent);
    pm.setDevicePixelRatio(scale);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette.color(QPalette::ButtonText), 1.2));
    p.setBrush(palette.color(QPalette::Base));
    for (int row = 0; row < 3; ++row) p.drawRoundedRect(QRectF(4.5, 5.5 + row * 8, 23, 5), 1.5, 1.5);
    p.setBrush(palette.color(QPalette::Highlight));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(6, 7, 10, 2));
    p.drawEllipse(QPointF(18, 16), 2.5, 2.5);
    p.drawRect(QRectF(6, 23, 4, 2));
    p.end();
    icon.addPixmap(pm);
  }
  return icon;
}

}  // namespace

class RibbonPanel::Popup : public QFrame {
 public:
  explicit Popup(RibbonPanel* panel) : QFrame(panel, Qt::Popup), panel_(panel) {
    setFrameShape(QFrame::StyledPanel);
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(2, 2, 2, 2);
  }

 protected:
  void hideEvent(QHideEvent* event) override {
    QFrame::hideEvent(event);
    // The panel's body goes back to the panel, hidden while it stays collapsed.
    if (panel_->body_->parentWidget() == this) {
      layout()->removeWidget(panel_->body_);
      panel_->body_->setParent(panel_);
      panel_->layout()->addWidget(panel_->body_);
      panel_->body_->setVisible(!panel_->IsCollapsed());
    }
  }

 private:
  RibbonPanel* panel_;
};

RibbonPanel::RibbonPanel(Ribbon* ribbon, RibbonCategory* category, const QString& caption, QWidget* parent)
    : QWidget(parent), ribbon_(ribbon), category_(category), caption_(caption) {
  auto* outer = new QHBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  body_ = new QWidget(this);
  auto* bl = new QVBoxLayout(body_);
  bl->setContentsMargins(4, 3, 4, 1);
  bl->setSpacing(1);
  content_ = new QWidget(body_);
  auto* cl = new QHBoxLayout(content_);
  cl->setContentsMargins(0, 0, 0, 0);
  cl->setSpacing(2);
  bl->addWidget(content_, 1);
  auto* label = new QLabel(caption, body_);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
  label->setForegroundRole(QPalette::PlaceholderText);
  bl->addWidget(label);

  auto* collapsed = new LargeFace(caption, PanelIcon(palette()), true, this);
  collapsed->setToolTip("<b>" + caption.toHtmlEscaped() + "</b>");
  collapsed->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  collapsedButton_ = collapsed;
  QObject::connect(collapsed, &QToolButton::clicked, this, [this] {
    if (!popup_) popup_ = new Popup(this);
    layout()->removeWidget(body_);
    body_->setParent(popup_);
    popup_->layout()->addWidget(body_);
    body_->show();
    popup_->adjustSize();
    popup_->move(PopupPosition(collapsedButton_, popup_->size()));
    popup_->show();
  });
  outer->addWidget(body_);
  // At the top, with the body's margins, so its image and text line up with
  // the faces of the panels beside it.
  collapsedBox_ = new QWidget(this);
  auto* box = new QVBoxLayout(collapsedBox_);
  box->setContentsMargins(bl->contentsMargins());
  collapsed->setParent(collapsedBox_);
  collapsed->show();
  box->addWidget(collapsed);
  box->addStretch(1);
  collapsedBox_->hide();
  outer->addWidget(collapsedBox_);
}

void RibbonPanel::StartColumn() {
  column_ = new QWidget(content_);
  auto* l = new QVBoxLayout(column_);
  l->setContentsMargins(2, 2, 2, 2);
  l->setSpacing(3);
  l->addStretch(1);
  static_cast<QHBoxLayout*>(content_->layout())->addWidget(column_);
  rows_ = 0;
}

RibbonElement* RibbonPanel::Add(const ElementDesc& desc) {
  const ImageStrip& images = category_->Images();
  const QIcon icon = images.Icon(desc.image);
  if (firstIcon_.isNull() && !icon.isNull()) {
    firstIcon_ = icon;
    static_cast<QToolButton*>(collapsedButton_)->setIcon(icon);
  }
  RibbonElement* element = nullptr;
  switch (desc.kind) {
    case ElementKind::Button: element = new RibbonButton(ribbon_, desc, icon, content_); break;
    case ElementKind::Palette: element = new RibbonPalette(ribbon_, desc, icon, content_); break;
    case ElementKind::ColorButton: element = new RibbonColorButton(ribbon_, desc, icon, content_); break;
    case ElementKind::CheckBox: element = new RibbonCheckBox(ribbon_, desc, content_); break;
    case ElementKind::ComboBox: element = new RibbonComboBox(ribbon_, desc, content_); break;
    case ElementKind::Slider: element = new RibbonSlider(ribbon_, desc, content_); break;
    case ElementKind::Label: element = new RibbonLabel(ribbon_, desc, content_); break;
  }
  const bool large =
      desc.kind == ElementKind::Button || desc.kind == ElementKind::Palette || desc.kind == ElementKind::ColorButton;
  if (large) {
    static_cast<QHBoxLayout*>(content_->layout())->addWidget(element);
    column_ = nullptr;
  } else {
    if (!column_ || rows_ >= 3) StartColumn();
    auto* l = static_cast<QVBoxLayout*>(column_->layout());
    l->insertWidget(l->count() - 1, element, 0, Qt::AlignLeft);
    ++rows_;
  }
  ribbon_->Register(element);
  if (desc.group != 0 && element->Action()) ribbon_->Group(desc.group)->addAction(element->Action());
  return element;
}

bool RibbonPanel::IsCollapsed() const { return !collapsedBox_->isHidden(); }

void RibbonPanel::SetCollapsed(bool collapsed) {
  if (collapsed == IsCollapsed()) return;
  if (popup_) popup_->hide();
  body_->setVisible(!collapsed);
  collapsedBox_->setVisible(collapsed);
}

int RibbonPanel::FullWidth() const { return body_->sizeHint().width(); }
QWidget* RibbonPanel::CollapsedButton() const { return collapsedButton_; }

// ---------------------------------------------------------------- categories

namespace {

// A thin vertical line between two panels, in the palette's mid colour.
class PanelSeparator : public QWidget {
 public:
  explicit PanelSeparator(QWidget* parent) : QWidget(parent) { setFixedWidth(5); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(2, 4, 2, height() - 5);
  }
};

}  // namespace

RibbonCategory::RibbonCategory(Ribbon* ribbon, const QString& name, ImageStrip images, QWidget* parent)
    : QWidget(parent), ribbon_(ribbon), name_(name), images_(std::move(images)) {
  auto* l = new QHBoxLayout(this);
  l->setContentsMargins(2, 0, 2, 0);
  l->setSpacing(0);
  l->addStretch(1);
}

RibbonPanel* RibbonCategory::AddPanel(const QString& caption) {
  auto* l = static_cast<QHBoxLayout*>(layout());
  auto* panel = new RibbonPanel(ribbon_, this, caption, this);
  l->insertWidget(l->count() - 1, panel);
  l->insertWidget(l->count() - 1, new PanelSeparator(this));
  panels_.push_back(panel);
  return panel;
}

void RibbonCategory::FitPanels() {
  const QMargins m = layout()->contentsMargins();
  int available = width() - m.left() - m.right();
  std::vector<int> full, folded;
  int total = 0;
  for (auto* panel : panels_) {
    full.push_back(panel->FullWidth() + 5);
    folded.push_back(panel->CollapsedButton()->sizeHint().width() + 8 + 5);
    total += full.back();
  }
  // Fold from the right until the rest fits (or every panel is folded).
  size_t n = panels_.size();
  std::vector<bool> collapse(n, false);
  for (size_t i = n; i-- > 0 && total > available;) {
    collapse[i] = true;
    total += folded[i] - full[i];
  }
  for (size_t i = 0; i < n; ++i) panels_[i]->SetCollapsed(collapse[i]);
}

void RibbonCategory::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FitPanels();
}

// ---------------------------------------------------------------- ribbon

// The popup that shows a folded ribbon's category.
class Ribbon::Peek : public QFrame {
 public:
  explicit Peek(Ribbon* ribbon) : QFrame(ribbon, Qt::Popup), ribbon_(ribbon) {
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(1, 1, 1, 1);
  }
  void Open() {
    QWidget* pages = ribbon_->pages_;
    static_cast<QVBoxLayout*>(ribbon_->layout())->removeWidget(pages);
    pages->setParent(this);
    layout()->addWidget(pages);
    pages->show();
    const QPoint at = ribbon_->mapToGlobal(QPoint(0, ribbon_->tabs_->geometry().bottom() + 1));
    setGeometry(QRect(at, QSize(ribbon_->width(), pages->sizeHint().height() + 2)));
    show();
  }

 protected:
  void hideEvent(QHideEvent* event) override {
    QFrame::hideEvent(event);
    QWidget* pages = ribbon_->pages_;
    if (pages->parentWidget() != this) return;
    layout()->removeWidget(pages);
    pages->setParent(ribbon_);
    static_cast<QVBoxLayout*>(ribbon_->layout())->addWidget(pages);
    pages->setVisible(!ribbon_->folded_);
  }

 private:
  Ribbon* ribbon_;
};


namespace {

// The tab row's tab bar: a double click folds the ribbon; the wheel steps
// through the categories.
class Tabs : public QTabBar {
 public:
  explicit Tabs(QWidget* parent) : QTabBar(parent) {
    setDrawBase(false);
    setExpanding(false);
    setFocusPolicy(Qt::TabFocus);
  }

 protected:
  void wheelEvent(QWheelEvent* event) override {
    const int delta = event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
    if (delta == 0 || count() == 0) return;
    const int next = std::clamp(currentIndex() + (delta < 0 ? 1 : -1), 0, count() - 1);
    setCurrentIndex(next);
    event->accept();
  }
};

}  // namespace

Ribbon::Ribbon(RibbonOwner* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
  setAutoFillBackground(false);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 4, 0);
  row->setSpacing(4);
  main_ = new QToolButton(this);
  main_->setObjectName("kxRibbonMainButton");
  main_->setAutoRaise(false);
  main_->setFocusPolicy(Qt::TabFocus);
  // Colours come from the palette, so the program's theme decides them.
  main_->setStyleSheet(
      "QToolButton#kxRibbonMainButton { background: palette(highlight); color: palette(highlighted-text);"
      " border: none; padding: 3px 14px; font-weight: bold; }"
      "QToolButton#kxRibbonMainButton:hover { background: palette(link); }");
  main_->hide();
  tabs_ = new Tabs(this);
  fold_ = new QToolButton(this);
  fold_->setAutoRaise(true);
  fold_->setFocusPolicy(Qt::NoFocus);
  fold_->setArrowType(Qt::UpArrow);
  row->addWidget(main_);
  row->addWidget(tabs_, 0, Qt::AlignBottom);
  row->addStretch(1);
  row->addWidget(fold_);
  outer->addLayout(row);
  pages_ = new QStackedWidget(this);
  outer->addWidget(pages_);
  SetFolded(false);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

  QObject::connect(main_, &QToolButton::clicked, this, [this] {
    Backstage* b = GetBackstage();
    if (b->IsOpen()) b->Close();
    else b->Open();
  });
  QObject::connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
    pages_->setCurrentIndex(index);
    if (index >= 0) static_cast<RibbonCategory*>(pages_->widget(index))->FitPanels();
  });
  // The popup of a folded ribbon waits out the double-click time, so a
  // double click unfolds instead.
  peekTimer_ = new QTimer(this);
  peekTimer_->setSingleShot(true);
  peekTimer_->setInterval(QApplication::doubleClickInterval());
  QObject::connect(peekTimer_, &QTimer::timeout, this, [this] { ShowPeek(); });
  QObject::connect(tabs_, &QTabBar::tabBarClicked, this, [this](int) {
    if (backstage_ && backstage_->IsOpen()) backstage_->Close();
    if (folded_) peekTimer_->start();
  });
  QObject::connect(tabs_, &QTabBar::tabBarDoubleClicked, this, [this](int) {
    peekTimer_->stop();
    SetFolded(!folded_);
  });
  QObject::connect(fold_, &QToolButton::clicked, this, [this] { SetFolded(!folded_); });
  auto* fold = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F1), this);
  fold->setContext(Qt::WindowShortcut);
  QObject::connect(fold, &QShortcut::activated, this, [this] { SetFolded(!folded_); });
}

Ribbon::~Ribbon() {
  // An opened backstage lives on the window; it goes with its ribbon.
  if (backstage_ && backstage_->parent() != this) delete backstage_;
}

void Ribbon::SetMainButton(const QString& text, const QString& tooltip, const QString& description) {
  main_->setText(text);
  QString html = "<b>" + tooltip.toHtmlEscaped() + "</b>";
  if (!description.isEmpty()) html += "<br>" + description.toHtmlEscaped();
  main_->setToolTip(html);
  main_->setStatusTip(description);
  main_->show();
}

QWidget* Ribbon::MainButton() const { return main_; }

void Ribbon::SetBackgroundImage(const QImage& image) {
  background_ = image;
  update();
}

void Ribbon::SetColorTable(ColorTable table) { colors_ = std::move(table); }

RibbonCategory* Ribbon::AddCategory(const QString& name, ImageStrip largeImages) {
  auto* category = new RibbonCategory(this, name, std::move(largeImages), pages_);
  categories_.push_back(category);
  pages_->addWidget(category);
  tabs_->addTab(name);
  return category;
}

int Ribbon::CategoryCount() const { return static_cast<int>(categories_.size()); }
RibbonCategory* Ribbon::Category(int index) const {
  return index >= 0 && index < CategoryCount() ? categories_[static_cast<size_t>(index)] : nullptr;
}
int Ribbon::ActiveCategory() const { return tabs_->currentIndex(); }
void Ribbon::SetActiveCategory(int index) { tabs_->setCurrentIndex(index); }
QWidget* Ribbon::TabBar() const { return tabs_; }

RibbonElement* Ribbon::FindByID(int id) const {
  auto it = elements_.find(id);
  return it == elements_.end() ? nullptr : it->second;
}

QAction* Ribbon::Action(int id) const {
  RibbonElement* e = FindByID(id);
  return e ? e->Action() : nullptr;
}

std::vector<int> Ribbon::CommandIds() const {
  std::vector<int> ids;
  for (const auto& [id, e] : elements_) ids.push_back(id);
  return ids;
}

QActionGroup* Ribbon::Group(int group) {
  QActionGroup*& g = groups_[group];
  if (!g) {
    g = new QActionGroup(this);
    g->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
  }
  return g;
}

void Ribbon::Register(RibbonElement* element) {
  if (element->Id() == 0 || !element->Action()) return;
  elements_[element->Id()] = element;
  // Shortcuts the owner gives the action work anywhere in the window.
  addAction(element->Action());
}

void Ribbon::UpdateState() {
  if (!owner_ || updating_) return;
  updating_ = true;
  // Unchecked states first, so an exclusive group ends with its checked member.
  std::vector<std::pair<QAction*, bool>> checks;
  for (const auto& [id, element] : elements_) {
    QAction* action = element->Action();
    CommandUI ui(id, element, action->isChecked());
    owner_->OnUpdateCommand(ui);
    action->setEnabled(ui.Enabled());
    element->setEnabled(ui.Enabled());
    if (action->isCheckable()) checks.emplace_back(action, ui.Checked());
  }
  for (auto& [action, on] : checks)
    if (!on) action->setChecked(false);
  for (auto& [action, on] : checks)
    if (on) action->setChecked(true);
  updating_ = false;
}

void Ribbon::SendCommand(int id) {
  if (peek_) peek_->hide();  // a command ends the look into a folded ribbon
  if (owner_) owner_->OnRibbonCommand(id);
  UpdateState();
}

void Ribbon::ShowPeek() {
  if (!folded_ || !isVisible()) return;
  if (!peek_) peek_ = new Peek(this);
  peek_->Open();
}

QWidget* Ribbon::FoldedPopup() const { return peek_ && peek_->isVisible() ? peek_ : nullptr; }

void Ribbon::SetFolded(bool folded) {
  if (peekTimer_) peekTimer_->stop();
  if (peek_) peek_->hide();
  folded_ = folded;
  pages_->setVisible(!folded);
  fold_->setArrowType(folded ? Qt::DownArrow : Qt::UpArrow);
  const auto res = [](uint32_t id) { return QString::fromStdU16String(ResStr(id)).toHtmlEscaped(); };
  fold_->setToolTip("<b>" + res(folded ? 5005 : 5003) + "</b><br>" + res(folded ? 5006 : 5004));
  updateGeometry();
  update();
}

Backstage* Ribbon::GetBackstage() {
  if (!backstage_) backstage_ = new Backstage(this);
  return backstage_;
}

void Ribbon::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  UpdateState();
}

bool Ribbon::eventFilter(QObject* watched, QEvent* event) { return QWidget::eventFilter(watched, event); }

void Ribbon::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect tabRow(0, 0, width(), pages_->isVisible() ? pages_->y() : height());
  p.fillRect(rect(), palette().color(QPalette::Window));
  if (pages_->isVisible()) {
    const QRect body = pages_->geometry();
    p.fillRect(body, palette().color(QPalette::Button));
    if (!background_.isNull()) {
      // The background image, faint, at the right end of the panel area.
      p.setOpacity(0.35);
      const QImage scaled = background_.scaledToHeight(body.height(), Qt::SmoothTransformation);
      p.drawImage(QPoint(body.right() - scaled.width() + 1, body.top()), scaled);
      p.setOpacity(1.0);
    }
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(body.left(), body.top(), body.right(), body.top());
    p.drawLine(body.left(), body.bottom(), body.right(), body.bottom());
  }
  (void)tabRow;
}

}  // namespace kx::ui
