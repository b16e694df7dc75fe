#pragma once
// The sensor list of the car page: a tree with one root row per sensor kind ("光电",
// "CCD") and one row per sensor below its kind, in three resizable columns
// "ID&Type" (95 px), "Pos" (100 px) and "Other" (106 px).
//
// Every row carries a TSensorTreeData.  A sensor row shows its three texts; a root row
// shows "<kind>：<number of sensor rows>" in the first column and nothing else.  The
// hint (tooltip) of a row is IdText, then CR LF and PosText, then CR LF and OtherText,
// each only when not empty.
//
// The focused row is the view's current item.  Rebuilding the list leaves no row
// focused.
//
// The unit also holds the control builders the two sensor dialogs share.
#include <QString>
#include <QTreeWidget>
#include <cstdint>

class QLabel;
class QPushButton;

namespace k2 {

class TCar;
class TLightSensor;
class TCCDSensor;
class TNumEdit;

struct TSensorTreeData {
  QString IdText;
  QString PosText;
  QString OtherText;
  int32_t ListIndex = 0;   // position of a point sensor in the car's LightSensors
  uint8_t SensorKind = 0;  // LightSensorKind or CCDSensorKind
};

// Row data of the point sensor at 0-based position `index`: "LS <index + 1>",
// "X: <SenseX>, Y: <SenseY>" and the sensor's type name.
TSensorTreeData LightSensorRow(const TLightSensor& sensor, int index);
// Row data of the CCD sensor: "CS 1", its sensed point and its four corners.
TSensorTreeData CCDSensorRow(const TCCDSensor& sensor);
// IdText, PosText and OtherText joined by CR LF, leaving out empty texts.
QString SensorRowHint(const TSensorTreeData& data);

class TSensorTreeList : public QTreeWidget {
  Q_OBJECT

 public:
  explicit TSensorTreeList(QWidget* parent = nullptr);

  // Empties the list, adds the two root rows and, when `car` is given, one row per
  // sensor; then expands every row.  No row is focused afterwards.
  void Rebuild(const TCar* car);
  // Removes every row, root rows included.
  void Empty();

  // The data of a row; null for an item that is not one of the list's rows.
  static const TSensorTreeData* RowData(const QTreeWidgetItem* item);
  static bool IsSensorRow(const QTreeWidgetItem* item);
  // The focused row's data when it is a sensor row, otherwise null.
  const TSensorTreeData* FocusedSensor() const;
  // The root row of a kind, or null while the list is empty.
  QTreeWidgetItem* RootRow(uint8_t kind) const;

 Q_SIGNALS:
  // A sensor row was clicked or became the focused row.
  void SensorRowFocused();

 private:
  QTreeWidgetItem* AddRow(QTreeWidgetItem* parent, const TSensorTreeData& data);
  void OnRowFocused(QTreeWidgetItem* item);
};

// Controls shared by the two sensor dialogs, placed at fixed positions.
namespace sensordialog {

constexpr int EditWidth = 60;        // a labelled whole-number edit
constexpr int CoordinateWidth = 52;  // an X, Y or Z edit after its short label
constexpr int CoordinateLabel = 22;  // width of "X：" before a coordinate edit

QLabel* MakeLabel(QWidget* parent, const char* text, int x, int y);
// A whole-number edit without limits.
TNumEdit* MakeEdit(QWidget* parent, const char* name, int x, int y);
// "X：" (or the given label) followed by a whole-number edit.
TNumEdit* MakeCoordinate(QWidget* parent, const char* name, const char* label, int x, int y);
// Shows a derived value: read-only and never focused.
void MakeReadOnly(TNumEdit* edit);
QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int x, int y);

}  // namespace sensordialog

}  // namespace k2
