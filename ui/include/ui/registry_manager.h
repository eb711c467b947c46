// The program's settings store on QSettings in the platform's native format
// (~/.config/KEXAR/kxToneScope.conf on Linux). Sections are groups of that
// file ("Settings"). Reads never fail: a missing value, or one that cannot be
// parsed as the asked type, gives the default (or leaves the variable as it
// was). Writes are flushed at once.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class QSettings;

namespace kx {

using COLORREF = uint32_t;  // 0x00BBGGRR

class CRegistryManager {
 public:
  enum class Scope {
    User,     // organisation "KEXAR", application "kxToneScope"
    Machine,  // system scope, organisation "KEXAR", application "kxCore"
  };
  explicit CRegistryManager(Scope scope = Scope::User);
  ~CRegistryManager();
  CRegistryManager(const CRegistryManager&) = delete;
  CRegistryManager& operator=(const CRegistryManager&) = delete;

  // The stored whole number (decimal, optional sign, 32-bit) or `def`.
  int32_t GetProfileIntW(const QString& section, const QString& value, int32_t def) const;
  // The stored text or `def`.
  QString GetProfileStringW(const QString& section, const QString& value, const QString& def) const;
  // Colours are stored as "#RRGGBB". A missing or unparsable value leaves
  // *color untouched and returns false.
  bool GetProfileColor(const QString& section, const QString& value, COLORREF* color) const;
  // Doubles are stored as the shortest text that reads back to the same
  // value. A missing or unparsable value leaves *v untouched; returns false.
  bool GetProfileDouble(const QString& section, const QString& value, double* v) const;

  // Each writer stores one value and flushes it to the file; true when the
  // file was written (false: no right to write it). A file that did not
  // parse is copied to <file>.unreadable before its first rewrite.
  bool WriteProfileInt(const QString& section, const QString& value, int32_t v);
  bool WriteProfileStringW(const QString& section, const QString& value, const QString& text);
  bool WriteProfileColor(const QString& section, const QString& value, COLORREF color);
  bool WriteProfileDouble(const QString& section, const QString& value, double v);

  // The file this manager reads and writes.
  QString FileName() const;

  // Text forms, exposed for the tests.
  static QString ColorToText(COLORREF color);
  static bool ColorFromText(const QString& text, COLORREF* color);
  static QString DoubleToText(double v);
  static bool DoubleFromText(const QString& text, double* v);

 private:
  bool Write(const QString& section, const QString& value, const QString& text);
  bool Read(const QString& section, const QString& value, QString* text) const;

  std::unique_ptr<QSettings> m_settings;
};

// The section every program setting lives in.
inline const QString kSettingsSection = QStringLiteral("Settings");
// The machine-wide group holding FolderLog.
inline const QString kDevicesSection = QStringLiteral("Devices");

}  // namespace kx
