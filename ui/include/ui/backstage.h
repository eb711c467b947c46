// The backstage view the ribbon's Main button opens: a page that covers the
// window under the tab row, with a list on the left of form pages (a widget
// each) and commands (an id sent to the ribbon's owner, like "E&xit").
// Esc, the Main button or a category tab closes it.
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

class QLabel;
class QListWidget;
class QStackedWidget;

namespace kx::ui {

class Ribbon;

class Backstage : public QWidget {
 public:
  explicit Backstage(Ribbon* ribbon);

  // Adds a form page; the backstage owns `page` from now on. Returns its row.
  int AddPage(const QString& title, QWidget* page);
  // Adds a command entry; choosing it closes the view and sends `id`.
  int AddCommand(int id, const QString& text);
  void SetPageCaptions(bool on);  // the page's title above it

  void Open();  // shows the first page, or the one last shown
  void Close();
  bool IsOpen() const { return isVisible(); }
  int CurrentRow() const;
  void SetCurrentRow(int row);  // a page row shows that page; a command row runs it
  QWidget* Page(int row) const;  // null for a command row
  QListWidget* List() const { return list_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct Entry {
    int id;         // command id, 0 for a page
    QWidget* page;  // null for a command
  };
  void Place();
  void AddMnemonic(const QString& text, int row);
  void Choose(int row);

  Ribbon* ribbon_;
  QListWidget* list_;
  QLabel* caption_;
  QStackedWidget* pages_;
  std::vector<Entry> entries_;
  bool captions_ = true;
  int lastPageRow_ = -1;
};

}  // namespace kx::ui
