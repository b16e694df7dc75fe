// A settings file (Kurvino2.ini) as the program reads it: every key of the key table
// through TIniFile, the rules (ReadRules), and the defaults that new tracks, cars,
// motors and servos take from it, as the track and car pages make them.
//
// Properties besides "no crash, no sanitizer report": a real read is finite; and every
// key written reads back as written, in memory and from the file UpdateFile wrote,
// whatever the rest of the file holds.
#include <QString>
#include <cmath>
#include <cstdint>
#include <iterator>

#include "FuzzSupport.h"
#include "base/uSettings.h"
#include "car/uCar.h"
#include "car/uMotor.h"
#include "simulation/uRunView.h"
#include "track/uPath.h"

namespace {

using k2::SettingKeys;
using k2::TIniFile;

QString Section(const k2::TSettingKey& k) { return QString::fromLatin1(k.Section); }
QString Key(const k2::TSettingKey& k) { return QString::fromLatin1(k.Key); }

// Values unlike the defaults and unlike each other, exact in binary and in decimal.
int32_t IntFor(int i) { return 1000 * i - 7; }
double RealFor(int i) { return i + 0.375; }

void CheckWritten(const TIniFile& ini, const char* when) {
  for (int i = 0; i < static_cast<int>(std::size(SettingKeys)); ++i) {
    const k2::TSettingKey& k = SettingKeys[i];
    const bool same = k.IsReal ? ini.ReadFloat(Section(k), Key(k), -1) == RealFor(i)
                               : ini.ReadInteger(Section(k), Key(k), -1) == IntFor(i);
    if (!same) k2::fuzz::Broken(when);
  }
  if (ini.ReadString(QStringLiteral("Rules"), QLatin1String(k2::SandboxKey), QString()) !=
      QLatin1String("0"))
    k2::fuzz::Broken(when);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  k2::fuzz::Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace k2;
  // The models read "Kurvino2.ini" in the working folder, which is where this goes.
  const QString path = fuzz::WriteInput("Kurvino2.ini", data, size);

  TIniFile ini(path);
  for (const TSettingKey& k : SettingKeys) {
    if (k.IsReal) {
      if (!std::isfinite(ini.ReadFloat(Section(k), Key(k), k.DialogDefault)))
        fuzz::Broken("a real setting reads as infinite or NaN");
    } else {
      ini.ReadInteger(Section(k), Key(k), static_cast<int32_t>(k.DialogDefault));
    }
    ini.ReadString(Section(k), Key(k), QString());
  }
  ReadRules(path);

  {
    TPath track(nullptr, 3000, nullptr, 6000);
    TCar car(nullptr, RunMainSpan);
    car.RatedSpeed();
    // The start of a run at full drive, as the engine steps the motor.
    car.Motor->PrepareModel();
    car.Motor->SetLoadRatio(track.Miu);
    car.Motor->StepTime = 0.01f;
    car.Motor->SetCommand(1.0f);
    for (int i = 0; i < 4; ++i) {
      car.StepActuators();
      car.Motor->GetSpeed();
    }
  }

  for (int i = 0; i < static_cast<int>(std::size(SettingKeys)); ++i) {
    const TSettingKey& k = SettingKeys[i];
    if (k.IsReal)
      ini.WriteFloat(Section(k), Key(k), RealFor(i));
    else
      ini.WriteInteger(Section(k), Key(k), IntFor(i));
  }
  ini.WriteString(QStringLiteral("Rules"), QLatin1String(SandboxKey), QStringLiteral("0"));
  CheckWritten(ini, "a key written reads back otherwise");
  if (!ini.UpdateFile()) fuzz::Broken("the settings file cannot be written");
  CheckWritten(TIniFile(path), "a key written to the file reads back otherwise");
  if (ReadRules(path).SandboxModules) fuzz::Broken("the sandbox rule written as 0 reads as on");
  return 0;
}
