// The maker's web site for the update-check tests: version_site.py on 127.0.0.1 over a folder of the test's
// files (HTTP, and HTTPS with a certificate made for the run).
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <chrono>

#include "ui_test_support.h"

namespace kx::test {

class VersionSite {
 public:
  explicit VersionSite(bool tls = false) {
    EXPECT_TRUE(root_.isValid());
    QStringList args{QStringLiteral(KX_VERSION_SITE), root_.path(), QStringLiteral("--log"), LogPath()};
    if (tls) {
      cert_ = root_.filePath("cert.pem");
      const QString key = root_.filePath("key.pem");
      const int rc = QProcess::execute(
          "openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=localhost",
                      "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1", "-keyout", key, "-out", cert_});
      EXPECT_EQ(rc, 0) << "openssl could not make the test certificate";
      args << "--cert" << cert_ << "--key" << key;
    }
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server_.start(QStringLiteral("/usr/bin/python3"), args);
    EXPECT_TRUE(server_.waitForStarted());
    EXPECT_TRUE(WaitFor([&] { return server_.canReadLine() || server_.state() == QProcess::NotRunning; }));
    const QList<QByteArray> words = server_.readLine().trimmed().split(' ');
    EXPECT_EQ(words.size(), 3);
    http_port_ = words.value(1).toInt();
    https_port_ = words.value(2).toInt();
  }
  ~VersionSite() {
    server_.terminate();
    server_.waitForFinished();
  }

  void Put(const QString& name, const QByteArray& body) {
    QFile f(root_.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(body);
  }
  QUrl Http(const QString& path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(http_port_).arg(path)); }
  QUrl Https(const QString& path) const {
    return QUrl(QStringLiteral("https://localhost:%1%2").arg(https_port_).arg(path));
  }
  QString Cert() const { return cert_; }
  QStringList Requests() const {
    QFile f(LogPath());
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
  }

 private:
  QString LogPath() const { return root_.filePath("requests.log"); }
  QTemporaryDir root_;
  QProcess server_;
  QString cert_;
  int http_port_ = 0;
  int https_port_ = 0;
};

inline QByteArray Document(int major, int minor, int build, const char* link = "https://www.example.test/setup.deb") {
  return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Ver Major=\"%1\" Minor=\"%2\" Build=\"%3\" Link=\"%4\"/>\n")
      .arg(major)
      .arg(minor)
      .arg(build)
      .arg(QString::fromUtf8(link))
      .toUtf8();
}

}  // namespace kx::test
