#pragma once
// The simulation engine: one track and one car, moved over the track in fixed steps,
// with the sensor readings of every step, the decision module's commands, the record
// of the run and the four views.
//
// Two modes: simulation (the engine owns its car, loaded from a file, and calls the
// decision module) and car test (the car is borrowed from the car page, no module).
//
// Ownership: the engine owns its track, its records, its CCD camera, the module binding
// and its run view, and in simulation mode its car.  The four rasters belong to the
// page and may be null: an engine without views moves, reads and records exactly the
// same.
#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/uVector.h"
#include "simulation/uJudge.h"
#include "simulation/uLaps.h"
#include "simulation/uRecord.h"
#include "simulation/uRunView.h"
#include "simulation/uSimuSampling.h"
#include "track/uPathIndex.h"

namespace k2 {

class TCar;
class TPath;

class TSimu {
 public:
  // Simulation mode.  The main view spans RunMainSpan, the overview RunOverviewSpan.
  TSimu(QImage* drawImage, QImage* viewImage, QImage* sensorImage, QImage* ccdImage);
  // Car test mode: borrows `car` (which must outlive the engine); the main view spans
  // CarTestMainSpan.  Car and track count as loaded; the caller loads the track file.
  static std::unique_ptr<TSimu> CreateForTest(QImage* drawImage, TCar* car, QImage* viewImage,
                                              QImage* sensorImage, QImage* ccdImage);
  ~TSimu();
  TSimu(const TSimu&) = delete;
  TSimu& operator=(const TSimu&) = delete;

  // Loading.  A file that does not exist changes nothing.  A track without elements
  // counts as not loaded.
  bool LoadTrack(const QString& path);
  bool LoadCar(const QString& path);
  bool LoadJudge(const QString& path);
  bool IsReady() const { return CarLoaded && TrackLoaded && JudgeLoaded; }

  // Puts the car at the start at rest, resets the module and redraws the still views.
  // False when the module's Reset failed (the module is then released).
  bool Prepare();
  bool ResetRun();
  void SetInitialHeading();
  void SetStepMs(int32_t ms);
  // One step; false when the decision module failed (the step is then not recorded).
  // With LapTracking, a successful step is also fed to Laps, so that Laps follows
  // exactly the steps the page records.
  bool Step();
  void AddRecord();
  void ClearRecords() { Records.Clear(); }
  // Writes the record file RecordFile; false with LastError set on failure.
  bool SaveToFile();
  void DrawFrame();
  void ClearViews();
  float FrontWheelAngle() const;

  // The module binding, for the output lines and the timeout.
  TJudgeModule& Judge() { return Module; }
  const TRunView& View() const { return Views; }
  // Laps, progress and off-track steps of the run since the last Prepare or ResetRun,
  // on the track as loaded.
  const TLapTracker& Laps() const { return LapTracker; }

  // ---- state --------------------------------------------------------------
  TCar* Car = nullptr;  // owned through OwnedCar in simulation mode, borrowed otherwise
  std::unique_ptr<TPath> Track;
  TRecords Records;
  std::vector<uint8_t> Readings;      // one per point sensor
  std::vector<TPointF> SensorPoints;  // sensed points, world mm
  std::unique_ptr<TCcdCamera> Ccd;    // present exactly when the car has a usable CCD
  bool TestMode = false;
  bool LapTracking = true;  // false in car test mode unless the test page turns it on
  bool CarLoaded = false;
  bool TrackLoaded = false;
  bool JudgeLoaded = false;
  QString RecordFile;
  QString TrackFileName;
  QString CarFileName;
  QString JudgeFileName;
  int32_t StepMs = 10;
  int32_t TimeMs = 0;
  float VelocityX = 0;  // mm per ms
  float VelocityY = 0;
  TPointF Pos;        // mm
  float Acc = 0;      // m/s^2
  float Warp = 0;     // mm
  float Speed = 0;    // m/s
  QString LastError;  // why the last SaveToFile failed

 private:
  TSimu(QImage* drawImage, TCar* borrowed, QImage* viewImage, QImage* sensorImage, QImage* ccdImage,
        int32_t drawSpan);
  void SetupSensorArrays();
  void SetupCcd();
  void UpdatePosition();
  void UpdateWarp();
  void UpdateSpeed();
  bool CallJudge();

  TRunView Views;
  std::unique_ptr<TCar> OwnedCar;
  TJudgeModule Module;
  TPathIndex Index;              // of Track's elements, rebuilt whenever they change
  std::vector<int32_t> Scratch;  // the index's answers, reused every step
  TLapTracker LapTracker;        // over Track, restarted with the run state

  std::vector<TPolar> Polars;  // the point sensors' sensed points, fixed per car
};

}  // namespace k2
