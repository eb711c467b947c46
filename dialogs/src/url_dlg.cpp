#include "dialogs/url_dlg.h"

#include <QHeaderView>
#include <QShowEvent>
#include <QTreeWidget>

#include "kxSystem.h"
#include "ui/edit_ex.h"
#include "ui/link_button.h"
#include "resources/res_str.h"

namespace kx {

namespace {

QString Res(uint32_t id) { return QString::fromStdU16String(ResStr(id)); }

// Template 140; the list lies below the expand button, in the area that opens.
DlgTemplate UrlTemplate() {
  return {323, 310, 34001,
          {{CUrlDlg::IDC_TEXT, CtlKind::Label, 34003, 7, 6, 301, 8},
           {CUrlDlg::IDC_HELP_LINK, CtlKind::Link, 34008, 6, 18, 0, 12},
           {CUrlDlg::IDC_URL_LABEL, CtlKind::Label, 34004, 7, 37, 0, 8},
           {CUrlDlg::IDC_URL, CtlKind::Edit, 0, 61, 35, 237, 14, MoveType::None, SizeType::Horz},
           {CUrlDlg::IDC_SEPARATOR, CtlKind::HLine, 0, 7, 63, 308, 2, MoveType::None, SizeType::Horz},
           {kIdOk, CtlKind::DefButton, 3315, 107, 74, 52, 16},
           {kIdCancel, CtlKind::Button, 3316, 163, 74, 52, 16},
           {CUrlDlg::IDC_EXPAND, CtlKind::ExpandButton, 3306, 10, 102, 301, 10, MoveType::None, SizeType::Horz},
           {CUrlDlg::IDC_BOOKMARKS, CtlKind::List, 0, 9, 122, 311, 186, MoveType::None, SizeType::Both}}};
}

}  // namespace

QString CUrlDlg::SupportUrl() { return QStringLiteral(KX_MAKER_SITE "/support/"); }

CUrlDlg::CUrlDlg(const CBookmark& bookmarks, QWidget* parent) : CDialogEx(parent), m_bookmarks(bookmarks) {
  Build(UrlTemplate());
  // A translated label longer than the template's room pushes the field right.
  QWidget* label = GetDlgItem(IDC_URL_LABEL);
  CEditEx* edit = UrlEdit();
  const int gap = DluX(4);
  if (label->geometry().right() + gap > edit->x()) {
    const int shift = label->geometry().right() + gap - edit->x();
    edit->setGeometry(edit->geometry().adjusted(shift, 0, 0, 0));
    AddAnchor(edit, MoveType::None, SizeType::Horz);
  }

  auto* link = Item<CUrlLinkButton>(IDC_HELP_LINK);
  link->SetURL(SupportUrl());
  link->SetTooltip(Res(3305));
  link->SizeToContent();

  QTreeWidget* list = List();
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setHeaderLabels({Res(3310), Res(3311)});
  list->setColumnWidth(0, 200);
  list->setColumnWidth(1, 240);
  list->header()->setStretchLastSection(true);  // the address column takes the rest of a wider list

  EnableExpand(IDC_EXPAND, Res(3306), Res(3307));
  connect(edit, &QLineEdit::textChanged, this, &CUrlDlg::OnUrlChanged);
  connect(list, &QTreeWidget::itemSelectionChanged, this, &CUrlDlg::OnBookmarkPicked);
}

CEditEx* CUrlDlg::UrlEdit() const { return Item<CEditEx>(IDC_URL); }
QTreeWidget* CUrlDlg::List() const { return Item<QTreeWidget>(IDC_BOOKMARKS); }

void CUrlDlg::showEvent(QShowEvent* event) {
  if (!m_bOpen) {
    m_bOpen = true;
    OnInitDialog();
  }
  CDialogEx::showEvent(event);
}

void CUrlDlg::done(int result) {
  m_bOpen = false;
  CDialogEx::done(result);
}

void CUrlDlg::OnInitDialog() {
  Item<QWidget>(kIdOk)->setEnabled(false);
  CEditEx* edit = UrlEdit();
  edit->SetErrorMessage(Res(3301), m_clrError, true);
  edit->SetInfoTip(Res(3302), kTipProblem);
  Expand(false);  // the pane starts collapsed every time

  // Filling the list selects nothing, so it cannot overwrite the field.
  QTreeWidget* list = List();
  {
    const QSignalBlocker quiet(list);
    list->clear();
    for (int32_t i = 0; i < m_bookmarks.GetCount(); ++i) {
      const CBookmarkItem item = m_bookmarks.GetItem(i);
      // Passwords in addresses (also one used as a name) are not shown; a
      // picked bookmark still gives its full address.
      list->addTopLevelItem(new QTreeWidgetItem(QStringList{QString::fromStdU16String(kxMaskUrlPassword(item.name)),
                                                            QString::fromStdU16String(kxMaskUrlPassword(item.url))}));
    }
  }
  // Set through the field so the field rule runs even if the text is unchanged.
  edit->setText(QString());
  edit->setText(QStringLiteral("rtsp://"));
  edit->setFocus();
}

void CUrlDlg::setVisible(bool visible) {
  CDialogEx::setVisible(visible);
  // Showing focuses the field as if tabbed into, which selects "rtsp://";
  // the user continues after the scheme instead of typing over it.
  if (visible) {
    UrlEdit()->deselect();
    UrlEdit()->end(false);
  }
}

void CUrlDlg::OnUrlChanged(const QString& text) {
  CEditEx* edit = UrlEdit();
  if (!text.isEmpty()) {
    edit->SetInfoTip(Res(3303), kTipGood);
  } else {
    edit->SetErrorMessage(Res(3301), m_clrError, true);
    edit->SetInfoTip(Res(3302), kTipProblem);
  }
  Item<QWidget>(kIdOk)->setEnabled(!text.isEmpty());
}

void CUrlDlg::OnBookmarkPicked() {
  QTreeWidget* list = List();
  const QList<QTreeWidgetItem*> selected = list->selectedItems();
  if (selected.isEmpty()) return;
  const int row = list->indexOfTopLevelItem(selected.front());
  UrlEdit()->setText(QString::fromStdU16String(m_bookmarks.GetItem(row).url));
  list->setFocus();
}

void CUrlDlg::accept() {
  // A pasted address often brings blanks that the stream open would refuse.
  m_strUrl = UrlEdit()->text().trimmed();
  CDialogEx::accept();
}

}  // namespace kx
