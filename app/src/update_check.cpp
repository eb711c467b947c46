#include "app/update_check.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QWidget>

#include "app/version_check.h"
#include "ui/link_button.h"
#include "resources/res_str.h"

namespace kx {

namespace {

constexpr uint32_t IDS_UPDATE_QUESTION = 3324;
// A version document is a few hundred bytes; anything far larger is not one.
constexpr qint64 kMaxDocumentBytes = 64 * 1024;
constexpr int kMaxRedirects = 5;

}  // namespace

QUrl VersionDocumentUrl(const std::optional<QString>& strUpdateUrl) {
  if (strUpdateUrl) {
    const QString trimmed = strUpdateUrl->trimmed();
    if (trimmed.isEmpty()) return {};
    return QUrl(trimmed, QUrl::StrictMode);
  }
  return QUrl(QStringLiteral(KX_MAKER_SITE "/source/ver_kxSetupToneScope.xml"), QUrl::StrictMode);
}

CUpdateCheck::CUpdateCheck(QWidget* pParent, QUrl url, QString strInstalledVersion,
                           std::chrono::milliseconds timeout)
    : QObject(pParent),
      m_pParent(pParent),
      m_url(std::move(url)),
      m_strInstalledVersion(std::move(strInstalledVersion)),
      m_timeout(timeout) {}

CUpdateCheck::~CUpdateCheck() {
  // Destroyed with its window while the request runs: no answer is wanted.
  if (m_pReply) {
    m_pReply->disconnect(this);
    m_pReply->abort();
  }
}

void CUpdateCheck::Start() {
  if (!m_url.isValid() || m_url.isEmpty()) {
    // Queued so that a caller connecting after Start still hears the outcome.
    QTimer::singleShot(0, this, [this] { Finish(EOutcome::NoCheck); });
    return;
  }
  m_pNetwork = new QNetworkAccessManager(this);
  QNetworkRequest request(m_url);
  // Every redirect is looked at: only https targets are followed.
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
  request.setMaximumRedirectsAllowed(kMaxRedirects);
  m_pReply = m_pNetwork->get(request);
  connect(m_pReply, &QNetworkReply::redirected, this, &CUpdateCheck::OnRedirected);
  connect(m_pReply, &QNetworkReply::readyRead, this, &CUpdateCheck::OnReadyRead);
  connect(m_pReply, &QNetworkReply::finished, this, &CUpdateCheck::OnReplyFinished);
  m_pTimer = new QTimer(this);
  m_pTimer->setSingleShot(true);
  connect(m_pTimer, &QTimer::timeout, this, &CUpdateCheck::OnTimeout);
  m_pTimer->start(m_timeout);
}

void CUpdateCheck::OnRedirected(const QUrl& url) {
  if (url.scheme() == QLatin1String("https"))
    emit m_pReply->redirectAllowed();
  else
    m_pReply->abort();
}

void CUpdateCheck::OnReadyRead() {
  if (m_pReply->bytesAvailable() > kMaxDocumentBytes) {
    m_bTooLong = true;
    m_pReply->abort();
  }
}

void CUpdateCheck::OnTimeout() {
  m_bTimedOut = true;
  if (m_pReply) m_pReply->abort();
}

void CUpdateCheck::OnReplyFinished() {
  if (m_pTimer) m_pTimer->stop();
  QNetworkReply* reply = m_pReply;
  m_pReply = nullptr;
  reply->deleteLater();
  if (m_bTimedOut) return Finish(EOutcome::TimedOut);
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (m_bTooLong || reply->error() != QNetworkReply::NoError || status != 200) return Finish(EOutcome::Failed);
  QPointer<CUpdateCheck> self(this);
  const EOutcome outcome = Evaluate(reply->readAll());
  if (self) Finish(outcome);
}

CUpdateCheck::EOutcome CUpdateCheck::Evaluate(const QByteArray& body) {
  const auto published = ParseVersionDocument(std::string_view(body.constData(), static_cast<size_t>(body.size())));
  if (!published) return EOutcome::Failed;
  const KxVersion installed = ParseProductVersion(m_strInstalledVersion.toStdString());
  if (!IsNewerVersion(published->ver, installed)) return EOutcome::UpToDate;

  const QString text = QString::fromStdU16String(FormatResStr(
      IDS_UPDATE_QUESTION, static_cast<unsigned>(installed.nMajor), static_cast<unsigned>(installed.nMinor),
      static_cast<unsigned>(installed.nBuild), static_cast<unsigned>(published->ver.nMajor),
      static_cast<unsigned>(published->ver.nMinor), static_cast<unsigned>(published->ver.nBuild)));
  // The box lives on the heap: if its window goes away while it is open, Qt
  // deletes it as a child and the pointer says so.
  QPointer<CUpdateCheck> self(this);
  QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Information, QGuiApplication::applicationDisplayName(),
                                              text, QMessageBox::Yes | QMessageBox::No, m_pParent);
  box->setDefaultButton(QMessageBox::Yes);
  const int answer = box->exec();
  delete box;
  if (!self || answer != QMessageBox::Yes) return EOutcome::Declined;

  // The link comes from the network: only a web address is opened.
  const QString link = QString::fromStdString(published->strLink);
  if (!IsWebLink(link)) return EOutcome::NotOpenable;
  OpenWebLink(link);
  return EOutcome::Opened;
}

void CUpdateCheck::Finish(EOutcome outcome) {
  if (m_bFinished) return;
  m_bFinished = true;
  emit Finished(outcome);
  deleteLater();
}

}  // namespace kx
