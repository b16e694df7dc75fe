// A JSON document as kurvino2-cli's build reads it (the design form of a track or car
// as in data/, or a dump): the parser, the "type" dispatch and the file kind's
// builder, with the building rules of the track page for the design form.
//
// Properties besides "no crash, no sanitizer report": the bytes built are accepted by
// the program's own reader of that kind, and dump then build gives them back byte for
// byte.
#include <QByteArray>
#include <string>

#include "FuzzSupport.h"
#include "base/uStream.h"
#include "car/uCar.h"
#include "cli/CliCommands.h"
#include "cli/CliJson.h"
#include "geometry/uConstants.h"
#include "simulation/uRecord.h"
#include "simulation/uRunView.h"
#include "track/uPath.h"

namespace {

using namespace k2;
using namespace k2::cli;

// build's dispatch: the kind whose type the document names, or null.
const TFileKind* KindOf(const TJsonValue& doc) {
  const TJsonValue* type = doc.IsObject() ? doc.Find("type") : nullptr;
  if (!type || type->Type != TJsonValue::TType::String) return nullptr;
  for (const TFileKind* k : {&TrackKind(), &CarKind(), &RecordKind()})
    if (type->Text == k->Type) return k;
  return nullptr;
}

bool ReaderAccepts(const TFileKind& kind, const QByteArray& bytes) {
  if (&kind == &TrackKind()) {
    TPath track(nullptr, 3000, nullptr, 6000);
    TStreamReader s(bytes);
    return s.ReadHead("PathFile", FileVersion) && track.LoadFromStream(s) && s.AtEnd();
  }
  if (&kind == &CarKind()) {
    TCar car(nullptr, RunMainSpan);
    TStreamReader s(bytes);
    return s.ReadHead("CarFile", FileVersion) && car.ReadCarRecord(s) && s.AtEnd();
  }
  TRecordNames names;
  int32_t stepMs = 0;
  TPath track(nullptr, 3000, nullptr, 6000);
  TCar car(nullptr, RunMainSpan);
  TRecords records;
  return ReadRecordFile(bytes, names, stepMs, track, car, records);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  k2::fuzz::Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TJsonValue doc;
  QString error;
  if (!ParseJson(text, doc, error)) return 0;
  const TFileKind* kind = KindOf(doc);
  if (!kind) return 0;
  QByteArray built;
  if (!kind->Build(doc, built, error)) return 0;

  if (!ReaderAccepts(*kind, built)) fuzz::Broken("the program refuses a file that build wrote");
  TJsonWriter dump;
  if (!kind->Dump(built, dump, error)) fuzz::Broken("dump refuses a file that build wrote");
  TJsonValue again;
  if (!ParseJson(dump.Text(), again, error)) fuzz::Broken("build cannot parse a dump");
  QByteArray rebuilt;
  if (!kind->Build(again, rebuilt, error)) fuzz::Broken("build refuses a dump");
  if (rebuilt != built) fuzz::Broken("build of a dump differs from the file dumped");
  return 0;
}
