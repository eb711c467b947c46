// The two bookmark dialogs: CBookmarkItemDlg edits one bookmark (name and
// RTSP URL); CBookmarkListDlg lists all of them for editing and deleting and
// hands its changes to the store, and the file, only on OK.
#pragma once

#include <QString>

#include "dialogs/bookmark.h"
#include "ui/dialog.h"

class QTreeWidget;

namespace kx {

// Saves the store; when that fails, a warning box over `parent` names the
// file and the reason. The list in memory stays either way, so a later save
// may succeed. False when the save failed.
bool SaveBookmarks(QWidget* parent, const CBookmark& store);
// The notice that Load kept an unreadable Bookmark.xml aside; empty when it did not.
QString BookmarkKeptAsideMessage(const CBookmark& store);

class CBookmarkItemDlg : public CDialogEx {
  Q_OBJECT
 public:
  enum : int { IDC_NAME_LABEL = 1027, IDC_URL_LABEL = 1028, IDC_NAME = 1029, IDC_URL = 1030 };

  explicit CBookmarkItemDlg(QWidget* parent = nullptr);

  // Set before the dialog opens; after OK they hold the edited texts, after
  // Cancel they are as they were.
  QString m_strName;
  QString m_strUrl;

  void accept() override;
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OnInitDialog();
  void UpdateOk();

  bool m_bOpen = false;  // OnInitDialog ran for this opening
};

class CBookmarkListDlg : public CDialogEx {
  Q_OBJECT
 public:
  enum : int { IDC_LIST = 1024, IDC_EDIT = 1025, IDC_DELETE = 1026 };

  // `store` is the application's store: read when the dialog opens, replaced
  // and saved on OK.
  explicit CBookmarkListDlg(CBookmark& store, QWidget* parent = nullptr);

  // The working copy (for the caller's tests; the store stays untouched until OK).
  const CBookmark& WorkingCopy() const { return m_bookmarks; }

  void accept() override;
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;  // Delete in the list

 private:
  void OnInitDialog();
  void OnSelectionChanged();
  void OnEdit();
  void OnDelete();
  int FirstSelectedRow() const;
  QTreeWidget* List() const;

  CBookmark& m_store;
  CBookmark m_bookmarks;  // the working copy, made when the dialog opens
  bool m_bOpen = false;
};

}  // namespace kx
