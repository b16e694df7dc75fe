#include "app/uOption.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "base/uFileSave.h"
#include "base/uSettings.h"
#include "ui/uFuncProc.h"
#include "widgets/uNumEdit.h"

namespace k2 {

namespace {

// The pages that hold fields; the three car pages sit inside "默认赛车参数".
enum TPage { PageTrack, PageCarBasic, PageMotor, PageSteer, PageRules };

struct TFieldDef {
  const char* Name;  // objectName of the edit
  const char* Label;
  const char* Unit;  // "" for none
  TPage Page;
  const char* Section;
  const char* Key;
  int Decimals;  // digits after the point in the display; 0 for integer fields
  double Maximum;
  bool Limited;  // only 0..Maximum is accepted; otherwise any value of the kind
};

// In the order of the pages, top to bottom.  The order of writing is SettingKeys'.
const TFieldDef FieldDefs[TwdOption::FieldCount] = {
    {"nedtPathWidth", "默认赛道宽度：", "mm", PageTrack, SecPath, "PathWidth", 0, 1000, true},
    {"nedtLineWidth", "默认中心线宽度：", "mm", PageTrack, SecPath, "LineWidth", 0, 1000, true},
    {"nedtMiu", "默认摩擦系数：", "", PageTrack, SecPath, "Miu", 3, 1, true},
    {"nedtCarLength", "车长：", "mm", PageCarBasic, SecCar, "Length", 0, 1000, true},
    {"nedtCarWidth", "车宽：", "mm", PageCarBasic, SecCar, "Width", 0, 1000, true},
    {"nedtCarWeight", "整车质量：", "g", PageCarBasic, SecCar, "Weight", 0, 10000, true},
    {"nedtCarTrack", "轮距：", "mm", PageCarBasic, SecCar, "Track", 0, 1000, true},
    {"nedtCarWheelBase", "轴距：", "mm", PageCarBasic, SecCar, "WheelBase", 0, 1000, true},
    {"nedtCarFrontLength", "前轴距横中心线距离：", "mm", PageCarBasic, SecCar, "FrontLength", 0,
     1000, true},
    {"nedtCarWheelD", "轮径：", "mm", PageCarBasic, SecCar, "WheelD", 0, 1000, true},
    {"nedtCarWheelWidth", "轮宽：", "mm", PageCarBasic, SecCar, "WheelWidth", 0, 1000, true},
    {"nedtRatio", "传动比：", "", PageCarBasic, SecCar, "Ratio", 4, 1000, false},
    {"nedtMotorURated", "电机额定电压：", "V", PageMotor, SecMotor, "URated", 1, 100, false},
    {"nedtMotorIRated", "电机额定电流：", "A", PageMotor, SecMotor, "IRated", 1, 100, false},
    {"nedtMotornRated", "电机额定转速：", "rpm", PageMotor, SecMotor, "nRated", 0, 20000, false},
    {"nedtMotorTRated", "电机额定转矩：", "N·m", PageMotor, SecMotor, "TRated", 1, 100, false},
    {"nedtMotorRa", "电枢回路电阻：", "Ω", PageMotor, SecMotor, "Ra", 3, 1000, false},
    {"nedtMotorL", "电枢回路电感：", "mH", PageMotor, SecMotor, "L", 0, 100, false},
    {"nedtMaxSteerAngle", "前轮最大转角：±", "°", PageSteer, SecSteer, "MaxSteerAngle", 0, 90,
     false},
    {"nedtSteerSpeed", "转角变化速率：", "°/s", PageSteer, SecSteer, "SteerSpeed", 0, 360, false},
    {"nedtRulesSensorCount", "最大传感器数量：", "个", PageRules, SecRules, "MaxSensorCount", 0,
     100, false},
    {"nedtRulesPathR", "赛道最小半径：", "mm", PageRules, SecRules, "MinPathR", 0, 100000, false},
};

// Fields per column before a page gets a second column.
constexpr int MaxRowsPerColumn = 5;
constexpr int EditWidth = 60;

bool IsReal(const TFieldDef& d) { return d.Decimals > 0; }

int FieldOfKey(const TSettingKey& k) {
  for (int i = 0; i < TwdOption::FieldCount; ++i)
    if (std::strcmp(FieldDefs[i].Section, k.Section) == 0 &&
        std::strcmp(FieldDefs[i].Key, k.Key) == 0)
      return i;
  return -1;
}

// The display format: fixed decimals; a negative zero shows as zero.
QString DisplayFormat(const TFieldDef& d) {
  if (!IsReal(d)) return QStringLiteral("0;-0");
  const QString digits = QStringLiteral("0.") + QString(d.Decimals, QLatin1Char('0'));
  return digits + QLatin1Char(';') + QLatin1Char('-') + digits;
}

// A field's value may hold more decimals than it shows (a file's 7.46 behind "7.5"),
// and the user may type them.
constexpr int TypedDecimals = 15;

}  // namespace

TwdOption::TwdOption(QWidget* owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("选项"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(428, 266);
  setModal(true);
  IniPath = MainSettingsPath();
  BuildPages();

  // Not shown yet, the dialog has no place on the screen: the box centres on the owner.
  if (!LoadSettings()) ErrorBox(owner ? owner : this, QStringLiteral("配置文件读取失败！"));
  btnApply->setEnabled(false);
  pcOption->setCurrentIndex(0);
  pcCarParam->setCurrentIndex(0);
}

void TwdOption::BuildPages() {
  pcOption = new QTabWidget(this);
  pcOption->setObjectName(QStringLiteral("pcOption"));
  pcCarParam = new QTabWidget;
  pcCarParam->setObjectName(QStringLiteral("pcCarParam"));

  pcOption->addTab(BuildPage(PageTrack), QStringLiteral("默认赛道参数"));
  auto* car = new QWidget;
  auto* carLayout = new QVBoxLayout(car);
  carLayout->setContentsMargins(4, 4, 4, 4);
  carLayout->addWidget(pcCarParam);
  pcCarParam->addTab(BuildPage(PageCarBasic), QStringLiteral("基本参数"));
  pcCarParam->addTab(BuildPage(PageMotor), QStringLiteral("电机参数"));
  pcCarParam->addTab(BuildPage(PageSteer), QStringLiteral("舵机参数"));
  pcOption->addTab(car, QStringLiteral("默认赛车参数"));
  QWidget* rules = BuildPage(PageRules);
  chkRulesSandbox =
      new QCheckBox(QStringLiteral("在沙箱中运行决策程序（禁止联网、调试其他进程等）"), rules);
  chkRulesSandbox->setObjectName(QStringLiteral("chkRulesSandbox"));
  chkRulesSandbox->setToolTip(
      QStringLiteral("配置文件 [Rules] SandboxModules：只对可信的决策程序关闭"));
  auto* rulesGrid = static_cast<QGridLayout*>(rules->layout());
  const int row = rulesGrid->rowCount();
  rulesGrid->setRowStretch(row - 1, 0);
  rulesGrid->addWidget(chkRulesSandbox, row, 0, 1, 4);
  rulesGrid->setRowStretch(row + 1, 1);

  connect(chkRulesSandbox, &QCheckBox::toggled, this, &TwdOption::ValueChanged);
  pcOption->addTab(rules, QStringLiteral("规则"));

  btnOK = new QPushButton(QStringLiteral("确定"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnCancel = new QPushButton(QStringLiteral("取消"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnApply = new QPushButton(QStringLiteral("应用"), this);
  btnApply->setObjectName(QStringLiteral("btnApply"));
  // Enter belongs to the fields; no button takes it over.
  for (QPushButton* b : {btnOK, btnCancel, btnApply}) b->setAutoDefault(false);
  connect(btnOK, &QPushButton::clicked, this, &TwdOption::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnApply, &QPushButton::clicked, this, &TwdOption::btnApplyClick);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  buttons->addWidget(btnApply);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(pcOption, 1);
  layout->addLayout(buttons);
}

// One page of labelled fields, in the order of the table; a long page gets two columns.
QWidget* TwdOption::BuildPage(int page) {
  auto* w = new QWidget;
  auto* grid = new QGridLayout(w);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(4);
  int count = 0;
  for (const TFieldDef& d : FieldDefs) count += d.Page == page;
  const int rows = count > MaxRowsPerColumn ? (count + 1) / 2 : count;
  int n = 0;
  for (int i = 0; i < FieldCount; ++i) {
    const TFieldDef& d = FieldDefs[i];
    if (d.Page != page) continue;
    const int row = n % rows, col = 4 * (n / rows);
    ++n;
    auto* edit = new TNumEdit(IsReal(d) ? TNumEdit::TKind::Real : TNumEdit::TKind::Integer, w);
    edit->setObjectName(QString::fromLatin1(d.Name));
    edit->setFixedWidth(EditWidth);
    edit->SetDisplayFormat(DisplayFormat(d));
    edit->SetTypedDecimals(TypedDecimals);
    if (d.Limited) edit->SetLimits(0, d.Maximum, true);
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this, &TwdOption::ValueChanged);
    Fields[static_cast<size_t>(i)] = edit;
    auto* label = new QLabel(QString::fromUtf8(d.Label), w);
    label->setBuddy(edit);
    grid->addWidget(label, row, col, Qt::AlignRight);
    grid->addWidget(edit, row, col + 1);
    grid->addWidget(new QLabel(QString::fromUtf8(d.Unit), w), row, col + 2);
    if (col > 0) grid->setColumnMinimumWidth(col - 1, 12);
  }
  grid->setRowStretch(rows, 1);
  grid->setColumnStretch(grid->columnCount(), 1);
  return w;
}

int TwdOption::FieldIndex(const QObject* edit) const {
  for (int i = 0; i < FieldCount; ++i)
    if (Fields[static_cast<size_t>(i)] == edit) return i;
  return -1;
}

void TwdOption::FocusNext(int index) {
  const int next = index + 1;
  if (next >= FieldCount) return;
  switch (FieldDefs[next].Page) {
    case PageTrack:
      pcOption->setCurrentIndex(0);
      break;
    case PageCarBasic:
    case PageMotor:
    case PageSteer:
      pcOption->setCurrentIndex(1);
      pcCarParam->setCurrentIndex(FieldDefs[next].Page - PageCarBasic);
      break;
    case PageRules:
      pcOption->setCurrentIndex(2);
      break;
  }
  TNumEdit* e = Fields[static_cast<size_t>(next)];
  e->setFocus(Qt::TabFocusReason);
  e->selectAll();
}

bool TwdOption::eventFilter(QObject* watched, QEvent* event) {
  // Enter moves to the next field, across pages, and stays in the last one; the
  // field's own Enter (to the next control of any kind) is not wanted here.
  const int index = FieldIndex(watched);
  if (index >= 0 && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      TNumEdit* e = Fields[static_cast<size_t>(index)];
      e->SetValue(e->Value());  // the text in the display format
      FocusNext(index);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

bool TwdOption::LoadSettings() {
  const TIniFile ini(IniPath);
  for (int i = 0; i < FieldCount; ++i) {
    const TFieldDef& d = FieldDefs[i];
    const TSettingKey& k = SettingKey(d.Section, d.Key);
    const QString section = QString::fromLatin1(d.Section), key = QString::fromLatin1(d.Key);
    Fields[static_cast<size_t>(i)]->SetValue(
        k.IsReal ? ini.ReadFloat(section, key, k.DialogDefault)
                 : ini.ReadInteger(section, key, static_cast<int32_t>(k.DialogDefault)));
  }
  chkRulesSandbox->setChecked(ini.ReadInteger(QString::fromLatin1(SecRules),
                                              QString::fromLatin1(SandboxKey),
                                              DefaultSandboxModules ? 1 : 0) != 0);
  // A missing file is no failure: the fields show the dialog defaults.
  return ini.Loaded() || !QFileInfo::exists(IniPath);
}

bool TwdOption::SaveSettings() {
  TIniFile ini(IniPath);
  if (!ini.Loaded() && QFileInfo::exists(IniPath)) return false;
  for (const TSettingKey& k : SettingKeys) {
    const int i = FieldOfKey(k);
    if (i < 0) continue;  // cannot happen: every key of the table has its field
    const TNumEdit& f = *Fields[static_cast<size_t>(i)];
    const QString section = QString::fromLatin1(k.Section), key = QString::fromLatin1(k.Key);
    if (k.IsReal)
      ini.WriteFloat(section, key, f.Value());
    else
      ini.WriteInteger(section, key, f.IntValue());
  }
  ini.WriteInteger(QString::fromLatin1(SecRules), QString::fromLatin1(SandboxKey),
                   chkRulesSandbox->isChecked() ? 1 : 0);
  return ini.UpdateFile();
}

void TwdOption::ValueChanged() { btnApply->setEnabled(true); }

bool TwdOption::SaveOrReport() {
  SetLastSaveError(QString());
  if (SaveSettings()) return true;
  ErrorBox(this, WithReason(QStringLiteral("配置文件保存失败！")));
  return false;
}

void TwdOption::btnApplyClick() {
  if (SaveOrReport()) btnApply->setEnabled(false);
}

void TwdOption::btnOKClick() {
  SaveOrReport();
  accept();
}

}  // namespace k2
