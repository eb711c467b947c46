#include "dialogs/user_data_folder.h"

#include <filesystem>
#include <system_error>

#include "ui/registry_manager.h"
#include "ui/res_str.h"

namespace kx {

namespace {

constexpr uint32_t IDS_FOLDER_NOT_CREATED = 5400;
constexpr uint32_t IDS_FOLDER_NOT_WRITABLE = 5401;
constexpr uint32_t IDS_FOLDER_NOT_STORED = 5402;
constexpr uint32_t IDS_FOLDER_NOT_ABSOLUTE = 5403;

const QString kFolderLog = QStringLiteral("FolderLog");
const char16_t kLogName[] = u"ToneScope";

}  // namespace

CFolderMoveResult MoveUserDataFolder(CUserData data, const QString& strFolder) {
  const std::filesystem::path path(strFolder.toStdU16String());
  if (!path.is_absolute()) return {EFolderMove::NotAbsolute, {}};
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec || !std::filesystem::is_directory(path, ec))
    return {EFolderMove::NotCreated, QString::fromStdString(ec ? ec.message() : std::string())};

  // The bookmarks first: if they cannot be written there, nothing else will be.
  const QString oldFolder = data.strFolder;
  data.bookmarks.SetFolder(strFolder.toStdU16String());
  if (!data.bookmarks.Save()) {
    data.bookmarks.SetFolder(oldFolder.toStdU16String());
    return {EFolderMove::NotWritable, {}};
  }
  CRegistryManager user(CRegistryManager::Scope::User);
  if (!user.WriteProfileStringW(kSettingsSection, kFolderLog, strFolder)) {
    data.bookmarks.SetFolder(oldFolder.toStdU16String());
    return {EFolderMove::SettingsNotWritten, user.FileName()};
  }
  // Other programs of the maker read the machine-wide value; most users may
  // not write it, and that changes nothing here.
  CRegistryManager(CRegistryManager::Scope::Machine).WriteProfileStringW(kDevicesSection, kFolderLog, strFolder);

  data.strFolder = strFolder;
  data.log.Close();
  data.log.CreateLogFile(kxNormalizePath(strFolder.toStdU16String()), kLogName);
  return {};
}

QString FolderMoveMessage(const CFolderMoveResult& result, const QString& strFolder) {
  const QByteArray folder = strFolder.toUtf8();
  const QByteArray reason = result.strReason.toUtf8();
  switch (result.eResult) {
    case EFolderMove::Moved:
      return {};
    case EFolderMove::NotAbsolute:
      return QString::fromStdU16String(FormatResStr(IDS_FOLDER_NOT_ABSOLUTE, folder.constData()));
    case EFolderMove::NotCreated:
      return QString::fromStdU16String(FormatResStr(IDS_FOLDER_NOT_CREATED, folder.constData(), reason.constData()));
    case EFolderMove::NotWritable:
      return QString::fromStdU16String(FormatResStr(IDS_FOLDER_NOT_WRITABLE, folder.constData()));
    case EFolderMove::SettingsNotWritten:
      return QString::fromStdU16String(FormatResStr(IDS_FOLDER_NOT_STORED, reason.constData()));
  }
  return {};
}

}  // namespace kx
