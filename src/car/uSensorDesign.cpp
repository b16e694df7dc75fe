#include "car/uSensorDesign.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>

#include "ui/uFuncProc.h"
#include "car/uCar.h"
#include "car/uSensor.h"
#include "widgets/uPlacement.h"
#include "widgets/uNumEdit.h"

namespace k2 {

namespace {

constexpr int SensorRowType = QTreeWidgetItem::UserType + 1;
constexpr int ColumnWidths[3] = {95, 100, 106};

class TSensorTreeItem : public QTreeWidgetItem {
 public:
  explicit TSensorTreeItem(const TSensorTreeData& data)
      : QTreeWidgetItem(SensorRowType), Data(data) {}
  TSensorTreeData Data;
};

QString PosText(int32_t x, int32_t y) { return QString::asprintf("X: %d, Y: %d", x, y); }

QString KindName(uint8_t kind) { return QString::fromUtf8(SensorKindNames[kind]); }

// A root row's first column: the kind name, a full-width colon and its sensor rows.
void ShowRootCount(QTreeWidgetItem* root) {
  const TSensorTreeData* d = TSensorTreeList::RowData(root);
  root->setText(0, QStringLiteral("%1：%2").arg(d->IdText).arg(root->childCount()));
}

}  // namespace

TSensorTreeData LightSensorRow(const TLightSensor& sensor, int index) {
  TSensorTreeData d;
  d.IdText = QString::asprintf("LS %d", index + 1);
  d.PosText = PosText(sensor.SenseX, sensor.SenseY);
  // A file may hold a type this program has no name for; it is shown as its number.
  d.OtherText = sensor.SensorType < 2 ? QString::fromUtf8(LightSensorTypeNames[sensor.SensorType])
                                      : QString::number(sensor.SensorType);
  d.ListIndex = index;
  d.SensorKind = LightSensorKind;
  return d;
}

TSensorTreeData CCDSensorRow(const TCCDSensor& sensor) {
  TSensorTreeData d;
  d.IdText = QString::asprintf("CS %d", 1);
  d.PosText = PosText(sensor.SenseX, sensor.SenseY);
  const auto c = [](float v) { return static_cast<double>(v); };
  d.OtherText = QString::asprintf(
      "左上(%.0f, %.0f)，左下(%.0f, %.0f)，右上(%.0f, %.0f)，右下(%.0f, %.0f)", c(sensor.TopLeft.X),
      c(sensor.TopLeft.Y), c(sensor.BottomLeft.X), c(sensor.BottomLeft.Y), c(sensor.TopRight.X),
      c(sensor.TopRight.Y), c(sensor.BottomRight.X), c(sensor.BottomRight.Y));
  d.ListIndex = 0;
  d.SensorKind = CCDSensorKind;
  return d;
}

QString SensorRowHint(const TSensorTreeData& data) {
  QString hint = data.IdText;
  const QString crlf = QString::fromLatin1(CRLF);
  if (!data.PosText.isEmpty()) hint += crlf + data.PosText;
  if (!data.OtherText.isEmpty()) hint += crlf + data.OtherText;
  return hint;
}

TSensorTreeList::TSensorTreeList(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(3);
  setHeaderLabels({QStringLiteral("ID&Type"), QStringLiteral("Pos"), QStringLiteral("Other")});
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(QHeaderView::Interactive);
  header()->setSectionsClickable(false);
  header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int i = 0; i < 3; ++i) setColumnWidth(i, ColumnWidths[i]);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setIndentation(14);
  setUniformRowHeights(true);
  setWordWrap(false);
  setTextElideMode(Qt::ElideRight);
  connect(this, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item, int) { OnRowFocused(item); });
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item, QTreeWidgetItem*) { OnRowFocused(item); });
}

QTreeWidgetItem* TSensorTreeList::AddRow(QTreeWidgetItem* parent, const TSensorTreeData& data) {
  auto* item = new TSensorTreeItem(data);
  const QString hint = SensorRowHint(data);
  for (int c = 0; c < 3; ++c) item->setToolTip(c, hint);
  if (parent) {
    item->setText(0, data.IdText);
    item->setText(1, data.PosText);
    item->setText(2, data.OtherText);
    parent->addChild(item);
  } else {
    addTopLevelItem(item);
  }
  return item;
}

void TSensorTreeList::Rebuild(const TCar* car) {
  Empty();
  QTreeWidgetItem* roots[2];
  for (uint8_t kind : {LightSensorKind, CCDSensorKind}) {
    TSensorTreeData d;
    d.IdText = KindName(kind);
    d.SensorKind = kind;
    roots[kind] = AddRow(nullptr, d);
  }
  if (car) {
    for (size_t i = 0; i < car->LightSensors.size(); ++i)
      AddRow(roots[LightSensorKind], LightSensorRow(*car->LightSensors[i], static_cast<int>(i)));
    if (car->CCDSensor) AddRow(roots[CCDSensorKind], CCDSensorRow(*car->CCDSensor));
  }
  for (QTreeWidgetItem* root : roots) ShowRootCount(root);
  expandAll();
  setCurrentItem(nullptr);
}

void TSensorTreeList::Empty() {
  clear();
  setCurrentItem(nullptr);
}

const TSensorTreeData* TSensorTreeList::RowData(const QTreeWidgetItem* item) {
  if (!item || item->type() != SensorRowType) return nullptr;
  return &static_cast<const TSensorTreeItem*>(item)->Data;
}

bool TSensorTreeList::IsSensorRow(const QTreeWidgetItem* item) {
  return RowData(item) && item->parent();
}

const TSensorTreeData* TSensorTreeList::FocusedSensor() const {
  const QTreeWidgetItem* item = currentItem();
  return IsSensorRow(item) ? RowData(item) : nullptr;
}

QTreeWidgetItem* TSensorTreeList::RootRow(uint8_t kind) const {
  return kind < topLevelItemCount() ? topLevelItem(kind) : nullptr;
}

void TSensorTreeList::OnRowFocused(QTreeWidgetItem* item) {
  if (IsSensorRow(item)) Q_EMIT SensorRowFocused();
}

// ---- controls of the sensor dialogs ------------------------------------------

namespace sensordialog {

QLabel* MakeLabel(QWidget* parent, const char* text, int x, int y) {
  return PlaceLabel(parent, text, x, y);
}

TNumEdit* MakeEdit(QWidget* parent, const char* name, int x, int y) {
  return PlaceIntEdit(parent, name, x, y, EditWidth);
}

TNumEdit* MakeCoordinate(QWidget* parent, const char* name, const char* label, int x, int y) {
  MakeLabel(parent, label, x, y + 3);
  TNumEdit* e = MakeEdit(parent, name, x + CoordinateLabel, y);
  e->resize(CoordinateWidth, e->height());
  return e;
}

void MakeReadOnly(TNumEdit* edit) {
  edit->setReadOnly(true);
  edit->setFocusPolicy(Qt::NoFocus);
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int x, int y) {
  return PlaceButton(parent, name, caption, {x, y, 75, 26});
}

}  // namespace sensordialog

}  // namespace k2
