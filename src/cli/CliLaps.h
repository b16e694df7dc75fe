#pragma once
// What laps and race read from a record file: the lap figures at its last step and the
// run's length and largest deviation.
#include <QString>
#include <cstdint>
#include <vector>

#include "simulation/uLaps.h"

namespace k2::cli {

struct TRecordSummary {
  int32_t Steps = 0;   // records
  int32_t StepMs = 0;  // ms
  float MaxWarp = 0;   // mm, the largest Warp (0 without records)
  double TrackLengthMm = 0;
  bool Closed = false;
  std::vector<TLap> Laps;
  TLapFigures Last;  // after the last record (the start without records)
};

// Reads the record file `path`; false when it cannot be read or is not a record file.
bool SummariseRecord(const QString& path, TRecordSummary& out);

}  // namespace k2::cli
