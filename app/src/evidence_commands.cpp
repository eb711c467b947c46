// Evidence for a ticket: the view as shown and the camera's last seconds of
// sound, saved in the user data folder under the camera's name and the time.
#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QImageWriter>
#include <QMessageBox>
#include <QUrl>

#include "app/child_view.h"
#include "app/main_frame.h"
#include "app/wave_app.h"
#include "frame_commands.h"
#include "media/evidence_file.h"
#include "view/draw_view.h"
#include "resources/res_str.h"

namespace kx {

using namespace ribbon;

namespace {

constexpr uint32_t IDS_PICTURE_SAVED = 5413;
constexpr uint32_t IDS_SOUND_SAVED = 5414;
constexpr uint32_t IDS_FILE_NOT_SAVED = 5415;
constexpr uint32_t IDS_NO_SOUND_KEPT = 5416;

QString Res(uint32_t id) { return QString::fromStdU16String(ResStr(id)); }

}  // namespace

void CEvidenceCommands::Register(CCommandMap& map) {
  const auto hasView = [this](ui::CommandUI& ui) { ui.Enable(m_frame.View() != nullptr); };
  map.Add(ID_SAVE_PICTURE, [this] { SavePicture(); }, hasView);
  map.Add(ID_SAVE_SOUND, [this] { SaveSound(); }, hasView);
  map.Add(ID_OPEN_DATA_FOLDER, [this] { OpenFolder(); });
}

// The camera's name: the bookmark's for the address shown, else the address
// (the file name masks any password).
QString CEvidenceCommands::FilePath(const char16_t* extension) const {
  CDrawView* view = m_frame.View();
  std::u16string camera = view ? view->Session().URL() : std::u16string();
  const CBookmark& bookmarks = m_frame.App().m_bookmark;
  for (int32_t i = 0; i < bookmarks.GetCount(); ++i)
    if (const CBookmarkItem item = bookmarks.GetItem(i); !camera.empty() && item.url == camera) {
      camera = item.name;
      break;
    }
  const QDateTime now = QDateTime::currentDateTime();
  const LocalTime t{now.date().year(), now.date().month(),  now.date().day(),
                    now.time().hour(), now.time().minute(), now.time().second()};
  return QDir(m_frame.App().m_strFolderLog).filePath(QString::fromStdU16String(EvidenceFileName(camera, t, extension)));
}

void CEvidenceCommands::Tell(uint32_t savedId, const QString& path, const QString& reason) {
  const std::string file = path.toStdString();
  if (reason.isEmpty())
    QMessageBox::information(&m_frame, QApplication::applicationDisplayName(),
                             QString::fromStdU16String(FormatResStr(savedId, file.c_str())));
  else
    QMessageBox::warning(&m_frame, QApplication::applicationDisplayName(),
                         QString::fromStdU16String(FormatResStr(IDS_FILE_NOT_SAVED, file.c_str(),
                                                                reason.toStdString().c_str())));
}

void CEvidenceCommands::SavePicture() {
  CDrawView* view = m_frame.View();
  if (!view) return;
  const QImage frame = view->LastFrame();  // the picture and the monitor as composed for the window
  const QString path = FilePath(u"png");
  QDir().mkpath(m_frame.App().m_strFolderLog);
  QImageWriter writer(path, "png");
  const bool saved = writer.write(frame);
  Tell(IDS_PICTURE_SAVED, path, saved ? QString() : writer.errorString());
}

void CEvidenceCommands::SaveSound() {
  CDrawView* view = m_frame.View();
  if (!view) return;
  const CSoundRing& kept = view->KeptSound();
  const std::vector<float> sound = kept.Snapshot();
  if (sound.empty()) {
    QMessageBox::information(&m_frame, QApplication::applicationDisplayName(), Res(IDS_NO_SOUND_KEPT));
    return;
  }
  const QString path = FilePath(u"wav");
  QDir().mkpath(m_frame.App().m_strFolderLog);
  std::string reason;
  const size_t frames = sound.size() / static_cast<size_t>(kept.Channels());
  const bool saved = WriteFileBytes(path.toStdString(),
                                    WavFileBytes(sound.data(), frames, kept.Channels(), kept.Rate(), WavSample::Float32),
                                    &reason);
  Tell(IDS_SOUND_SAVED, path, saved ? QString() : QString::fromStdString(reason));
}

void CEvidenceCommands::OpenFolder() {
  const QString folder = m_frame.App().m_strFolderLog;
  QDir().mkpath(folder);
  QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace kx
