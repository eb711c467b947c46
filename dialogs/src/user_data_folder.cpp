#include "dialogs/user_data_folder.h"

#include <filesystem>
#include <system_error>

#include "ui/registry_manager.h"
#include "resources/res_str.h"

namespace kx {

namespace {

constexpr uint32_t IDS_FOLDER_NOT_CREATED = 5400;
constexpr uint32_t IDS_FOLDER_NOT_WRITABLE = 5401;
constexpr uint32_t IDS_FOLDER_NOT_STORED = 5402;
constexpr uint32_t IDS_FOLDER_NOT_ABSOLUTE = 5403;
constexpr uint32_t IDS_FOLDER_HELD_BOOKMARKS = 5409;

const QString kFolderLog = QStringLiteral("FolderLog");
const char16_t kLogName[] = u"ToneScope";

}  // namespace

CFolderMoveResult MoveUserDataFolder(CUserData data, const QString& strFolder) {
  const std::filesystem::path path(strFolder.toStdU16String());
  if (!path.is_absolute()) return {EFolderMove::NotAbsolute, {}, {}};
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec || !std::filesystem::is_directory(path, ec))
    return {EFolderMove::NotCreated, QString::fromStdString(ec ? ec.message() : std::string()), {}};

  // The bookmarks first: if they cannot be written there, nothing else will
  // be. A Bookmark.xml already there (not our own) is kept aside, and put
  // back when the move fails.
  const QString oldFolder = data.strFolder;
  const std::u16string oldFile = data.bookmarks.GetFile();
  data.bookmarks.SetFolder(strFolder.toStdU16String());
  const std::u16string newFile = data.bookmarks.GetFile();
  std::error_code same;
  const bool ours = std::filesystem::equivalent(oldFile, newFile, same);
  std::u16string kept;
  auto undo = [&] {
    if (!kept.empty()) std::filesystem::rename(kept, newFile, same);
    data.bookmarks.SetFolder(oldFolder.toStdU16String());
  };
  if (!ours && !data.bookmarks.KeepExistingFile()) {
    undo();
    return {EFolderMove::NotWritable, {}, {}};
  }
  if (!ours) kept = data.bookmarks.KeptAside();
  if (!data.bookmarks.Save()) {
    undo();
    return {EFolderMove::NotWritable, {}, {}};
  }
  CRegistryManager user(CRegistryManager::Scope::User);
  if (!user.WriteProfileStringW(kSettingsSection, kFolderLog, strFolder)) {
    undo();
    return {EFolderMove::SettingsNotWritten, user.FileName(), {}};
  }
  // Other programs of the maker read the machine-wide value; most users may
  // not write it, and that changes nothing here.
  CRegistryManager(CRegistryManager::Scope::Machine).WriteProfileStringW(kDevicesSection, kFolderLog, strFolder);

  data.strFolder = strFolder;
  data.log.Close();
  data.log.CreateLogFile(kxNormalizePath(strFolder.toStdU16String()), kLogName);
  return {EFolderMove::Moved, {}, QString::fromStdU16String(kept)};
}

QString FolderMoveMessage(const CFolderMoveResult& result, const QString& strFolder) {
  const QByteArray folder = strFolder.toUtf8();
  const QByteArray reason = result.strReason.toUtf8();
  switch (result.eResult) {
    case EFolderMove::Moved:
      if (result.strKeptAside.isEmpty()) return {};
      return QString::fromStdU16String(FormatResStr(IDS_FOLDER_HELD_BOOKMARKS, result.strKeptAside.toUtf8().constData()));
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
