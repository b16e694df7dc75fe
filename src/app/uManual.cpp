#include "app/uManual.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeWidget>
#include <QUrl>

namespace k2 {

namespace {
constexpr int AnchorRole = Qt::UserRole;
}

TwdManual::TwdManual(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName(QStringLiteral("wdManual"));
  setWindowTitle(QStringLiteral("帮助文档"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  tvManualContents = new QTreeWidget;
  tvManualContents->setObjectName(QStringLiteral("tvManualContents"));
  tvManualContents->setAccessibleName(QStringLiteral("目录"));
  tvManualContents->setHeaderLabel(QStringLiteral("目录"));
  tvManualContents->header()->setStretchLastSection(true);
  tbManual = new QTextBrowser;
  tbManual->setObjectName(QStringLiteral("tbManual"));
  tbManual->setAccessibleName(QStringLiteral("帮助文档"));
  tbManual->setOpenExternalLinks(true);
  auto* split = new QSplitter;
  split->addWidget(tvManualContents);
  split->addWidget(tbManual);
  split->setStretchFactor(1, 1);
  split->setSizes({240, 720});
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(split);
  resize(980, 700);
  connect(tvManualContents, &QTreeWidget::itemClicked, this, &TwdManual::ContentsClicked);
  connect(tvManualContents, &QTreeWidget::itemActivated, this, &TwdManual::ContentsClicked);
}

bool TwdManual::Load(const QString& htmlFile) {
  const QFileInfo file(htmlFile);
  if (!file.isFile() || !file.isReadable()) return false;
  tbManual->setSource(QUrl::fromLocalFile(file.absoluteFilePath()), QTextDocument::HtmlResource);
  if (tbManual->document()->isEmpty()) return false;
  BuildContents();
  return true;
}

// Headings of the first two levels, each with the anchor its text carries.
void TwdManual::BuildContents() {
  tvManualContents->clear();
  QTreeWidgetItem* chapter = nullptr;
  for (QTextBlock b = tbManual->document()->begin(); b.isValid(); b = b.next()) {
    const int level = b.blockFormat().headingLevel();
    if (level < 1 || level > 2 || b.text().trimmed().isEmpty()) continue;
    QString anchor;
    for (auto it = b.begin(); !it.atEnd() && anchor.isEmpty(); ++it)
      if (!it.fragment().charFormat().anchorNames().isEmpty())
        anchor = it.fragment().charFormat().anchorNames().first();
    auto* item = level == 1 || !chapter ? new QTreeWidgetItem(tvManualContents)
                                        : new QTreeWidgetItem(chapter);
    if (level == 1) chapter = item;
    item->setText(0, b.text().trimmed());
    item->setData(0, AnchorRole, anchor);
  }
  tvManualContents->expandAll();
}

void TwdManual::ContentsClicked(QTreeWidgetItem* item) {
  const QString anchor = item->data(0, AnchorRole).toString();
  if (!anchor.isEmpty()) tbManual->scrollToAnchor(anchor);
}

}  // namespace k2
