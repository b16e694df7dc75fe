#pragma once
// The commands of kurvino2-cli and the file kinds that dump and build know.
//
// Contract: bad input prints one message naming the file on stderr and exits with
// ExitBadInput; a failed Judge call exits with ExitJudgeFailed.  build never leaves a
// half-written output file (files are written through a temporary file and a rename).
#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <vector>

#include "cli/CliJson.h"
#include "simulation/uLaps.h"

namespace k2 {
class TPath;
}

namespace k2::cli {

constexpr int ExitOk = 0;
constexpr int ExitBadInput = 2;
constexpr int ExitJudgeFailed = 3;

// Prints "kurvino2-cli: <message>" to stderr and returns `code`.
int Fail(const QString& message, int code = ExitBadInput);
// Writes a picture as PNG through a temporary file: ExitOk, or the failure reported.
int WritePng(const QImage& image, const QString& path);

// One kind of document file.  The kind of a file is told by its magic text.
struct TFileKind {
  const char* Magic;  // the file's tag, e.g. "PathFile"
  const char* Type;   // the JSON "type", e.g. "track"
  // Writes the JSON document for a file's bytes; false (with a message) when refused.
  bool (*Dump)(const QByteArray& bytes, TJsonWriter& out, QString& error);
  // Builds a file's bytes from a JSON document.
  bool (*Build)(const TJsonValue& doc, QByteArray& bytes, QString& error);
};

const TFileKind& TrackKind();
const TFileKind& CarKind();
const TFileKind& RecordKind();

// The track's fields without "type", shared by the track and record documents.
void WriteTrackFields(TJsonWriter& w, const TPath& track);
// Fills a new track from a track document (element form or design form).
bool ReadTrackFields(const TJsonValue& doc, TPath& track, QString& error);

// Commands beyond dump and build; `args` are the command's own arguments.
int CmdRenderTrack(const QStringList& args);
int CmdRenderCar(const QStringList& args);
int CmdRun(const QStringList& args);
int CmdRenderFrame(const QStringList& args);
int CmdExportCsv(const QStringList& args);
int CmdLaps(const QStringList& args);
int CmdRace(const QStringList& args);

// The lap keys of run's and laps' JSON summaries, in this order: "track_length_mm",
// "laps", "lap_times_s", "lap_valid", "best_lap_s" (null when no lap is valid),
// "progress_mm" and "off_track_steps".
void WriteLapKeys(TJsonWriter& w, double trackLengthMm, const std::vector<TLap>& laps,
                  const TLapFigures& last);

}  // namespace k2::cli
