#pragma once
// TwdCCDSensorParams: the modal dialog "CCD传感器" for the CCD sensor: pixel counts,
// mounting position, depression, the sensed point that follows from them while the
// user types, and the four corners of the sensed area.
//
// A corner field that loses the focus on the wrong side of the sensed point is pulled
// onto it (left corners not right of it, far corners not nearer, ...).  OK is refused,
// with a message, while the corners do not form a quadrilateral the camera picture can
// be mapped onto (QuadIsProper); the dialog then stays open.
//
// The caller creates the dialog (pre-filled from a sensor with LoadFromSensor when it
// edits one), runs it, and writes it into a sensor with StoreToSensor only when it
// closed with OK.
#include <QDialog>
#include <array>

#include "geometry/uVector.h"

class QPushButton;

namespace k2 {

class TCCDSensor;
class TNumEdit;

class TwdCCDSensorParams : public QDialog {
  Q_OBJECT

 public:
  explicit TwdCCDSensorParams(QWidget* owner = nullptr);

  // The eight corner fields, PixelHeight, PixelWidth, then X, Y, Z and the depression;
  // the sensed point follows.  Corners are not pulled back here.
  void LoadFromSensor(const TCCDSensor& sensor);
  // The corners, ComputeSenseArea with the dialog's corners and pixel counts,
  // PixelHeight and PixelWidth, then SetAssembleX, Y, Z and SetAlpha, so that the
  // sensed point is computed from the final values.
  void StoreToSensor(TCCDSensor& sensor) const;

  TPointF TopLeft() const;
  TPointF BottomLeft() const;
  TPointF TopRight() const;
  TPointF BottomRight() const;

  TNumEdit* nedtPixelWidth = nullptr;   // "横向", 1..10000
  TNumEdit* nedtPixelHeight = nullptr;  // "纵向", 1..10000
  TNumEdit* nedtAssembleX = nullptr;    // mm
  TNumEdit* nedtAssembleY = nullptr;
  TNumEdit* nedtAssembleZ = nullptr;
  TNumEdit* nedtAlpha = nullptr;     // 1..90 degrees
  TNumEdit* nedtSenseX = nullptr;    // read-only
  TNumEdit* nedtSenseY = nullptr;    // read-only
  TNumEdit* nedtTopLeftX = nullptr;  // corners, mm
  TNumEdit* nedtTopLeftY = nullptr;
  TNumEdit* nedtBottomLeftX = nullptr;
  TNumEdit* nedtBottomLeftY = nullptr;
  TNumEdit* nedtTopRightX = nullptr;
  TNumEdit* nedtTopRightY = nullptr;
  TNumEdit* nedtBottomRightX = nullptr;
  TNumEdit* nedtBottomRightY = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void UpdateSensePoint();
  // Pulls one corner field onto the sensed point when it lies on the wrong side.
  void PullBack(TNumEdit* corner);
  void btnOKClick();
};

}  // namespace k2
