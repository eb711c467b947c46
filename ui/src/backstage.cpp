#include "ui/backstage.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "ui/ribbon.h"

namespace kx::ui {

namespace {

// The text without its mnemonic marks ("E&xit" shows as "Exit"; "&&" is "&").
QString Shown(const QString& text) {
  QString out;
  for (int i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

}  // namespace

// Made as the ribbon's child; opening moves it onto the window it covers.
Backstage::Backstage(Ribbon* ribbon) : QWidget(ribbon), ribbon_(ribbon) {
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  list_ = new QListWidget(this);
  list_->setFrameShape(QFrame::NoFrame);
  list_->setBackgroundRole(QPalette::Window);
  list_->setAutoFillBackground(true);
  list_->setFixedWidth(180);
  list_->setSpacing(2);
  QFont big = list_->font();
  big.setPointSizeF(big.pointSizeF() * 1.15);
  list_->setFont(big);
  list_->installEventFilter(this);
  row->addWidget(list_);
  auto* right = new QVBoxLayout;
  right->setContentsMargins(24, 16, 24, 16);
  right->setSpacing(12);
  caption_ = new QLabel(this);
  QFont title = caption_->font();
  title.setPointSizeF(title.pointSizeF() * 1.6);
  caption_->setFont(title);
  right->addWidget(caption_);
  pages_ = new QStackedWidget(this);
  right->addWidget(pages_, 1);
  row->addLayout(right, 1);
  hide();
  // Enter or a click chooses an entry; moving the selection shows pages only.
  QObject::connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { Choose(list_->row(item)); });
  QObject::connect(list_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { Choose(list_->row(item)); });
  QObject::connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0 && row < static_cast<int>(entries_.size()) && entries_[static_cast<size_t>(row)].page) Choose(row);
  });
}

int Backstage::AddPage(const QString& title, QWidget* page) {
  page->setParent(pages_);
  pages_->addWidget(page);
  page->setProperty("kxBackstageTitle", title);
  // A dialog used as a page would hide itself on Esc and leave the view blank.
  page->installEventFilter(this);
  entries_.push_back({0, page});
  list_->addItem(Shown(title));
  AddMnemonic(title, static_cast<int>(entries_.size()) - 1);
  return static_cast<int>(entries_.size()) - 1;
}

int Backstage::AddCommand(int id, const QString& text) {
  entries_.push_back({id, nullptr});
  list_->addItem(Shown(text));
  AddMnemonic(text, static_cast<int>(entries_.size()) - 1);
  return static_cast<int>(entries_.size()) - 1;
}

void Backstage::AddMnemonic(const QString& text, int row) {
  // Alt+letter (or the letter alone in the list) chooses the entry.
  const QKeySequence key = QKeySequence::mnemonic(text);
  if (key.isEmpty()) return;
  auto* shortcut = new QShortcut(key, this);
  shortcut->setContext(Qt::WidgetWithChildrenShortcut);
  QObject::connect(shortcut, &QShortcut::activated, this, [this, row] { Choose(row); });
}

void Backstage::SetPageCaptions(bool on) {
  captions_ = on;
  caption_->setVisible(on);
}

void Backstage::Place() {
  QWidget* window = ribbon_->window();
  if (parentWidget() != window) {
    setParent(window);
    window->installEventFilter(this);
  }
  // Under the tab row, down to the window's bottom edge.
  const QWidget* tabs = ribbon_->TabBar();
  const int top = tabs->mapTo(window, QPoint(0, tabs->height())).y();
  setGeometry(0, top, window->width(), window->height() - top);
}

void Backstage::Open() {
  Place();
  int row = lastPageRow_;
  if (row < 0)
    for (size_t i = 0; i < entries_.size() && row < 0; ++i)
      if (entries_[i].page) row = static_cast<int>(i);
  if (row >= 0) Choose(row);
  show();
  raise();
  list_->setFocus(Qt::OtherFocusReason);
}

void Backstage::Close() {
  hide();
  if (QWidget* w = ribbon_->MainButton()) w->setFocus(Qt::OtherFocusReason);
}

int Backstage::CurrentRow() const { return list_->currentRow(); }

void Backstage::SetCurrentRow(int row) { Choose(row); }

QWidget* Backstage::Page(int row) const {
  return row >= 0 && row < static_cast<int>(entries_.size()) ? entries_[static_cast<size_t>(row)].page : nullptr;
}

void Backstage::Choose(int row) {
  if (row < 0 || row >= static_cast<int>(entries_.size())) return;
  const Entry entry = entries_[static_cast<size_t>(row)];
  if (entry.page) {
    lastPageRow_ = row;
    pages_->setCurrentWidget(entry.page);
    entry.page->show();
    caption_->setText(Shown(entry.page->property("kxBackstageTitle").toString()));
    caption_->setVisible(captions_);
    if (list_->currentRow() != row) list_->setCurrentRow(row);
    return;
  }
  // A command closes the view first: "Exit" may destroy the window.
  Close();
  if (lastPageRow_ >= 0) list_->setCurrentRow(lastPageRow_);
  ribbon_->SendCommand(entry.id);
}

bool Backstage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible()) Place();
  if ((watched == list_ || watched->parent() == pages_) && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    Close();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void Backstage::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    Close();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace kx::ui
