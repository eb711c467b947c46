#include "dialogs/options_page.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QShowEvent>
#include <QWindow>
#include <algorithm>
#include <vector>

#include "common/version_info.h"
#include "ui/link_button.h"
#include "ui/registry_manager.h"
#include "resources/res_str.h"
#include "ui/translation_manager.h"

// The picture lives in a static library: register it before the first use.
static void InitOptionsImages() { Q_INIT_RESOURCE(options_images); }

namespace kx {

namespace {

constexpr uint32_t IDS_RESTART_QUESTION = 3308;
constexpr uint32_t IDS_APPLY = 3340;
constexpr uint32_t IDS_VERSION = 3341;
constexpr uint32_t IDS_DESCRIPTION = 3342;
constexpr uint32_t IDS_COPYRIGHT = 3343;
constexpr uint32_t IDS_COMPANY = 3344;
constexpr uint32_t IDS_WEB_SITE = 3345;
constexpr uint32_t IDS_SELECT_LANGUAGE = 3346;
constexpr uint32_t IDS_SELECT_FOLDER = 3347;
constexpr uint32_t IDS_DEFAULT_ENGLISH = 5404;
constexpr uint32_t IDS_LANGUAGE_NOT_STORED = 5405;
constexpr uint32_t IDS_RESTART_FAILED = 5406;
constexpr uint16_t kLangEnglishUS = 1033;

using P = CBackStagePageOptions;

// Template 310 (dialog units). The left half stretches with the page, the
// right half (picture, version table, link) keeps to the right edge. The
// right-aligned labels start a little left of the classic x 287 so that the
// Russian "Copyright:" fits before its value.
const DlgTemplate kTemplate310{
    506,
    278,
    0,
    {
        {P::IDC_LABEL_LANGUAGE, CtlKind::Label, IDS_SELECT_LANGUAGE, 17, 16, 240, 9, MoveType::None, SizeType::Horz},
        {P::IDC_LANGUAGES, CtlKind::Combo, 0, 27, 32, 230, 14, MoveType::None, SizeType::Horz},
        {P::IDC_LANGUAGE_APPLY, CtlKind::Button, IDS_APPLY, 27, 52, 74, 18},
        {P::IDC_HORIZONTAL_LINE, CtlKind::HLine, 0, 11, 90, 261, 1, MoveType::None, SizeType::Horz},
        {P::IDC_LABEL_FOLDER, CtlKind::Label, IDS_SELECT_FOLDER, 17, 98, 255, 9, MoveType::None, SizeType::Horz},
        {P::IDC_FOLDER, CtlKind::Edit, 0, 27, 112, 206, 14, MoveType::None, SizeType::Horz},
        {P::IDC_FOLDER_BROWSE, CtlKind::Button, 0, 235, 111, 22, 15, MoveType::Horz, SizeType::None, u"..."},
        {P::IDC_FOLDER_APPLY, CtlKind::Button, IDS_APPLY, 27, 133, 74, 17},
        {P::IDC_VERTICAL_LINE, CtlKind::VLine, 0, 278, 11, 1, 252, MoveType::Horz, SizeType::Vert},
        {P::IDC_PICTURE, CtlKind::Frame, 0, 329, 20, 139, 28, MoveType::Horz},
        {P::IDC_LABEL_VERSION, CtlKind::Label, IDS_VERSION, 281, 57, 65, 9, MoveType::Horz},
        {P::IDC_VERSION, CtlKind::Label, 0, 348, 57, 150, 9, MoveType::Horz},
        {P::IDC_LABEL_DESCRIPTION, CtlKind::Label, IDS_DESCRIPTION, 281, 71, 65, 9, MoveType::Horz},
        {P::IDC_DESCRIPTION, CtlKind::Label, 0, 348, 71, 150, 9, MoveType::Horz},
        {P::IDC_LABEL_COPYRIGHT, CtlKind::Label, IDS_COPYRIGHT, 281, 86, 65, 9, MoveType::Horz},
        {P::IDC_COPYRIGHT, CtlKind::Label, 0, 348, 86, 150, 9, MoveType::Horz},
        {P::IDC_LABEL_COMPANY, CtlKind::Label, IDS_COMPANY, 281, 101, 65, 9, MoveType::Horz},
        {P::IDC_COMPANY, CtlKind::Label, 0, 348, 101, 150, 9, MoveType::Horz},
        {P::IDC_LABEL_WEB, CtlKind::Label, IDS_WEB_SITE, 281, 130, 65, 9, MoveType::Horz},
        {P::IDC_WEB_LINK, CtlKind::Link, 0, 348, 127, 131, 14, MoveType::Horz},
    }};

}  // namespace

CBackStagePageOptions::CBackStagePageOptions(CLocalizeMgr& langMgr, CUserData userData, QWidget* parent)
    : CDialogEx(parent),
      m_langMgr(langMgr),
      m_userData(userData),
      m_strRestartProgram(QCoreApplication::applicationFilePath()) {
  // A page of the backstage, not a window of its own.
  setWindowFlags(Qt::Widget);
  Build(kTemplate310);

  // "..." keeps its narrow place: a push button's own minimum would push it
  // over the line between the halves.
  Item<QPushButton>(IDC_FOLDER_BROWSE)->setMaximumWidth(DluX(22));
  for (int id : {IDC_LABEL_VERSION, IDC_LABEL_DESCRIPTION, IDC_LABEL_COPYRIGHT, IDC_LABEL_COMPANY, IDC_LABEL_WEB})
    Item<QLabel>(id)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  // The picture: drawn at twice its size so it stays sharp at 200 %.
  InitOptionsImages();
  m_imgLogo.load(QStringLiteral(":/PNG/2004"));
  m_imgLogo.setDevicePixelRatio(2.0);

  // The version table of the program's own executable; a value too long for
  // its place is cut with an ellipsis and shown whole as a tip.
  const struct {
    int id;
    std::u16string text;
  } values[] = {{IDC_VERSION, GetProductVersion()},
                {IDC_DESCRIPTION, GetFileDescription()},
                {IDC_COPYRIGHT, GetLegalCopyright()},
                {IDC_COMPANY, GetCompanyName()}};
  for (const auto& v : values) {
    auto* label = Item<QLabel>(v.id);
    const QString text = QString::fromStdU16String(v.text);
    const QString shown = label->fontMetrics().elidedText(text, Qt::ElideRight, label->width());
    label->setText(shown);
    if (shown != text) label->setToolTip(text);
  }

  auto* link = Item<CUrlLinkButton>(IDC_WEB_LINK);
  link->setText(QStringLiteral(KX_MAKER_SITE));
  link->SetURL(QStringLiteral(KX_MAKER_SITE));

  connect(Item<QComboBox>(IDC_LANGUAGES), &QComboBox::currentIndexChanged, this, &P::OnLanguagePicked);
  connect(Item<QPushButton>(IDC_LANGUAGE_APPLY), &QPushButton::clicked, this, &P::OnLanguageApply);
  connect(Item<QPushButton>(IDC_FOLDER_BROWSE), &QPushButton::clicked, this, &P::OnBrowse);
  connect(Item<QLineEdit>(IDC_FOLDER), &QLineEdit::textChanged, this, &P::OnFolderEdited);
  connect(Item<QPushButton>(IDC_FOLDER_APPLY), &QPushButton::clicked, this, &P::OnFolderApply);
  InitPage();
}

void CBackStagePageOptions::InitPage() {
  FillLanguages();
  Item<QLineEdit>(IDC_FOLDER)->setText(m_userData.strFolder);
  m_bFolderChanged = false;
  m_bLanguageChanged = false;
  Item<QPushButton>(IDC_LANGUAGE_APPLY)->setEnabled(false);
  Item<QPushButton>(IDC_FOLDER_APPLY)->setEnabled(false);
}

void CBackStagePageOptions::showEvent(QShowEvent* event) {
  CDialogEx::showEvent(event);
  if (!event->spontaneous()) InitPage();
}

void CBackStagePageOptions::FillLanguages() {
  auto* combo = Item<QComboBox>(IDC_LANGUAGES);
  const QSignalBlocker quiet(combo);
  combo->clear();
  m_wLanguage = m_langMgr.GetLanguage();
  // The manager always lists its built-in English; translations are the
  // entries that come from a file.
  std::vector<CTranslation> list;
  bool anyFile = false;
  for (int i = 0; i < m_langMgr.GetTranslationCount(); ++i) {
    const CTranslation* t = m_langMgr.GetTranslationByIndex(i);
    if (!t) continue;
    list.push_back(*t);
    anyFile = anyFile || !t->strFile.isEmpty();
  }
  if (!anyFile) {
    combo->addItem(QString::fromStdU16String(ResStr(IDS_DEFAULT_ENGLISH)), m_wLanguage);
    combo->setCurrentIndex(0);
    return;
  }
  std::sort(list.begin(), list.end(),
            [](const CTranslation& a, const CTranslation& b) { return a.strName.localeAwareCompare(b.strName) < 0; });
  for (const CTranslation& t : list) combo->addItem(t.strName, t.wLanguage);
  combo->setCurrentIndex(combo->findData(m_wLanguage));
}

void CBackStagePageOptions::OnLanguagePicked(int index) {
  if (index < 0) return;
  m_wLanguage = static_cast<uint16_t>(Item<QComboBox>(IDC_LANGUAGES)->itemData(index).toUInt());
  m_bLanguageChanged = true;
  Item<QPushButton>(IDC_LANGUAGE_APPLY)->setEnabled(true);
}

void CBackStagePageOptions::OnLanguageApply() {
  if (!m_bLanguageChanged) return;
  CRegistryManager store(CRegistryManager::Scope::User);
  if (!store.WriteProfileInt(kSettingsSection, QStringLiteral("UILanguage"), m_wLanguage)) {
    // Apply stays on: the user may free the file and try again.
    Warn(FormatResStr(IDS_LANGUAGE_NOT_STORED, store.FileName().toUtf8().constData()));
    return;
  }
  Item<QPushButton>(IDC_LANGUAGE_APPLY)->setEnabled(false);
  m_bLanguageChanged = false;
  const int answer =
      QMessageBox::information(this, QCoreApplication::applicationName(),
                               QString::fromStdU16String(ResStr(IDS_RESTART_QUESTION)), QMessageBox::Ok | QMessageBox::Cancel);
  if (answer == QMessageBox::Ok) Restart();
}

void CBackStagePageOptions::Restart() {
  // The new instance starts while this one closes through its normal shutdown;
  // when it cannot start, this one stays.
  QProcess process;
  process.setProgram(m_strRestartProgram);
  process.setWorkingDirectory(QFileInfo(m_strRestartProgram).absolutePath());
  if (!process.startDetached()) {
    Warn(FormatResStr(IDS_RESTART_FAILED, m_strRestartProgram.toUtf8().constData(),
                      process.errorString().toUtf8().constData()));
    return;
  }
  if (QWidget* frame = window(); frame && frame != this)
    QMetaObject::invokeMethod(frame, &QWidget::close, Qt::QueuedConnection);
}

void CBackStagePageOptions::Warn(const std::u16string& text) {
  QMessageBox::warning(this, QCoreApplication::applicationName(), QString::fromStdU16String(text));
}

void CBackStagePageOptions::OnBrowse() {
  const QString folder =
      QFileDialog::getExistingDirectory(this, QString(), m_userData.strFolder, QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return;
  Item<QLineEdit>(IDC_FOLDER)->setText(folder);  // textChanged sets the flag and the button
}

void CBackStagePageOptions::OnFolderEdited(const QString& text) {
  m_bFolderChanged = !text.isEmpty();
  Item<QPushButton>(IDC_FOLDER_APPLY)->setEnabled(m_bFolderChanged);
}

void CBackStagePageOptions::OnFolderApply() {
  if (!m_bFolderChanged) return;
  Item<QPushButton>(IDC_FOLDER_APPLY)->setEnabled(false);
  m_bFolderChanged = false;
  const QString folder = Item<QLineEdit>(IDC_FOLDER)->text();
  const CFolderMoveResult result = MoveUserDataFolder(m_userData, folder);
  const QString message = FolderMoveMessage(result, folder);
  if (message.isEmpty()) return;
  if (result.eResult == EFolderMove::Moved)
    QMessageBox::information(this, QCoreApplication::applicationName(), message);
  else
    QMessageBox::warning(this, QCoreApplication::applicationName(), message);
}

void CBackStagePageOptions::paintEvent(QPaintEvent* event) {
  CDialogEx::paintEvent(event);
  if (m_imgLogo.isNull()) return;
  const QWidget* frame = GetDlgItem(IDC_PICTURE);
  QPainter p(this);
  p.drawPixmap(frame->geometry().topLeft(), m_imgLogo);
}

}  // namespace kx
