#include "ui/registry_manager.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <cctype>
#include <charconv>
#include <cmath>

namespace kx {

namespace {

QString Key(const QString& section, const QString& value) { return section + QLatin1Char('/') + value; }

}  // namespace

CRegistryManager::CRegistryManager(Scope scope) {
  if (scope == Scope::User)
    m_settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("KEXAR"),
                                             QStringLiteral("kxToneScope"));
  else
    m_settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::SystemScope, QStringLiteral("KEXAR"),
                                             QStringLiteral("kxCore"));
  // Only this file counts: no values leaking in from organisation-wide or system files.
  m_settings->setFallbacksEnabled(false);
}

CRegistryManager::~CRegistryManager() = default;

QString CRegistryManager::FileName() const { return m_settings->fileName(); }

bool CRegistryManager::Read(const QString& section, const QString& value, QString* text) const {
  const QVariant v = m_settings->value(Key(section, value));
  if (!v.isValid()) return false;
  // A hand-written "a, b" comes back as a list; it is still the text the user wrote.
  if (v.typeId() == QMetaType::QStringList) {
    *text = v.toStringList().join(QStringLiteral(", "));
    return true;
  }
  if (!v.canConvert<QString>()) return false;
  *text = v.toString();
  return true;
}

bool CRegistryManager::Write(const QString& section, const QString& value, const QString& text) {
  if (!m_settings->isWritable()) return false;
  (void)m_settings->allKeys();  // status() reports a format error only once the keys were walked
  // Rewriting a file that did not parse keeps only what could be read; the
  // original stays beside it, once, so nothing the user wrote is lost.
  if (m_settings->status() == QSettings::FormatError) {
    const QString keep = m_settings->fileName() + QStringLiteral(".unreadable");
    if (!QFileInfo::exists(keep)) QFile::copy(m_settings->fileName(), keep);
  }
  m_settings->setValue(Key(section, value), text);
  m_settings->sync();
  return m_settings->status() != QSettings::AccessError;
}

int32_t CRegistryManager::GetProfileIntW(const QString& section, const QString& value, int32_t def) const {
  QString text;
  if (!Read(section, value, &text)) return def;
  bool ok = false;
  const int32_t v = text.trimmed().toInt(&ok, 10);
  return ok ? v : def;
}

QString CRegistryManager::GetProfileStringW(const QString& section, const QString& value, const QString& def) const {
  QString text;
  return Read(section, value, &text) ? text : def;
}

bool CRegistryManager::GetProfileColor(const QString& section, const QString& value, COLORREF* color) const {
  QString text;
  return color && Read(section, value, &text) && ColorFromText(text, color);
}

bool CRegistryManager::GetProfileDouble(const QString& section, const QString& value, double* v) const {
  QString text;
  return v && Read(section, value, &text) && DoubleFromText(text, v);
}

bool CRegistryManager::WriteProfileInt(const QString& section, const QString& value, int32_t v) {
  return Write(section, value, QString::number(v));
}

bool CRegistryManager::WriteProfileStringW(const QString& section, const QString& value, const QString& text) {
  return Write(section, value, text);
}

bool CRegistryManager::WriteProfileColor(const QString& section, const QString& value, COLORREF color) {
  return Write(section, value, ColorToText(color));
}

bool CRegistryManager::WriteProfileDouble(const QString& section, const QString& value, double v) {
  return Write(section, value, DoubleToText(v));
}

QString CRegistryManager::ColorToText(COLORREF color) {
  const unsigned r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  return QStringLiteral("#%1%2%3")
      .arg(r, 2, 16, QLatin1Char('0'))
      .arg(g, 2, 16, QLatin1Char('0'))
      .arg(b, 2, 16, QLatin1Char('0'))
      .toUpper();
}

bool CRegistryManager::ColorFromText(const QString& text, COLORREF* color) {
  const QString t = text.trimmed();
  if (t.size() != 7 || t[0] != QLatin1Char('#')) return false;
  bool ok = false;
  const uint rgb = t.mid(1).toUInt(&ok, 16);
  if (!ok) return false;
  // Only hex digits: toUInt accepts a sign or "0x", which a colour never has.
  for (int i = 1; i < 7; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(t[i].toLatin1()))) return false;
  *color = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
  return true;
}

QString CRegistryManager::DoubleToText(double v) {
  // The shortest text that reads back to the same double, in the C form
  // whatever the user's locale.
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return ec == std::errc() ? QString::fromLatin1(buffer, static_cast<int>(end - buffer)) : QString();
}

bool CRegistryManager::DoubleFromText(const QString& text, double* v) {
  const QByteArray latin = text.trimmed().toLatin1();
  const char* first = latin.constData();
  const char* last = first + latin.size();
  double d = 0;
  const auto [end, ec] = std::from_chars(first, last, d);
  if (ec != std::errc() || end != last || latin.isEmpty() || !std::isfinite(d)) return false;
  *v = d;
  return true;
}

}  // namespace kx
