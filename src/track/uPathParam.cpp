#include "track/uPathParam.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "track/uPath.h"
#include "widgets/uPlacement.h"
#include "widgets/uNumEdit.h"

namespace k2 {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int x, int y) {
  return PlaceLabel(parent, text, x, y, name);
}

TNumEdit* MakeEdit(QWidget* parent, const char* name, TNumEdit::TKind kind, const char* format,
                   double min, double max, int y) {
  auto* e = new TNumEdit(kind, parent);
  e->setObjectName(QString::fromLatin1(name));
  e->SetDisplayFormat(QString::fromLatin1(format));
  e->SetLimits(min, max, true);
  e->setGeometry(22, y, 112, 21);
  return e;
}

}  // namespace

TwdPathParam::TwdPathParam(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setFixedSize(188, 202);

  auto* border = new QFrame(this);
  border->setObjectName(QStringLiteral("bvlPathParam"));
  border->setGeometry(8, 8, 172, 152);
  border->setStyleSheet(QStringLiteral(
      "QFrame#bvlPathParam { border: 1px solid palette(mid); border-radius: 6px; }"));

  // Each label stands above its edit; the widths carry their unit to the right.
  MakeLabel(this, "lblPathWidth", "赛道宽度：", 22, 16);
  nedtPathWidth = MakeEdit(this, "nedtPathWidth", TNumEdit::TKind::Integer, "0;-0", 1, 1000, 34);
  MakeLabel(this, "lblPathWidthUnit", "mm", 140, 37);
  MakeLabel(this, "lblLineWidth", "中心线宽度：", 22, 62);
  nedtLineWidth = MakeEdit(this, "nedtLineWidth", TNumEdit::TKind::Integer, "0;-0", 1, 1000, 80);
  MakeLabel(this, "lblLineWidthUnit", "mm", 140, 83);
  MakeLabel(this, "lblMiu", "摩擦系数：", 22, 108);
  nedtMiu = MakeEdit(this, "nedtMiu", TNumEdit::TKind::Real, "0.000;-0.000", 0.001, 1, 126);

  btnOK = new QPushButton(QStringLiteral("确定"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setGeometry(14, 168, 75, 26);
  btnCancel = new QPushButton(QStringLiteral("取消"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setGeometry(99, 168, 75, 26);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TwdPathParam::LoadFromPath(const TPath& track) {
  nedtPathWidth->SetValue(track.PathWidth);
  nedtLineWidth->SetValue(track.LineWidth);
  nedtMiu->SetValue(track.Miu);
}

void TwdPathParam::StoreToPath(TPath& track) const {
  track.PathWidth = nedtPathWidth->IntValue();
  track.LineWidth = nedtLineWidth->IntValue();
  track.Miu = static_cast<float>(nedtMiu->Value());
}

}  // namespace k2
