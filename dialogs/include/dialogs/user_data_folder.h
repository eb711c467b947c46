// Moving the user-data folder (the log files and Bookmark.xml) to a folder
// the user chose. Nothing may be lost on the way: the bookmarks are saved in
// the new folder before anything else changes, the user's own FolderLog
// decides whether the move takes effect (it is what the next start reads),
// the machine-wide FolderLog is written as well where this user may, and the
// log is then re-created in the new folder. A folder that cannot be made or
// written leaves everything as it was.
#pragma once

#include <QString>

#include "dialogs/bookmark.h"
#include "kxSystem.h"

namespace kx {

// The application's parts that live in the user-data folder.
struct CUserData {
  QString& strFolder;  // the application's FolderLog, as the user gave it
  CBookmark& bookmarks;
  CKxLog& log;
};

enum class EFolderMove {
  Moved,
  NotAbsolute,         // a relative folder would move with the working folder
  NotCreated,          // the folder (or a parent) could not be created
  NotWritable,         // Bookmark.xml could not be written there
  SettingsNotWritten,  // the user's FolderLog could not be stored
};

struct CFolderMoveResult {
  EFolderMove eResult = EFolderMove::Moved;
  QString strReason;  // the system's word on it, when there is one
  QString strKeptAside;  // Moved: where the new folder's own Bookmark.xml went
};

CFolderMoveResult MoveUserDataFolder(CUserData data, const QString& strFolder);

// The text a failed move is reported with (resource strings 5400-5403), or
// for a move that kept the new folder's Bookmark.xml aside (5409); empty
// when there is nothing to say.
QString FolderMoveMessage(const CFolderMoveResult& result, const QString& strFolder);

}  // namespace kx
