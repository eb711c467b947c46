// The ribbon: an application ("Main") button, categories as tabs, panels of
// elements with their captions underneath, and the backstage view the Main
// button opens.
//
// Every element with a non-zero id has one QAction (text, tooltip, status
// tip, icon, checkable); activating an element sends its id to the owner's
// OnRibbonCommand, and the update pass asks the owner for each id's state.
// The pass runs when the ribbon is shown, after every command, and whenever
// the owner calls UpdateState() (after its queued messages).
//
//   kx::ui::Ribbon ribbon(&owner, frame);
//   auto* cat = ribbon.AddCategory(tr("Preview"), kx::ui::ImageStrip::FromResource(":/PNG/2000", 32));
//   auto* panel = cat->AddPanel(tr("Control"));
//   panel->Add(kx::ui::Button(33000, "Start", "Start", "Start camera preview", 0));
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QAbstractButton;
class QAction;
class QActionGroup;
class QComboBox;
class QSlider;
class QStackedWidget;
class QTabBar;
class QTimer;
class QToolButton;

namespace kx::ui {

class Backstage;
class Ribbon;
class RibbonCategory;
class RibbonElement;

// A row of equally wide square images (a "bitmap" of the resources). The 2x
// image, when given, holds the same row drawn at twice the size for 200 %.
class ImageStrip {
 public:
  ImageStrip() = default;
  ImageStrip(QImage normal, int width, QImage doubled = {});
  // Loads PATH.png and, when present, PATH@2x.png (":/PNG/2000").
  static ImageStrip FromResource(const QString& path, int width);

  int Count() const;
  int Width() const { return width_; }
  QIcon Icon(int index) const;  // null icon for an index outside the strip
  QImage Image(int index, int scale = 1) const;

 private:
  QImage normal_, doubled_;
  int width_ = 0;
};

enum class ElementKind { Button, CheckBox, ComboBox, Slider, Palette, ColorButton, Label };

struct ComboItem {
  QString text;
  int data = 0;
};

struct PaletteItem {
  int image = 0;  // index in the palette's own image strip
  int data = 0;
  QString tooltip;
};

// One element of a panel, as a table row. Use the helpers below to fill it.
struct ElementDesc {
  ElementKind kind = ElementKind::Button;
  int id = 0;             // command id; 0 only for labels
  QString text;           // button / check box text; label text; a combo box's label ("Device:")
  QString tooltip;        // bold first line of the tooltip; empty: the text
  QString description;    // second line of the tooltip, and the action's status tip
  int image = -1;         // index in the category's large image strip
  bool checkable = false; // buttons
  int group = 0;          // non-zero: buttons of one exclusive QActionGroup of this ribbon
  int width = 0;          // combo box / slider width at 100 % scale; 0: natural width
  std::vector<ComboItem> items;  // combo box
  int minimum = 0, maximum = 100, position = 0;  // slider
  bool zoomButtons = false;                      // slider: "-" and "+" at its ends
  ImageStrip paletteImages;                      // palette
  std::vector<PaletteItem> paletteItems;         // palette
  QColor color;                                  // colour button: starting colour
};

ElementDesc Button(int id, QString text, QString tooltip, QString description, int image, bool checkable = false,
                   int group = 0);
ElementDesc CheckBox(int id, QString text, QString tooltip, QString description);
ElementDesc ComboBox(int id, QString label, QString tooltip, QString description, int width,
                     std::vector<ComboItem> items = {});
ElementDesc Slider(int id, QString tooltip, QString description, int width, int minimum, int maximum, int position,
                   bool zoomButtons);
ElementDesc Palette(int id, QString text, QString tooltip, QString description, int image, ImageStrip images,
                    std::vector<PaletteItem> items);
ElementDesc ColorButton(int id, QString text, QString tooltip, QString description, int image, QColor color);
ElementDesc Label(QString text);

// A colour with its display name (the name is the colour box's tooltip).
struct NamedColor {
  QColor color;
  QString name;
};

// What every colour button's popup offers: a row of theme colours, the
// shades in columns under them, a row of standard colours, "More Colors".
struct ColorTable {
  QString themeTitle;             // "Theme Colors"
  std::vector<NamedColor> theme;  // one row
  std::vector<NamedColor> shades; // rows of theme.size(), row after row; shown as columns under each theme colour
  QString standardTitle;          // "Standard Colors"
  std::vector<NamedColor> standard;
  QString moreText;     // "&More Colors..."; empty: the built-in text
  QString moreTooltip;  // "More Colors"; empty: the built-in text
  int boxSize = 18;     // colour box side at 100 % scale

  QString NameOf(const QColor& color) const;  // empty when the colour is in no list
};

// What the update pass tells about one command id.
class CommandUI {
 public:
  CommandUI(int id, RibbonElement* element, bool checked) : id_(id), element_(element), checked_(checked) {}
  int Id() const { return id_; }
  RibbonElement* Element() const { return element_; }  // null for an action without an element
  void Enable(bool on) { enabled_ = on; }
  void SetCheck(bool on) { checked_ = on; }
  // Palette: the item with this data, none when no item has it.
  // Combo box: the item with this data, the first when no item has it.
  void SelectByData(int data);
  bool Enabled() const { return enabled_; }
  bool Checked() const { return checked_; }

 private:
  int id_;
  RibbonElement* element_;
  bool enabled_ = true;
  bool checked_;
};

// The one command handler of the ribbon's owner.
class RibbonOwner {
 public:
  virtual ~RibbonOwner() = default;
  virtual void OnRibbonCommand(int id) = 0;
  // Called for every command id in each update pass; leaving `ui` alone keeps
  // the element enabled and its check as it is.
  virtual void OnUpdateCommand(CommandUI& ui) { (void)ui; }
};

// Base of every element. Elements are owned by their panel.
class RibbonElement : public QWidget {
 public:
  int Id() const { return id_; }
  ElementKind Kind() const { return kind_; }
  QAction* Action() const { return action_; }  // null for a label
  QString Text() const { return text_; }

 protected:
  RibbonElement(Ribbon* ribbon, const ElementDesc& desc, QWidget* parent);
  void Activate();  // sends the id to the owner, then runs the update pass
  QString ToolTipHtml() const;
  // Adds the face of a command element: it shows the action's enabled and
  // checked state, and the action's trigger sends the command.
  void BindCommandFace(QAbstractButton* face);
  // Adds the face of a popup element (palette, colour button): a click runs
  // `open`; the face shows the action's enabled state.
  void BindPopupFace(QAbstractButton* face, const std::function<void()>& open);
  Ribbon* ribbon_;

 private:
  friend class Ribbon;
  int id_;
  ElementKind kind_;
  QString text_;
  QAction* action_ = nullptr;
};

class RibbonButton : public RibbonElement {
 public:
  RibbonButton(Ribbon* ribbon, const ElementDesc& desc, const QIcon& icon, QWidget* parent);
  bool IsChecked() const;
  QWidget* Face() const { return face_; }

 private:
  QWidget* face_;
};

class RibbonCheckBox : public RibbonElement {
 public:
  RibbonCheckBox(Ribbon* ribbon, const ElementDesc& desc, QWidget* parent);
  bool IsChecked() const;
  QWidget* Face() const { return face_; }

 private:
  QWidget* face_;
};

class RibbonComboBox : public RibbonElement {
 public:
  RibbonComboBox(Ribbon* ribbon, const ElementDesc& desc, QWidget* parent);
  void AddItem(const QString& text, int data);
  void RemoveAllItems();
  int Count() const;
  QString ItemText(int index) const;
  int ItemData(int index) const;   // 0 outside the list
  int SelectedItem() const;        // -1: none
  int SelectedData() const;        // 0 when none is selected
  void SetSelectedItem(int index); // outside the list: none selected
  bool SelectByData(int data);     // the item with this data, else the first; false when not found
  QWidget* Face() const;

 private:
  QComboBox* box_;
};

class RibbonSlider : public RibbonElement {
 public:
  RibbonSlider(Ribbon* ribbon, const ElementDesc& desc, QWidget* parent);
  int Pos() const;
  void SetPos(int pos);  // moves the slider without sending the command
  void SetRange(int minimum, int maximum);
  int Minimum() const;
  int Maximum() const;
  void Zoom(int direction);  // what the "-" (-1) and "+" (+1) buttons do: a step and the command
  QWidget* Face() const;

 private:
  QSlider* track_;
  int step_ = 1;
  bool moving_ = false;
};

class RibbonPalette : public RibbonElement {
 public:
  RibbonPalette(Ribbon* ribbon, const ElementDesc& desc, const QIcon& icon, QWidget* parent);
  int Count() const { return static_cast<int>(items_.size()); }
  int ItemData(int index) const;   // 0 outside the list
  int SelectedItem() const { return selected_; }  // -1: none
  int SelectedData() const;        // 0 when none is selected
  void SetSelectedItem(int index); // outside the list: none
  bool SelectByData(int data);     // none when no item has it
  void ShowPopup();
  QWidget* Popup() const;  // the open popup, null when closed
  // What a click on item `index` of the popup does: select it, close, send the id.
  void PickItem(int index);
  QWidget* Face() const { return face_; }

 private:
  friend class PalettePopup;
  ImageStrip images_;
  std::vector<PaletteItem> items_;
  int selected_ = -1;
  QWidget* face_;
  QWidget* popup_ = nullptr;
};

class RibbonColorButton : public RibbonElement {
 public:
  RibbonColorButton(Ribbon* ribbon, const ElementDesc& desc, const QIcon& icon, QWidget* parent);
  QColor Color() const { return color_; }
  void SetColor(const QColor& color);  // no command
  void ShowPopup();
  QWidget* Popup() const;  // the open popup, null when closed
  // What a click on a box of the popup does: take the colour, close, send the id.
  void PickColor(const QColor& color);
  QWidget* Face() const { return face_; }

 private:
  QColor color_;
  QWidget* face_;
  QWidget* popup_ = nullptr;
};

class RibbonLabel : public RibbonElement {
 public:
  RibbonLabel(Ribbon* ribbon, const ElementDesc& desc, QWidget* parent);
  void SetText(const QString& text);
};

class RibbonPanel : public QWidget {
 public:
  RibbonPanel(Ribbon* ribbon, RibbonCategory* category, const QString& caption, QWidget* parent);
  // Adds an element at the right: buttons, palettes and colour buttons take a
  // column each; check boxes, combo boxes, sliders and labels stack three to a column.
  RibbonElement* Add(const ElementDesc& desc);
  QString Caption() const { return caption_; }
  bool IsCollapsed() const;
  void SetCollapsed(bool collapsed);  // shown as one drop-down button when too wide
  int FullWidth() const;              // width when not collapsed
  QWidget* CollapsedButton() const;

 private:
  class Popup;
  void StartColumn();
  Ribbon* ribbon_;
  RibbonCategory* category_;
  QString caption_;
  QWidget* body_;          // elements and caption
  QWidget* content_;       // the element columns
  QWidget* column_ = nullptr;
  int rows_ = 3;
  QWidget* collapsedButton_;
  QWidget* collapsedBox_;
  QWidget* popup_ = nullptr;
  QIcon firstIcon_;
};

class RibbonCategory : public QWidget {
 public:
  RibbonCategory(Ribbon* ribbon, const QString& name, ImageStrip images, QWidget* parent);
  RibbonPanel* AddPanel(const QString& caption);
  QString Name() const { return name_; }
  const ImageStrip& Images() const { return images_; }
  int PanelCount() const { return static_cast<int>(panels_.size()); }
  RibbonPanel* Panel(int index) const { return panels_.at(static_cast<size_t>(index)); }
  void FitPanels();  // folds panels from the right until the rest fits

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  Ribbon* ribbon_;
  QString name_;
  ImageStrip images_;
  std::vector<RibbonPanel*> panels_;
};

class Ribbon : public QWidget {
 public:
  explicit Ribbon(RibbonOwner* owner, QWidget* parent = nullptr);
  ~Ribbon() override;

  // The application button at the left of the tabs; it opens the backstage view.
  void SetMainButton(const QString& text, const QString& tooltip, const QString& description);
  QWidget* MainButton() const;
  void SetBackgroundImage(const QImage& image);  // drawn tiled, faintly, under the panels
  void SetColorTable(ColorTable table);
  const ColorTable& Colors() const { return colors_; }

  RibbonCategory* AddCategory(const QString& name, ImageStrip largeImages);
  int CategoryCount() const;
  RibbonCategory* Category(int index) const;
  int ActiveCategory() const;
  void SetActiveCategory(int index);
  QWidget* TabBar() const;

  RibbonElement* FindByID(int id) const;  // null when no element has the id
  template <class T>
  T* Find(int id) const {
    return dynamic_cast<T*>(FindByID(id));
  }
  QAction* Action(int id) const;  // null when no element has the id
  std::vector<int> CommandIds() const;

  // Asks the owner for the state of every command id and applies it.
  void UpdateState();
  // Sends `id` to the owner as an element or a backstage command would.
  void SendCommand(int id);

  void SetFolded(bool folded);  // only the tab row shows
  bool IsFolded() const { return folded_; }
  // While folded, a click on a tab shows that category in a popup under the
  // tab row until a command runs or the user clicks elsewhere.
  QWidget* FoldedPopup() const;  // the open popup, null when closed

  Backstage* GetBackstage();  // made on first use

  RibbonOwner* Owner() const { return owner_; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  friend class RibbonElement;
  friend class RibbonPanel;
  class Peek;
  QActionGroup* Group(int group);
  void ShowPeek();
  void Register(RibbonElement* element);

  RibbonOwner* owner_;
  QToolButton* main_;
  QTabBar* tabs_;
  QToolButton* fold_;
  QStackedWidget* pages_;
  Backstage* backstage_ = nullptr;
  Peek* peek_ = nullptr;
  QTimer* peekTimer_ = nullptr;
  std::vector<RibbonCategory*> categories_;
  std::map<int, RibbonElement*> elements_;
  std::map<int, QActionGroup*> groups_;
  ColorTable colors_;
  QImage background_;
  bool folded_ = false;
  bool updating_ = false;
};

}  // namespace kx::ui
