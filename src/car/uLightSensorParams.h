#pragma once
// TwdLisghtSensorParams: the modal dialog "光电传感器" for one photoelectric point
// sensor: type, effective radius, mounting position, elevation, and the sensed point
// that follows from them while the user types.
//
// The caller creates the dialog (pre-filled from a sensor with LoadFromSensor when it
// edits one), runs it, and writes it into a sensor with StoreToSensor only when it
// closed with OK.
#include <QDialog>

class QComboBox;
class QPushButton;

namespace k2 {

class TLightSensor;
class TNumEdit;

class TwdLisghtSensorParams : public QDialog {
  Q_OBJECT

 public:
  explicit TwdLisghtSensorParams(QWidget* owner = nullptr);

  // Type, radius, X, Y, Z, sensed X and Y, then elevation.  The sensed point and the
  // radius then follow from the dialog's own rule.
  void LoadFromSensor(const TLightSensor& sensor);
  // SensorType and EffectiveR first, then SetAssembleX, Y, Z and SetBeta, so that the
  // sensed point is computed from the final values.
  void StoreToSensor(TLightSensor& sensor) const;

  QComboBox* cbbSensorType = nullptr;  // LightSensorTypeNames
  TNumEdit* nedtEffectiveR = nullptr;  // 0..1000 mm; 0 and disabled for discrete
  TNumEdit* nedtAssembleX = nullptr;   // mm
  TNumEdit* nedtAssembleY = nullptr;
  TNumEdit* nedtAssembleZ = nullptr;
  TNumEdit* nedtBeta = nullptr;    // 0..89 degrees
  TNumEdit* nedtSenseX = nullptr;  // read-only
  TNumEdit* nedtSenseY = nullptr;  // read-only
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The radius rule and the sensed point, after any change of type, elevation or
  // mounting.
  void UpdateSensePoint();
};

}  // namespace k2
