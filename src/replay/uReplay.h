#pragma once
// The replay engine: a saved record file shown step by step on its own copy of the
// track and car stored in the file.
//
// Ownership: the engine owns its track, car, records, CCD camera and run view.  The
// four rasters belong to the replay page (or the CLI) and may be null.
#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/uVector.h"
#include "simulation/uRecord.h"
#include "simulation/uRunView.h"
#include "simulation/uSimuSampling.h"
#include "track/uPathIndex.h"

namespace k2 {

class TCar;
class TPath;

class TReplay {
 public:
  // The replay page passes its main view with RunMainSpan and its overview with
  // RunOverviewSpan.
  TReplay(QImage* drawImage, int32_t drawSpan, QImage* viewImage, int32_t viewSpan,
          QImage* sensorImage, QImage* ccdImage);
  ~TReplay();
  TReplay(const TReplay&) = delete;
  TReplay& operator=(const TReplay&) = delete;

  // Reads RecordFile.  False for a missing file, a wrong head, or a file that ends
  // early or holds implausible counts.
  bool LoadFromFile();
  void DrawInitial();
  void DrawFrame();
  void ClearViews();
  bool AtStart() const { return Index == 0; }
  bool AtEnd() const { return Index >= RecordCount - 1; }
  float FrontWheelAngle() const;
  void SetStepMs(int32_t ms);
  void StepForward();
  void StepBack();
  void SeekIndex(int32_t index);
  // Makes the record at Index current (nothing without records).
  void ApplyRecord();

  const TRunView& View() const { return Views; }

  TRecords Records;
  std::unique_ptr<TPath> Track;
  std::unique_ptr<TCar> Car;
  std::unique_ptr<TCcdCamera> Ccd;
  std::vector<uint8_t> Readings;
  int32_t Index = 0;
  int32_t StepMs = 0;
  int32_t StepRecords = 1;
  int32_t TotalMs = 0;
  int32_t SimStepMs = 0;
  int32_t RecordCount = 0;
  TPointF Pos;
  float Speed = 0;
  float Acc = 0;
  float Warp = 0;
  QString RecordFile;
  QString TrackFileName;
  QString CarFileName;
  QString JudgeFileName;

 private:
  TRunView Views;
  TPathIndex Elements;  // of Track's elements, for the CCD picture
};


}  // namespace k2
