#include "widgets/uPlacement.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "widgets/uGroupBox.h"
#include "widgets/uNumEdit.h"
#include "widgets/uRasterView.h"

namespace k2 {

QLabel* PlaceLabel(QWidget* parent, const char* text, int x, int y, const char* name) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  if (name) l->setObjectName(QString::fromLatin1(name));
  l->move(x, y);
  l->adjustSize();
  return l;
}

QPushButton* PlaceButton(QWidget* parent, const char* name, const char* caption, const QRect& r) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setGeometry(r);
  return b;
}

TGroupBox* PlaceGroup(QWidget* parent, const char* name, const char* title, const QRect& r) {
  auto* g = new TGroupBox(QString::fromUtf8(title), parent);
  g->setObjectName(QString::fromLatin1(name));
  g->setGeometry(r);
  return g;
}

TNumEdit* PlaceIntEdit(QWidget* parent, const char* name, int x, int y, int width) {
  auto* e = new TNumEdit(TNumEdit::TKind::Integer, parent);
  e->setObjectName(QString::fromLatin1(name));
  e->SetDisplayFormat(QStringLiteral("0;-0"));
  e->setGeometry(x, y, width, 21);
  return e;
}

TRasterView* PlaceView(QWidget* parent, const char* name, int x, int y, int w, int h) {
  auto* border = new QFrame(parent);
  const QString frameName = QString::fromLatin1(name) + QStringLiteral("Border");
  border->setObjectName(frameName);
  border->setGeometry(x - 3, y - 3, w + 6, h + 6);
  border->setStyleSheet(QStringLiteral("QFrame#%1 { border: 1px solid palette(mid); "
                                       "border-radius: 4px; }")
                            .arg(frameName));
  auto* view = new TRasterView(border);
  view->setObjectName(QString::fromLatin1(name));
  view->setGeometry(3, 3, w, h);
  return view;
}

}  // namespace k2
