// The update check: once per run the frame fetches the maker's version
// document, and when the published version is newer than the installed one
// asks whether to open the download link. The request is asynchronous with a
// timeout of its own, so the window works at once and an unreachable site
// costs nothing; every failure ends the check silently.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <chrono>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
class QWidget;

namespace kx {

// The version document's address: the maker's site (KX_MAKER_SITE) plus
// "/source/ver_kxSetupToneScope.xml". The user's UpdateUrl value in
// "Settings", when present, replaces the whole address; an empty value turns
// the check off (an empty QUrl).
QUrl VersionDocumentUrl(const std::optional<QString>& strUpdateUrl);

class CUpdateCheck : public QObject {
  Q_OBJECT
 public:
  enum class EOutcome {
    NoCheck,      // no address: the check is off
    Failed,       // network error, status other than 200, too long, not a version document
    TimedOut,     // no complete answer in time
    UpToDate,     // published version not newer: nothing asked
    Declined,     // asked, the user answered No
    Opened,       // asked, Yes, the link handed to the desktop's URL opener
    NotOpenable,  // asked, Yes, but the link is not http/https: ignored
  };
  Q_ENUM(EOutcome)

  static constexpr std::chrono::milliseconds kDefaultTimeout{10000};

  // pParent: the window the question belongs to (and the check's owner).
  // strInstalledVersion: the running program's product version string.
  CUpdateCheck(QWidget* pParent, QUrl url, QString strInstalledVersion,
               std::chrono::milliseconds timeout = kDefaultTimeout);
  ~CUpdateCheck() override;

  // Sends the request and returns at once. Finished() is emitted once, after
  // the question (if any) was answered; the object then deletes itself.
  void Start();

 signals:
  void Finished(kx::CUpdateCheck::EOutcome outcome);

 private:
  void OnRedirected(const QUrl& url);
  void OnReadyRead();
  void OnReplyFinished();
  void OnTimeout();
  EOutcome Evaluate(const QByteArray& body);
  void Finish(EOutcome outcome);

  QPointer<QWidget> m_pParent;
  QUrl m_url;
  QString m_strInstalledVersion;
  std::chrono::milliseconds m_timeout;
  QNetworkAccessManager* m_pNetwork = nullptr;  // child
  QNetworkReply* m_pReply = nullptr;            // owned by m_pNetwork, deleted later
  QTimer* m_pTimer = nullptr;                   // child
  bool m_bTimedOut = false;
  bool m_bTooLong = false;
  bool m_bFinished = false;
};

}  // namespace kx
