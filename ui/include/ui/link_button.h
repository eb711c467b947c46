// A link in a dialog: looks like a web link, opens its address in the
// default browser when clicked (mouse, Space or Enter). Only http and https
// addresses are ever opened.
#pragma once

#include <QPushButton>
#include <QString>

namespace kx {

// True when `url` is an absolute http or https address with a host.
bool IsWebLink(const QString& url);
// Opens a web link in the default browser; anything else is refused (false).
bool OpenWebLink(const QString& url);

class CUrlLinkButton : public QPushButton {
  Q_OBJECT
 public:
  explicit CUrlLinkButton(QWidget* parent = nullptr);

  void SetURL(const QString& url) { m_strUrl = url; }
  QString GetURL() const { return m_strUrl; }
  void SetTooltip(const QString& text) { setToolTip(text); }
  // Fits the button to its text.
  void SizeToContent();

  QSize sizeHint() const override;

 signals:
  // After every click: the address and whether it was handed to the browser.
  void LinkOpened(const QString& url, bool opened);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QString m_strUrl;
  bool m_bHover = false;
};

}  // namespace kx
