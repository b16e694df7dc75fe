// dump and build of track files.
#include <cmath>
#include <memory>

#include "base/uSettings.h"
#include "base/uStream.h"
#include "cli/CliCommands.h"
#include "geometry/uConstants.h"
#include "track/uPath.h"

namespace k2::cli {

namespace {

void WriteElement(TJsonWriter& w, const TPathElement& e) {
  w.BeginObject();
  w.Key("Kind").Int(e.Kind);
  w.Key("StartPoint").Point(e.StartPoint.X, e.StartPoint.Y);
  w.Key("EndPoint").Point(e.EndPoint.X, e.EndPoint.Y);
  if (e.Kind == 1) {
    const auto& a = static_cast<const TArcData&>(e);
    w.Key("Center").Point(a.Center.X, a.Center.Y);
    w.Key("Radius").Float(a.Radius);
    w.Key("StartAngle").Float(a.StartAngle);
    w.Key("SweepAngle").Int(a.SweepAngle);
  }
  w.EndObject();
}

bool ReadPoint(const TJsonValue& obj, const char* key, const QString& where, TPointF& p,
               QString& error) {
  const TJsonValue* v = Member(obj, key, where, error);
  if (!v) return false;
  const QString name = where + QLatin1Char('.') + QLatin1String(key);
  const TJsonValue* x = Member(*v, "X", name, error);
  const TJsonValue* y = x ? Member(*v, "Y", name, error) : nullptr;
  return y && GetFloat(*x, name + QStringLiteral(".X"), p.X, error) &&
         GetFloat(*y, name + QStringLiteral(".Y"), p.Y, error);
}

std::unique_ptr<TPathElement> ReadElement(const TJsonValue& v, const QString& where,
                                          QString& error) {
  const TJsonValue* kind = Member(v, "Kind", where, error);
  uint8_t k = 0;
  if (!kind || !GetUInt8(*kind, where + QStringLiteral(".Kind"), k, error)) return nullptr;
  if (k > 1) {
    error = where + QStringLiteral(".Kind: 0 (line) or 1 (arc)");
    return nullptr;
  }
  std::unique_ptr<TPathElement> e;
  if (k == 0)
    e = std::make_unique<TLineData>();
  else
    e = std::make_unique<TArcData>();
  if (!ReadPoint(v, "StartPoint", where, e->StartPoint, error) ||
      !ReadPoint(v, "EndPoint", where, e->EndPoint, error))
    return nullptr;
  if (k == 1) {
    auto* a = static_cast<TArcData*>(e.get());
    const TJsonValue *r, *s, *w;
    if (!ReadPoint(v, "Center", where, a->Center, error) ||
        !(r = Member(v, "Radius", where, error)) ||
        !GetFloat(*r, where + QStringLiteral(".Radius"), a->Radius, error) ||
        !(s = Member(v, "StartAngle", where, error)) ||
        !GetFloat(*s, where + QStringLiteral(".StartAngle"), a->StartAngle, error) ||
        !(w = Member(v, "SweepAngle", where, error)) ||
        !GetInt32(*w, where + QStringLiteral(".SweepAngle"), a->SweepAngle, error))
      return nullptr;
  }
  return e;
}

bool ReadNumbers(const TJsonValue& v, const QString& where, size_t count, float* out,
                 QString& error) {
  if (!v.IsArray() || v.Items.size() != count) {
    error = where + QStringLiteral(": expected an array of %1 numbers").arg(count);
    return false;
  }
  // A design is typed by hand: only finite numbers describe a point of a track.
  for (size_t i = 0; i < count; ++i) {
    if (!GetFloat(v.Items[i], where, out[i], error)) return false;
    if (!std::isfinite(out[i])) {
      error = where + QStringLiteral(": expected finite numbers");
      return false;
    }
  }
  return true;
}

// Applies the track page's building rules in order, from the origin.
bool ReadDesign(const TJsonValue& design, TPath& track, QString& error) {
  if (!design.IsArray()) {
    error = QStringLiteral("Design: expected an array of actions");
    return false;
  }
  const int32_t minPathR = ReadRules(MainSettingsPath()).MinPathR;
  TPointF end;
  for (size_t i = 0; i < design.Items.size(); ++i) {
    const TJsonValue& a = design.Items[i];
    const QString where = QStringLiteral("Design[%1]").arg(i);
    QString rule;
    if (const TJsonValue* line = a.IsObject() ? a.Find("Line") : nullptr) {
      float xy[2];
      if (!ReadNumbers(*line, where + QStringLiteral(".Line"), 2, xy, error)) return false;
      auto e = BuildLine(end, xy[0], xy[1], rule);
      if (!e) {
        error = where + QStringLiteral(": ") + rule;
        return false;
      }
      end = e->EndPoint;
      track.AddLine(std::move(e));
    } else if (const TJsonValue* arc = a.IsObject() ? a.Find("Arc") : nullptr) {
      float v[3];
      if (!ReadNumbers(*arc, where + QStringLiteral(".Arc"), 3, v, error)) return false;
      int32_t sweep = 0;
      if (!GetInt32(arc->Items[2], where + QStringLiteral(".Arc sweep"), sweep, error))
        return false;
      if (sweep < -360 || sweep > 360) {
        error = where + QStringLiteral(".Arc: the sweep lies between -360 and 360");
        return false;
      }
      auto e = BuildArc(end, v[0], v[1], sweep, minPathR, rule);
      if (!e) {
        error = where + QStringLiteral(": ") + rule;
        return false;
      }
      end = e->EndPoint;
      track.AddArc(std::move(e));
    } else if (const TJsonValue* close = a.IsObject() ? a.Find("Close") : nullptr) {
      if (close->Type != TJsonValue::TType::Bool || !close->BoolValue) {
        error = where + QStringLiteral(".Close: expected true");
        return false;
      }
      if (PointsEqual(end, TPointF{})) {
        error = where + QStringLiteral(": the track already ends at the origin");
        return false;
      }
      track.AddLine(BuildCloseLine(end));
      end = TPointF{};
    } else {
      error = where + QStringLiteral(
                          ": expected {\"Line\":[X,Y]}, {\"Arc\":[CX,CY,Sweep]} or "
                          "{\"Close\":true}");
      return false;
    }
  }
  return true;
}

bool DumpTrack(const QByteArray& bytes, TJsonWriter& w, QString& error) {
  TPath track(nullptr, 3000, nullptr, 6000);
  TStreamReader s(bytes);
  if (!s.ReadHead("PathFile", FileVersion) || !track.LoadFromStream(s)) {
    error = QStringLiteral("not a readable track file (wrong head, or the file ends early)");
    return false;
  }
  w.BeginObject();
  w.Key("type").String("track");
  WriteTrackFields(w, track);
  w.EndObject();
  return true;
}

bool BuildTrack(const TJsonValue& doc, QByteArray& bytes, QString& error) {
  TPath track(nullptr, 3000, nullptr, 6000);
  if (!ReadTrackFields(doc, track, error)) return false;
  TStreamWriter s;
  s.WriteHead("PathFile", FileVersion);
  track.SaveToStream(s);
  bytes = s.Data();
  return true;
}

}  // namespace

void WriteTrackFields(TJsonWriter& w, const TPath& track) {
  w.Key("PathWidth").Int(track.PathWidth);
  w.Key("LineWidth").Int(track.LineWidth);
  w.Key("Miu").Float(track.Miu);
  w.Key("Bounds").BeginObject();
  w.Key("Left").Float(track.Bounds.Left);
  w.Key("Top").Float(track.Bounds.Top);
  w.Key("Right").Float(track.Bounds.Right);
  w.Key("Bottom").Float(track.Bounds.Bottom);
  w.EndObject();
  w.Key("Elements").BeginArray();
  for (const auto& e : track.Elements) WriteElement(w, *e);
  w.EndArray();
}

bool ReadTrackFields(const TJsonValue& doc, TPath& track, QString& error) {
  if (!doc.IsObject()) {
    error = QStringLiteral("a track must be a JSON object");
    return false;
  }
  // Parameters left out keep the settings defaults the new track read.
  if (const TJsonValue* v = doc.Find("PathWidth"))
    if (!GetInt32(*v, QStringLiteral("PathWidth"), track.PathWidth, error)) return false;
  if (const TJsonValue* v = doc.Find("LineWidth"))
    if (!GetInt32(*v, QStringLiteral("LineWidth"), track.LineWidth, error)) return false;
  if (const TJsonValue* v = doc.Find("Miu"))
    if (!GetFloat(*v, QStringLiteral("Miu"), track.Miu, error)) return false;

  const TJsonValue* design = doc.Find("Design");
  const TJsonValue* elements = doc.Find("Elements");
  if (design && elements) {
    error = QStringLiteral("give either \"Design\" or \"Elements\", not both");
    return false;
  }
  if (design) return ReadDesign(*design, track, error);
  if (!elements || !elements->IsArray()) {
    error = QStringLiteral("a track needs \"Elements\" (an array) or \"Design\"");
    return false;
  }
  for (size_t i = 0; i < elements->Items.size(); ++i) {
    auto e = ReadElement(elements->Items[i], QStringLiteral("Elements[%1]").arg(i), error);
    if (!e) return false;
    track.Elements.push_back(std::move(e));
  }
  if (const TJsonValue* b = doc.Find("Bounds")) {
    const char* names[4] = {"Left", "Top", "Right", "Bottom"};
    float* fields[4] = {&track.Bounds.Left, &track.Bounds.Top, &track.Bounds.Right,
                        &track.Bounds.Bottom};
    for (int i = 0; i < 4; ++i) {
      const TJsonValue* v = Member(*b, names[i], QStringLiteral("Bounds"), error);
      if (!v ||
          !GetFloat(*v, QStringLiteral("Bounds.") + QLatin1String(names[i]), *fields[i], error))
        return false;
    }
  } else {
    // Without stored bounds, grow them from the elements as the editor does.
    for (const auto& e : track.Elements) {
      if (e->Kind == 1)
        track.ExtendBoundsByArc(static_cast<const TArcData&>(*e));
      else
        track.ExtendBoundsByLine(static_cast<const TLineData&>(*e));
    }
  }
  return true;
}

const TFileKind& TrackKind() {
  static const TFileKind kind{"PathFile", "track", &DumpTrack, &BuildTrack};
  return kind;
}

}  // namespace k2::cli
