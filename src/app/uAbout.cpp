#include "app/uAbout.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/uIcons.h"

namespace k2 {

namespace {
// The application icon's size in the box, pixels.
constexpr int IconSize = 48;
}  // namespace

TwdAboutBox::TwdAboutBox(QWidget* owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("关于"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(294, 224);
  setModal(true);

  ProgramIcon = new QLabel(this);
  ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
  ProgramIcon->setPixmap(AppIcon().pixmap(IconSize, IconSize));
  ProductName = new QLabel(QStringLiteral("Kurvino2 "), this);
  ProductName->setObjectName(QStringLiteral("ProductName"));
  Version = new QLabel(QStringLiteral("Version 2.0.0"), this);
  Version->setObjectName(QStringLiteral("Version"));
  Build = new QLabel(QStringLiteral("Build 20070324"), this);
  Build->setObjectName(QStringLiteral("Build"));
  auto* ok = new QPushButton(QStringLiteral("确定"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  texts->addWidget(ProductName);
  texts->addWidget(Version);
  texts->addWidget(Build);
  texts->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(ProgramIcon, 0, Qt::AlignTop);
  top->addLayout(texts, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);
}

}  // namespace k2
