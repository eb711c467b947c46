// The backstage's "Options" page: on the left the two options the ribbon
// does not carry (the language of the user interface, the user-data folder),
// on the right what the program is (its picture, the version table's four
// strings and the maker's web site).
#pragma once

#include <QPixmap>
#include <QString>
#include <cstdint>
#include <string>

#include "dialogs/user_data_folder.h"
#include "ui/dialog.h"

namespace kx {

class CLocalizeMgr;

class CBackStagePageOptions : public CDialogEx {
  Q_OBJECT
 public:
  enum : int {
    IDC_VERTICAL_LINE = 1003,
    IDC_PICTURE = 1004,
    IDC_LABEL_VERSION = 1005,
    IDC_LABEL_DESCRIPTION = 1006,
    IDC_LABEL_COPYRIGHT = 1007,
    IDC_LABEL_COMPANY = 1008,
    IDC_VERSION = 1009,
    IDC_DESCRIPTION = 1010,
    IDC_COPYRIGHT = 1011,
    IDC_COMPANY = 1012,
    IDC_LABEL_WEB = 1013,
    IDC_WEB_LINK = 1014,
    IDC_LANGUAGES = 1016,
    IDC_LANGUAGE_APPLY = 1017,
    IDC_LABEL_FOLDER = 1018,
    IDC_FOLDER = 1019,
    IDC_FOLDER_BROWSE = 1020,
    IDC_FOLDER_APPLY = 1021,
    IDC_LABEL_LANGUAGE = 1022,
    IDC_HORIZONTAL_LINE = 1023,
  };

  CBackStagePageOptions(CLocalizeMgr& langMgr, CUserData userData, QWidget* parent = nullptr);

  // The program a language change restarts: the running executable unless a
  // test names another.
  void SetRestartProgram(const QString& program) { m_strRestartProgram = program; }

  // Runs the opening steps again (the backstage shows the page anew).
  void InitPage();

  bool IsFolderChanged() const { return m_bFolderChanged; }
  bool IsLanguageChanged() const { return m_bLanguageChanged; }
  uint16_t PickedLanguage() const { return m_wLanguage; }

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void FillLanguages();
  void OnLanguagePicked(int index);
  void OnLanguageApply();
  void OnBrowse();
  void OnFolderEdited(const QString& text);
  void OnFolderApply();
  void Restart();
  void Warn(const std::u16string& text);

  CLocalizeMgr& m_langMgr;
  CUserData m_userData;
  QString m_strRestartProgram;
  bool m_bFolderChanged = false;
  bool m_bLanguageChanged = false;
  uint16_t m_wLanguage = 1033;
  QPixmap m_imgLogo;
};

}  // namespace kx
