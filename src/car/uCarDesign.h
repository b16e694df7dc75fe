#pragma once
// The car design page: the plan view of the current car, its seventeen parameter
// fields in three groups, New/Open/Save/Close of car files, the sensor group with the
// sensor list and the two sensor dialogs, and the car test group "赛车测试" (whose
// behaviour belongs to the car test unit, TCarTest; the page builds the group and puts
// it idle).
//
// The page works on the shared state of its host (CurCar, the document flags,
// CaptionBase, MaxSensorCount); the host outlives the page.  New, Open, Save and
// Close go through the shared document flow.  The page owns the
// 300 x 300 raster the current car draws into, so it outlives the car.  Controls carry
// their names as objectName (btnNewCar, nedtCarLength, vstSensorList, grpCarTest...).
#include <QImage>
#include <QString>
#include <QWidget>

#include "ui/uDocumentFlow.h"
#include "ui/uPageHost.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace k2 {

struct TCarFieldSpec;
struct TCarFieldColumns;

class TCar;
class TDialGauge;
class TGroupBox;
class TNumEdit;
class TRasterView;
class TSensorTreeList;

// The car test as the car page sees it.  It lives in the car test unit, which drives
// the page's test group; the main window introduces the two.
class ICarTest {
 public:
  virtual ~ICarTest() = default;
  // Ends a test in progress from outside, without a question (the page is left).
  virtual void AbortCarTest() = 0;
};

class TCarDesignPage : public QWidget, public IPage, private IDocumentPage {
  Q_OBJECT

 public:
  // The page works on the shared state of `host`, which outlives it.
  explicit TCarDesignPage(IPageHost& host, QWidget* parent = nullptr);
  ~TCarDesignPage() override;

  // ---- page procedures ------------------------------------------------------
  // Fills the fields, the kind selector and the two root rows from CurCar and
  // enables the page.  The fill is not taken for an edit.
  void ShowCar();
  // Copies the seventeen fields into CurCar (whole-number fields as integers).
  void ReadCarFromPage();
  // Every field to 1, except Ratio 0.0001 and URated, IRated, TRated, Ra 0.1.
  void ResetCarFields();
  // Fields reset, drawing, kind selector and sensor list emptied, page disabled.
  void ClearCarPage();
  // The basic, motor, servo, sensor and car test groups, and Close.
  void EnableCarPage(bool on);
  // Clears the car drawing to opaque white and draws CurCar into it.
  void RedrawCar();
  // Releases CurCar; Save disabled.
  void DiscardCar();
  // Saves CurCar, asking for a name first while DocIsNew; false when the user
  // cancelled or the save failed.  Changes neither the flags nor the caption.
  bool SaveCarInteractive();
  void RebuildSensorTree();
  // Add, Edit, Delete and the kind selector from the car's sensors.
  void UpdateSensorControls();
  void SensorCountCaption();

  // ---- leaving the page ----------------------------------------------------
  // A modified car asks whether to save it first.
  bool ConfirmLeave(TLeaving how) override;
  // Ends a car test, empties the page and releases the car.
  void ClosePage() override;
  // The car test unit that drives the test group; not owned, may be null.
  void SetCarTest(ICarTest* test) { CarTest = test; }

  // ---- for the car test --------------------------------------------------------
  // The car test buttons in their idle state: "进入测试" on, the other three off.
  void ResetTestControls();
  // Enables or disables the groups that edit the car: basic, motor, servo, the file
  // group and the sensor group.
  void EnableCarEditing(bool on);
  // The raster shown by imgCarDraw; cars of this page draw into it.
  QImage* CarRaster() { return &DrawRaster; }
  TRasterView* imgCarDraw = nullptr;  // 300 x 300
  TGroupBox* grpCarTest = nullptr;
  TRasterView* imgCarSensors = nullptr;  // 376 x 86
  TRasterView* imgCarCCD = nullptr;      // 86 x 86
  TRasterView* imgCarView = nullptr;     // 136 x 136
  TDialGauge* dgCarTestSpeed = nullptr;  // "车速 m/s"
  TDialGauge* dgCarTestSteer = nullptr;  // "转向 °", counter-clockwise
  QPushButton* btnEnterTest = nullptr;
  QPushButton* btnExitTest = nullptr;
  QPushButton* btnStartTest = nullptr;
  QPushButton* btnPauseTest = nullptr;

  // ---- commands (the button handlers) ----------------------------------------
  void btnNewCarClick();
  void btnOpenCarClick();
  void btnSaveCarClick();
  void btnCloseCarClick();
  void btnAddSensorClick();
  void btnEditSensorClick();
  void btnDeleteSensorClick();

 private:
  // The car as the document flow sees it.
  bool HasDocument() const override;
  QString DocumentFile() const override;
  void SetDocumentFile(const QString& path) override;
  bool SaveDocument() override;
  void CreateDocument() override;
  bool LoadDocument(const QString& path) override;
  void ShowNewDocument() override;
  void ShowOpenedDocument() override;
  void DocumentSaved() override;
  void DiscardDocument() override;
  void CloseDocument() override;

  void BuildControls();
  void BuildParameterGroups();
  void BuildSensorGroup();
  void BuildTestGroup();
  // One labelled parameter edit in row `row` of a group, wired to CarParamChanged.
  TNumEdit* AddField(TGroupBox* group, const TCarFieldSpec& field, int row,
                     const TCarFieldColumns& columns);
  // Sizes and clears the raster and creates CurCar on it.
  void CreateCar();
  void CarParamChanged(bool redraws);
  void SetFieldsFromCar(const TCar& car);
  // The edits are told apart from user edits while the page fills them.
  bool Filling = false;

  IPageHost& Host;
  TSharedState& S;
  TDocumentFlow Flow;
  ICarTest* CarTest = nullptr;
  QImage DrawRaster;  // shown by imgCarDraw, drawn into by CurCar

  TGroupBox* grpCarBasic = nullptr;
  TNumEdit* nedtCarLength = nullptr;
  TNumEdit* nedtCarWidth = nullptr;
  TNumEdit* nedtCarTrack = nullptr;
  TNumEdit* nedtCarWheelBase = nullptr;
  TNumEdit* nedtCarFrontLength = nullptr;
  TNumEdit* nedtCarWheelD = nullptr;
  TNumEdit* nedtCarWheelWidth = nullptr;
  TNumEdit* nedtCarWeight = nullptr;
  TNumEdit* nedtRatio = nullptr;
  TGroupBox* grpCarMotor = nullptr;
  TNumEdit* nedtMotorURated = nullptr;
  TNumEdit* nedtMotorIRated = nullptr;
  TNumEdit* nedtMotornRated = nullptr;
  TNumEdit* nedtMotorTRated = nullptr;
  TNumEdit* nedtMotorRa = nullptr;
  TNumEdit* nedtMotorL = nullptr;
  TGroupBox* grpCarSteer = nullptr;
  TNumEdit* nedtMaxSteerAngle = nullptr;
  TNumEdit* nedtSteerSpeed = nullptr;
  TGroupBox* grpCarFile = nullptr;
  QPushButton* btnNewCar = nullptr;
  QPushButton* btnOpenCar = nullptr;
  QPushButton* btnSaveCar = nullptr;
  QPushButton* btnCloseCar = nullptr;
  TGroupBox* grpCarSensor = nullptr;
  QComboBox* cbbSensorKind = nullptr;
  QPushButton* btnAddSensor = nullptr;
  QPushButton* btnEditSensor = nullptr;
  QPushButton* btnDeleteSensor = nullptr;
  TSensorTreeList* vstSensorList = nullptr;
};

}  // namespace k2
