// The URL dialog: the user types the RTSP address of the camera to preview
// or picks it from the bookmarks in a pane that opens below the buttons.
#pragma once

#include <QColor>
#include <QString>

#include "dialogs/bookmark.h"
#include "ui/dialog.h"

class QTreeWidget;

namespace kx {

class CEditEx;

class CUrlDlg : public CDialogEx {
  Q_OBJECT
 public:
  enum : int {
    IDC_SEPARATOR = 34000,
    IDC_TEXT = 34003,
    IDC_URL_LABEL = 34004,
    IDC_URL = 34005,
    IDC_EXPAND = 34006,
    IDC_BOOKMARKS = 34007,
    IDC_HELP_LINK = 34008,
  };

  // `bookmarks` is the application's store, shown in the pane; not changed.
  explicit CUrlDlg(const CBookmark& bookmarks, QWidget* parent = nullptr);

  // After OK: the field's text exactly as typed. Not set by Cancel.
  QString m_strUrl;
  QString GetUrl() const { return m_strUrl; }

  // The help link's target: the support page of the maker's site.
  static QString SupportUrl();

  void accept() override;
  void done(int result) override;
  void setVisible(bool visible) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OnInitDialog();
  void OnUrlChanged(const QString& text);
  void OnBookmarkPicked();
  CEditEx* UrlEdit() const;
  QTreeWidget* List() const;

  const CBookmark& m_bookmarks;
  const QColor m_clrError{0xCD, 0x5C, 0x5C};  // indian red
  bool m_bOpen = false;
};

}  // namespace kx
