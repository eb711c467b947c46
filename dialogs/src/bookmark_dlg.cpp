#include "dialogs/bookmark_dlg.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QHeaderView>
#include <QKeyEvent>
#include <QShowEvent>
#include <QTreeWidget>

#include "kxSystem.h"
#include "ui/edit_ex.h"
#include "resources/res_str.h"

namespace kx {

namespace {

QString Res(uint32_t id) { return QString::fromStdU16String(ResStr(id)); }
QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }
// The list shows addresses with their passwords masked, also an address
// used as a name; editing shows them whole.
QString Shown(const std::u16string& text) { return Q(kxMaskUrlPassword(text)); }

// Template 311.
DlgTemplate ItemTemplate() {
  using D = CBookmarkItemDlg;
  return {309, 112, 3312,
          {{D::IDC_NAME_LABEL, CtlKind::Label, 3313, 12, 10, 0, 8},
           {D::IDC_NAME, CtlKind::Edit, 0, 18, 22, 284, 14, MoveType::None, SizeType::Horz},
           {D::IDC_URL_LABEL, CtlKind::Label, 3314, 14, 41, 0, 8},
           {D::IDC_URL, CtlKind::Edit, 0, 18, 52, 284, 14, MoveType::None, SizeType::Horz},
           {0, CtlKind::HLine, 0, 10, 76, 293, 2, MoveType::Vert, SizeType::Horz},
           {kIdOk, CtlKind::DefButton, 3315, 198, 88, 50, 17, MoveType::Both},
           {kIdCancel, CtlKind::Button, 3316, 252, 88, 50, 17, MoveType::Both}}};
}

// Template 312.
DlgTemplate ListTemplate() {
  using D = CBookmarkListDlg;
  return {309, 289, 3319,
          {{D::IDC_LIST, CtlKind::List, 0, 7, 7, 298, 221, MoveType::None, SizeType::Both},
           {D::IDC_EDIT, CtlKind::Button, 3317, 6, 232, 90, 20, MoveType::Vert},
           {D::IDC_DELETE, CtlKind::Button, 3318, 100, 232, 90, 20, MoveType::Vert},
           {0, CtlKind::HLine, 0, 7, 258, 294, 2, MoveType::Vert, SizeType::Horz},
           {kIdOk, CtlKind::DefButton, 3315, 199, 265, 50, 17, MoveType::Both},
           {kIdCancel, CtlKind::Button, 3316, 253, 265, 50, 17, MoveType::Both}}};
}

constexpr uint32_t IDS_BOOKMARKS_NOT_SAVED = 5407;
constexpr uint32_t IDS_BOOKMARKS_KEPT_ASIDE = 5408;

}  // namespace

bool SaveBookmarks(QWidget* parent, const CBookmark& store) {
  std::string reason;
  if (store.Save(&reason)) return true;
  const std::string file = ConvertUnicodeToUTF8(store.GetFile());
  QMessageBox::warning(parent, QApplication::applicationDisplayName(),
                       Q(FormatResStr(IDS_BOOKMARKS_NOT_SAVED, file.c_str(), reason.c_str())));
  return false;
}

QString BookmarkKeptAsideMessage(const CBookmark& store) {
  if (store.KeptAside().empty()) return {};
  return Q(FormatResStr(IDS_BOOKMARKS_KEPT_ASIDE, ConvertUnicodeToUTF8(store.KeptAside()).c_str()));
}

// ---------------------------------------------------------------------------

CBookmarkItemDlg::CBookmarkItemDlg(QWidget* parent) : CDialogEx(parent) {
  Build(ItemTemplate());
  // The dialog grows in width only: nothing in it can use more height.
  setMaximumHeight(height());
  for (int id : {IDC_NAME, IDC_URL})
    connect(Item<CEditEx>(id), &QLineEdit::textChanged, this, &CBookmarkItemDlg::UpdateOk);
}

void CBookmarkItemDlg::showEvent(QShowEvent* event) {
  if (!m_bOpen) {
    m_bOpen = true;
    OnInitDialog();
  }
  CDialogEx::showEvent(event);
}

void CBookmarkItemDlg::done(int result) {
  m_bOpen = false;
  CDialogEx::done(result);
}

void CBookmarkItemDlg::OnInitDialog() {
  Item<QWidget>(kIdOk)->setEnabled(false);
  auto* name = Item<CEditEx>(IDC_NAME);
  auto* url = Item<CEditEx>(IDC_URL);
  name->clear();
  url->clear();
  if (!m_strName.isEmpty()) name->setText(m_strName);
  if (!m_strUrl.isEmpty()) url->setText(m_strUrl);
  UpdateOk();
  name->setFocus();
  name->selectAll();
}

// Both texts must hold something; blanks count, nothing else is checked.
void CBookmarkItemDlg::UpdateOk() {
  Item<QWidget>(kIdOk)->setEnabled(!Item<CEditEx>(IDC_NAME)->text().isEmpty() &&
                                    !Item<CEditEx>(IDC_URL)->text().isEmpty());
}

void CBookmarkItemDlg::accept() {
  m_strName = Item<CEditEx>(IDC_NAME)->text();
  // A pasted address often brings blanks that the stream open would refuse.
  m_strUrl = Item<CEditEx>(IDC_URL)->text().trimmed();
  CDialogEx::accept();
}

// ---------------------------------------------------------------------------

CBookmarkListDlg::CBookmarkListDlg(CBookmark& store, QWidget* parent) : CDialogEx(parent), m_store(store) {
  Build(ListTemplate());
  QTreeWidget* list = List();
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setHeaderLabels({Res(3310), Res(3311)});
  list->setColumnWidth(0, 200);
  list->setColumnWidth(1, 220);
  list->header()->setStretchLastSection(true);  // the address column takes the rest of a wider list
  connect(list, &QTreeWidget::itemSelectionChanged, this, &CBookmarkListDlg::OnSelectionChanged);
  // A double-click on a row edits it, Delete deletes it; Enter stays OK's.
  connect(list, &QTreeWidget::itemDoubleClicked, this, &CBookmarkListDlg::OnEdit);
  list->installEventFilter(this);
  connect(Item<QPushButton>(IDC_EDIT), &QPushButton::clicked, this, &CBookmarkListDlg::OnEdit);
  connect(Item<QPushButton>(IDC_DELETE), &QPushButton::clicked, this, &CBookmarkListDlg::OnDelete);
}

QTreeWidget* CBookmarkListDlg::List() const { return Item<QTreeWidget>(IDC_LIST); }

bool CBookmarkListDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == List() && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Delete)) {
    OnDelete();
    return true;
  }
  return CDialogEx::eventFilter(watched, event);
}

void CBookmarkListDlg::showEvent(QShowEvent* event) {
  if (!m_bOpen) {
    m_bOpen = true;
    OnInitDialog();
  }
  CDialogEx::showEvent(event);
}

void CBookmarkListDlg::done(int result) {
  m_bOpen = false;
  CDialogEx::done(result);
}

void CBookmarkListDlg::OnInitDialog() {
  m_bookmarks = m_store;
  for (int id : {kIdOk, int(IDC_EDIT), int(IDC_DELETE)}) Item<QWidget>(id)->setEnabled(false);
  QTreeWidget* list = List();
  const QSignalBlocker quiet(list);
  list->clear();
  for (int32_t i = 0; i < m_bookmarks.GetCount(); ++i) {
    const CBookmarkItem item = m_bookmarks.GetItem(i);
    list->addTopLevelItem(new QTreeWidgetItem(QStringList{Shown(item.name), Shown(item.url)}));
  }
  if (list->topLevelItemCount() > 0) list->setCurrentItem(list->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
  list->setFocus();
}

void CBookmarkListDlg::OnSelectionChanged() {
  const bool any = FirstSelectedRow() >= 0;
  Item<QWidget>(IDC_EDIT)->setEnabled(any);
  Item<QWidget>(IDC_DELETE)->setEnabled(any);
}

// Rows and entries share their order, so a row is an entry index.
int CBookmarkListDlg::FirstSelectedRow() const {
  QTreeWidget* list = List();
  for (int row = 0; row < list->topLevelItemCount(); ++row)
    if (list->topLevelItem(row)->isSelected()) return row;
  return -1;
}

void CBookmarkListDlg::OnEdit() {
  const int row = FirstSelectedRow();
  if (row < 0) return;
  const CBookmarkItem entry = m_bookmarks.GetItem(row);
  CBookmarkItemDlg dlg(this);
  dlg.m_strName = Q(entry.name);
  dlg.m_strUrl = Q(entry.url);
  if (dlg.exec() != QDialog::Accepted) return;
  m_bookmarks.Update(row, dlg.m_strName.toStdU16String(), dlg.m_strUrl.toStdU16String());
  QTreeWidgetItem* item = List()->topLevelItem(row);
  item->setText(0, Shown(dlg.m_strName.toStdU16String()));
  item->setText(1, Shown(dlg.m_strUrl.toStdU16String()));
  Item<QWidget>(kIdOk)->setEnabled(true);
}

void CBookmarkListDlg::OnDelete() {
  const int row = FirstSelectedRow();
  if (row < 0) return;
  const auto answer = QMessageBox::question(this, QApplication::applicationDisplayName(), Res(3309),
                                            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
  if (answer != QMessageBox::Yes) return;
  delete List()->takeTopLevelItem(row);
  m_bookmarks.Remove(row);
  Item<QWidget>(kIdOk)->setEnabled(true);
  OnSelectionChanged();
}

void CBookmarkListDlg::accept() {
  m_store = m_bookmarks;
  SaveBookmarks(this, m_store);
  CDialogEx::accept();
}

}  // namespace kx
