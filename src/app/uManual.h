#pragma once
// The manual in a window of the program: for a machine where no viewer opens the PDF.
// A table of contents (the manual's chapter and section headings) beside a text
// browser showing ProgramDir + "manual/index.html", the same manual as the PDF.
#include <QString>
#include <QWidget>

class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;

namespace k2 {

class TwdManual : public QWidget {
  Q_OBJECT

 public:
  // A top-level window owned by `owner` (deleted with it).
  explicit TwdManual(QWidget* owner);

  // Loads the HTML manual; false when the file cannot be read.
  bool Load(const QString& htmlFile);

  QTreeWidget* tvManualContents = nullptr;  // one item per heading, by level
  QTextBrowser* tbManual = nullptr;

 private:
  void BuildContents();
  void ContentsClicked(QTreeWidgetItem* item);
};

}  // namespace k2
