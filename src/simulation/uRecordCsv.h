#pragma once
// The records of a run as CSV, for spreadsheets and scripts.
//
// A header row, then one row per record: "step" (0-based index), "time_s" (the
// simulated time after the step: (index + 1) x the step, in seconds), PosX, PosY,
// Heading, SteerAngle, Speed, Acc, Warp, and one column per point-sensor reading
// ("R1".."Rn", n = the records' SensorCount).  UTF-8, comma-separated, numbers in the C
// locale in the shortest form that reads back to the same value, lines ending in "\n".
// The file is written as it is produced, through a temporary file.
//
// Given the run's track, five columns follow the readings, from lap timing (uLaps.h):
// "progress_mm" (along the track), "laps" (completed so far), "lap_time_s" and
// "lap_valid" (1 or 0) on the row of the step that completed a lap and empty on the
// others, and "off_track" (1 or 0).
#include <QString>
#include <cstdint>

namespace k2 {

class TPath;
class TRecords;

// False, with `error` saying why, when the file cannot be written (any previous file
// stays as it was).
bool WriteRecordCsv(const QString& path, const TRecords& records, int32_t stepMs, QString& error);
// The same with the lap columns, for a run on `track`.
bool WriteRecordCsv(const QString& path, const TPath& track, const TRecords& records,
                    int32_t stepMs, QString& error);

}  // namespace k2
