// dump and build of car files, and render-car.
#include "cli/CliCar.h"

#include <QFileInfo>
#include <QImage>
#include <initializer_list>
#include <memory>

#include "base/uStream.h"
#include "car/uCar.h"
#include "cli/CliCommands.h"
#include "geometry/uConstants.h"

namespace k2::cli {

namespace {

constexpr char CarTag[] = "CarFile";
// The car page's view: 300 x 300 pixels showing 1500 mm.
constexpr int32_t CarPageViewSize = 300;
constexpr int32_t CarPageSpan = 1500;

// ---- field access -----------------------------------------------------------

QString Name(const QString& where, const char* key) {
  return where.isEmpty() ? QString::fromLatin1(key) : where + QLatin1Char('.') + QLatin1String(key);
}

bool ReadInt(const TJsonValue& obj, const char* key, const QString& where, int32_t& out,
             QString& error) {
  const TJsonValue* v = Member(obj, key, where, error);
  return v && GetInt32(*v, Name(where, key), out, error);
}

bool ReadIntIn(const TJsonValue& obj, const char* key, const QString& where, int32_t lo, int32_t hi,
               int32_t& out, QString& error) {
  if (!ReadInt(obj, key, where, out, error)) return false;
  if (out < lo || out > hi) {
    error = QStringLiteral("%1: expected a whole number from %2 to %3")
                .arg(Name(where, key))
                .arg(lo)
                .arg(hi);
    return false;
  }
  return true;
}

// Leaves `out` as it is when the key is absent.
bool ReadOptionalInt(const TJsonValue& obj, const char* key, const QString& where, int32_t& out,
                     QString& error) {
  const TJsonValue* v = obj.Find(key);
  return !v || GetInt32(*v, Name(where, key), out, error);
}

bool ReadOptionalFloat(const TJsonValue& obj, const char* key, const QString& where, float& out,
                       QString& error) {
  const TJsonValue* v = obj.Find(key);
  return !v || GetFloat(*v, Name(where, key), out, error);
}

bool ReadFloat(const TJsonValue& obj, const char* key, const QString& where, float& out,
               QString& error) {
  const TJsonValue* v = Member(obj, key, where, error);
  return v && GetFloat(*v, Name(where, key), out, error);
}

bool ReadByte(const TJsonValue& obj, const char* key, const QString& where, uint8_t& out,
              QString& error) {
  const TJsonValue* v = Member(obj, key, where, error);
  return v && GetUInt8(*v, Name(where, key), out, error);
}

bool ReadPoint(const TJsonValue& obj, const char* key, const QString& where, TPointF& p,
               QString& error) {
  const TJsonValue* v = Member(obj, key, where, error);
  const QString name = Name(where, key);
  return v && ReadFloat(*v, "X", name, p.X, error) && ReadFloat(*v, "Y", name, p.Y, error);
}

bool RequireObject(const TJsonValue& v, const QString& where, QString& error) {
  if (v.IsObject()) return true;
  error = where + QStringLiteral(": expected an object");
  return false;
}

// How many of the keys the object gives.
size_t CountKeys(const TJsonValue& obj, std::initializer_list<const char*> keys) {
  size_t n = 0;
  for (const char* k : keys) n += obj.Find(k) ? 1 : 0;
  return n;
}

// ---- sensors ----------------------------------------------------------------

void WriteLightSensor(TJsonWriter& w, const TLightSensor& s) {
  w.BeginObject();
  w.Key("AssembleX").Int(s.AssembleX);
  w.Key("AssembleY").Int(s.AssembleY);
  w.Key("AssembleZ").Int(s.AssembleZ);
  w.Key("SenseX").Int(s.SenseX);
  w.Key("SenseY").Int(s.SenseY);
  w.Key("Beta").Int(s.Beta);
  w.Key("EffectiveR").Int(s.EffectiveR);
  w.Key("SensorType").Int(s.SensorType);
  w.EndObject();
}

void WriteCCDSensor(TJsonWriter& w, const TCCDSensor& s) {
  w.BeginObject();
  w.Key("AssembleX").Int(s.AssembleX);
  w.Key("AssembleY").Int(s.AssembleY);
  w.Key("AssembleZ").Int(s.AssembleZ);
  w.Key("SenseX").Int(s.SenseX);
  w.Key("SenseY").Int(s.SenseY);
  w.Key("Alpha").Int(s.Alpha);
  w.Key("PixelHeight").Int(s.PixelHeight);
  w.Key("PixelWidth").Int(s.PixelWidth);
  w.Key("TopLeft").Point(s.TopLeft.X, s.TopLeft.Y);
  w.Key("BottomLeft").Point(s.BottomLeft.X, s.BottomLeft.Y);
  w.Key("TopRight").Point(s.TopRight.X, s.TopRight.Y);
  w.Key("BottomRight").Point(s.BottomRight.X, s.BottomRight.Y);
  w.Key("ImageQuad").BeginArray();
  for (float v : s.ImageQuad) w.Float(v);
  w.EndArray();
  w.Key("SenseRect").BeginObject();
  w.Key("Left").Float(s.SenseRect.Left);
  w.Key("Top").Float(s.SenseRect.Top);
  w.Key("Right").Float(s.SenseRect.Right);
  w.Key("Bottom").Float(s.SenseRect.Bottom);
  w.EndObject();
  w.EndObject();
}

bool ReadMounting(const TJsonValue& v, const QString& where, int32_t xyz[3], QString& error) {
  return ReadInt(v, "AssembleX", where, xyz[0], error) &&
         ReadInt(v, "AssembleY", where, xyz[1], error) &&
         ReadInt(v, "AssembleZ", where, xyz[2], error);
}

// Stored form: every field as it is.  Design form (no SenseX, SenseY): the way the
// point-sensor dialog fills a sensor, plain fields first, then the setters.
bool ReadLightSensor(const TJsonValue& v, const QString& where, TLightSensor& s, QString& error) {
  if (!RequireObject(v, where, error)) return false;
  const size_t derived = CountKeys(v, {"SenseX", "SenseY"});
  if (derived == 2) {
    return ReadInt(v, "AssembleX", where, s.AssembleX, error) &&
           ReadInt(v, "AssembleY", where, s.AssembleY, error) &&
           ReadInt(v, "AssembleZ", where, s.AssembleZ, error) &&
           ReadInt(v, "SenseX", where, s.SenseX, error) &&
           ReadInt(v, "SenseY", where, s.SenseY, error) &&
           ReadInt(v, "Beta", where, s.Beta, error) &&
           ReadInt(v, "EffectiveR", where, s.EffectiveR, error) &&
           ReadByte(v, "SensorType", where, s.SensorType, error);
  }
  if (derived != 0) {
    error = where + QStringLiteral(
                        ": give both SenseX and SenseY (stored form) or neither "
                        "(design form)");
    return false;
  }
  int32_t xyz[3], beta = 0, radius = 0, type = 0;
  if (!ReadMounting(v, where, xyz, error) || !ReadInt(v, "Beta", where, beta, error) ||
      !ReadIntIn(v, "EffectiveR", where, 0, 1000, radius, error) ||
      !ReadIntIn(v, "SensorType", where, 0, 1, type, error))
    return false;
  s.SensorType = static_cast<uint8_t>(type);
  s.EffectiveR = radius;
  s.SetAssembleX(xyz[0]);
  s.SetAssembleY(xyz[1]);
  s.SetAssembleZ(xyz[2]);
  s.SetBeta(beta);
  return true;
}

bool ReadStoredCCDSensor(const TJsonValue& v, const QString& where, TCCDSensor& s, QString& error) {
  if (!ReadInt(v, "AssembleX", where, s.AssembleX, error) ||
      !ReadInt(v, "AssembleY", where, s.AssembleY, error) ||
      !ReadInt(v, "AssembleZ", where, s.AssembleZ, error) ||
      !ReadInt(v, "SenseX", where, s.SenseX, error) ||
      !ReadInt(v, "SenseY", where, s.SenseY, error) ||
      !ReadInt(v, "Alpha", where, s.Alpha, error) ||
      !ReadIntIn(v, "PixelHeight", where, 1, MaxCcdPixels, s.PixelHeight, error) ||
      !ReadIntIn(v, "PixelWidth", where, 1, MaxCcdPixels, s.PixelWidth, error) ||
      !ReadPoint(v, "TopLeft", where, s.TopLeft, error) ||
      !ReadPoint(v, "BottomLeft", where, s.BottomLeft, error) ||
      !ReadPoint(v, "TopRight", where, s.TopRight, error) ||
      !ReadPoint(v, "BottomRight", where, s.BottomRight, error))
    return false;
  const TJsonValue* quad = Member(v, "ImageQuad", where, error);
  if (!quad) return false;
  const QString quadName = Name(where, "ImageQuad");
  if (!quad->IsArray() || quad->Items.size() != s.ImageQuad.size()) {
    error = quadName + QStringLiteral(": expected an array of 8 numbers");
    return false;
  }
  for (size_t i = 0; i < s.ImageQuad.size(); ++i)
    if (!GetFloat(quad->Items[i], quadName, s.ImageQuad[i], error)) return false;
  const TJsonValue* rect = Member(v, "SenseRect", where, error);
  const QString rectName = Name(where, "SenseRect");
  return rect && ReadFloat(*rect, "Left", rectName, s.SenseRect.Left, error) &&
         ReadFloat(*rect, "Top", rectName, s.SenseRect.Top, error) &&
         ReadFloat(*rect, "Right", rectName, s.SenseRect.Right, error) &&
         ReadFloat(*rect, "Bottom", rectName, s.SenseRect.Bottom, error);
}

// Stored form: every field as it is.  Design form (no SenseX, SenseY, ImageQuad,
// SenseRect): the way the CCD dialog fills a sensor: the corners and pixel counts
// through ComputeSenseArea, then the setters.
bool ReadCCDSensor(const TJsonValue& v, const QString& where, TCCDSensor& s, QString& error) {
  if (!RequireObject(v, where, error)) return false;
  const size_t derived = CountKeys(v, {"SenseX", "SenseY", "ImageQuad", "SenseRect"});
  if (derived == 4) return ReadStoredCCDSensor(v, where, s, error);
  if (derived != 0) {
    error = where + QStringLiteral(
                        ": give all of SenseX, SenseY, ImageQuad and SenseRect "
                        "(stored form) or none of them (design form)");
    return false;
  }
  int32_t xyz[3], alpha = 0, rows = 0, columns = 0;
  TPointF tl, bl, tr, br;
  if (!ReadMounting(v, where, xyz, error) || !ReadInt(v, "Alpha", where, alpha, error) ||
      !ReadIntIn(v, "PixelHeight", where, 1, MaxCcdPixels, rows, error) ||
      !ReadIntIn(v, "PixelWidth", where, 1, MaxCcdPixels, columns, error) ||
      !ReadPoint(v, "TopLeft", where, tl, error) || !ReadPoint(v, "BottomLeft", where, bl, error) ||
      !ReadPoint(v, "TopRight", where, tr, error) || !ReadPoint(v, "BottomRight", where, br, error))
    return false;
  s.ComputeSenseArea(tl, bl, tr, br, columns, rows);
  s.SetAssembleX(xyz[0]);
  s.SetAssembleY(xyz[1]);
  s.SetAssembleZ(xyz[2]);
  s.SetAlpha(alpha);
  return true;
}

// ---- actuators --------------------------------------------------------------

bool ReadSteerMotor(const TJsonValue& v, TSteerMotor& m, QString& error) {
  const QString where = QStringLiteral("SteerMotor");
  return RequireObject(v, where, error) &&
         ReadOptionalInt(v, "MaxSteerAngle", where, m.MaxSteerAngle, error) &&
         ReadOptionalInt(v, "SteerSpeed", where, m.SteerSpeed, error);
}

bool ReadMotor(const TJsonValue& v, TMotor& m, QString& error) {
  const QString where = QStringLiteral("Motor");
  return RequireObject(v, where, error) && ReadOptionalFloat(v, "URated", where, m.URated, error) &&
         ReadOptionalFloat(v, "IRated", where, m.IRated, error) &&
         ReadOptionalFloat(v, "TRated", where, m.TRated, error) &&
         ReadOptionalInt(v, "nRated", where, m.nRated, error) &&
         ReadOptionalFloat(v, "Ra", where, m.Ra, error) &&
         ReadOptionalInt(v, "L", where, m.L, error);
}

// ---- the file kind ----------------------------------------------------------

bool DumpCar(const QByteArray& bytes, TJsonWriter& w, QString& error) {
  TCar car(nullptr, CarPageSpan);
  TStreamReader s(bytes);
  if (!s.ReadHead(CarTag, FileVersion) || !car.ReadCarRecord(s)) {
    error = QStringLiteral(
        "not a readable car file (wrong head, a sensor count that "
        "cannot fit, or the file ends early)");
    return false;
  }
  w.BeginObject();
  w.Key("type").String("car");
  WriteCarFields(w, car);
  w.EndObject();
  return true;
}

bool BuildCar(const TJsonValue& doc, QByteArray& bytes, QString& error) {
  TCar car(nullptr, CarPageSpan);
  if (!ReadCarFields(doc, car, error)) return false;
  TStreamWriter s;
  s.WriteHead(CarTag, FileVersion);
  car.WriteCarRecord(s);
  bytes = s.Data();
  return true;
}

}  // namespace

void WriteCarFields(TJsonWriter& w, const TCar& car) {
  w.Key("Weight").Int(car.Weight);
  w.Key("Length").Int(car.Length);
  w.Key("Width").Int(car.Width);
  w.Key("WheelBase").Int(car.WheelBase);
  w.Key("Track").Int(car.Track);
  w.Key("FrontLength").Int(car.FrontLength);
  w.Key("WheelD").Int(car.WheelD);
  w.Key("WheelWidth").Int(car.WheelWidth);
  w.Key("LightSensors").BeginArray();
  for (const auto& s : car.LightSensors) WriteLightSensor(w, *s);
  w.EndArray();
  w.Key("CCDSensor");
  if (car.CCDSensor)
    WriteCCDSensor(w, *car.CCDSensor);
  else
    w.Null();
  w.Key("SteerMotor").BeginObject();
  w.Key("MaxSteerAngle").Int(car.SteerMotor->MaxSteerAngle);
  w.Key("SteerSpeed").Int(car.SteerMotor->SteerSpeed);
  w.EndObject();
  const TMotor& m = *car.Motor;
  w.Key("Motor").BeginObject();
  w.Key("URated").Float(m.URated);
  w.Key("IRated").Float(m.IRated);
  w.Key("TRated").Float(m.TRated);
  w.Key("nRated").Int(m.nRated);
  w.Key("Ra").Float(m.Ra);
  w.Key("L").Int(m.L);
  w.EndObject();
}

bool ReadCarFields(const TJsonValue& doc, TCar& car, QString& error) {
  if (!doc.IsObject()) {
    error = QStringLiteral("a car must be a JSON object");
    return false;
  }
  const QString body;
  int32_t weight = car.Weight, wheelD = car.WheelD;
  if (!ReadOptionalInt(doc, "Weight", body, weight, error) ||
      !ReadOptionalInt(doc, "Length", body, car.Length, error) ||
      !ReadOptionalInt(doc, "Width", body, car.Width, error) ||
      !ReadOptionalInt(doc, "WheelBase", body, car.WheelBase, error) ||
      !ReadOptionalInt(doc, "Track", body, car.Track, error) ||
      !ReadOptionalInt(doc, "FrontLength", body, car.FrontLength, error) ||
      !ReadOptionalInt(doc, "WheelD", body, wheelD, error) ||
      !ReadOptionalInt(doc, "WheelWidth", body, car.WheelWidth, error))
    return false;
  car.SetWeight(weight);
  car.SetWheelD(wheelD);

  if (const TJsonValue* list = doc.Find("LightSensors")) {
    if (!list->IsArray()) {
      error = QStringLiteral("LightSensors: expected an array of sensors");
      return false;
    }
    for (size_t i = 0; i < list->Items.size(); ++i) {
      auto s = std::make_unique<TLightSensor>();
      if (!ReadLightSensor(list->Items[i], QStringLiteral("LightSensors[%1]").arg(i), *s, error))
        return false;
      car.AddLightSensor(std::move(s));
    }
  }
  if (const TJsonValue* ccd = doc.Find("CCDSensor"); ccd && !ccd->IsNull()) {
    auto s = std::make_unique<TCCDSensor>();
    if (!ReadCCDSensor(*ccd, QStringLiteral("CCDSensor"), *s, error)) return false;
    car.SetCCDSensor(std::move(s));
  }
  if (const TJsonValue* servo = doc.Find("SteerMotor"))
    if (!ReadSteerMotor(*servo, *car.SteerMotor, error)) return false;
  if (const TJsonValue* motor = doc.Find("Motor"))
    if (!ReadMotor(*motor, *car.Motor, error)) return false;
  return true;
}

const TFileKind& CarKind() {
  static const TFileKind kind{CarTag, "car", &DumpCar, &BuildCar};
  return kind;
}

// ---- render-car -------------------------------------------------------------

namespace {

bool TakeInt(const QStringList& args, int& i, int32_t lo, int32_t hi, int32_t& out) {
  if (i + 1 >= args.size()) return false;
  bool ok = false;
  const int v = args[++i].toInt(&ok);
  if (!ok || v < lo || v > hi) return false;
  out = v;
  return true;
}

}  // namespace

int CmdRenderCar(const QStringList& args) {
  QStringList files;
  int32_t size = CarPageViewSize, span = CarPageSpan;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QLatin1String("--size")) {
      if (!TakeInt(args, i, 1, 10000, size))
        return Fail(QStringLiteral("--size takes a whole number of pixels from 1 to 10000"));
    } else if (a == QLatin1String("--span")) {
      if (!TakeInt(args, i, 1, 1000000, span))
        return Fail(
            QStringLiteral("--span takes a whole number of millimetres from 1 to "
                           "1000000"));
    } else if (a.startsWith(QLatin1String("--"))) {
      return Fail(QStringLiteral("render-car: unknown option %1 (see --help)").arg(a));
    } else {
      files.append(a);
    }
  }
  if (files.size() != 2)
    return Fail(QStringLiteral("render-car takes CAR.kcf and OUT.png (see --help)"));
  const QString& in = files[0];
  const QString& out = files[1];
  if (!QFileInfo(in).isFile()) return Fail(in + QStringLiteral(": cannot read the file"));

  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(0xFFFFFFFF);
  TCar car(&image, span);
  car.FileName = in;
  if (!car.LoadFromFile())
    return Fail(in + QStringLiteral(": not a readable car file (wrong head, a sensor count "
                                    "that cannot fit, or the file ends early)"));
  car.Draw();

  return WritePng(image, out);
}

}  // namespace k2::cli
