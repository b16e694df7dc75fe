#include "app/uAbout.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace k2 {

TwdAboutBox::TwdAboutBox(QWidget* owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("关于"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(294, 224);
  setModal(true);

  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));
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
  top->addWidget(icon, 0, Qt::AlignTop);
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
