#include "FuzzSupport.h"

#include <QDir>
#include <QFile>
#include <QtGlobal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#include "base/uSettings.h"
#include "car/uCar.h"
#include "car/uMotor.h"
#include "car/uSensor.h"
#include "simulation/uRunView.h"
#include "simulation/uSimu.h"
#include "track/uPath.h"

namespace k2::fuzz {

namespace {

QString& WorkDirStore() {
  static QString dir;
  return dir;
}

// Qt's warnings about what the engine is asked to draw (a pen of negative width from a
// track's line width, say) would flood the log at thousands of inputs a second; a
// fatal message still ends the process.
void QuietQt(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg) Broken(message.toLocal8Bit().constData());
}

void RemoveWorkDir() {
  if (!WorkDirStore().isEmpty()) QDir(WorkDirStore()).removeRecursively();
}

QString MakeFixedTrack() {
  TPath track(nullptr, 3000, nullptr, 6000);
  QString error;
  auto line = [&](float x, float y) {
    auto e = BuildLine(track.LastEndPoint(), x, y, error);
    if (!e) Broken("the fixed track breaks a building rule");
    track.AddLine(std::move(e));
  };
  auto arc = [&](float cx, float cy, int32_t sweep) {
    auto e = BuildArc(track.LastEndPoint(), cx, cy, sweep, DefaultMinPathR, error);
    if (!e) Broken("the fixed track breaks a building rule");
    track.AddArc(std::move(e));
  };
  // 3 m straights joined by half circles of 1 m radius, built by the track page's rules.
  line(3000, 0);
  arc(3000, 1000, 180);
  line(0, 2000);
  arc(0, 1000, 180);
  track.FileName = WorkDir() + QStringLiteral("fixed.kpf");
  if (!track.SaveToFile()) Broken("cannot write the fixed track");
  return track.FileName;
}

QString MakeFixedCar() {
  TCar car(nullptr, RunMainSpan);
  for (int i = 0; i < 5; ++i) {
    auto s = std::make_unique<TLightSensor>();
    s->SetAssembleX((i - 2) * 30);
    s->SetAssembleY(200);
    s->SetAssembleZ(100);
    s->SetBeta(30);
    s->SensorType = static_cast<uint8_t>(i % 2);
    car.AddLightSensor(std::move(s));
  }
  auto ccd = std::make_unique<TCCDSensor>();
  ccd->ComputeSenseArea(MakePointF(-150, 400), MakePointF(-100, 200), MakePointF(150, 400),
                        MakePointF(100, 200), 64, 24);
  ccd->SetAssembleY(100);
  ccd->SetAssembleZ(150);
  ccd->SetAlpha(40);
  car.SetCCDSensor(std::move(ccd));
  car.FileName = WorkDir() + QStringLiteral("fixed.kcf");
  if (!car.SaveToFile()) Broken("cannot write the fixed car");
  return car.FileName;
}

}  // namespace

void Init() {
  if (!WorkDirStore().isEmpty()) return;
  qInstallMessageHandler(QuietQt);
  // Memory-backed when there is such a folder: the settings target writes its file
  // through QSaveFile, whose sync to disk would otherwise bound the speed.
  QByteArray pattern = qgetenv("TMPDIR");
  if (pattern.isEmpty()) pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  pattern += "/kurvino2-fuzz-XXXXXX";
  if (!mkdtemp(pattern.data())) Broken("cannot make the working folder");
  WorkDirStore() = QString::fromLocal8Bit(pattern) + QLatin1Char('/');
  std::atexit(RemoveWorkDir);
  if (chdir(pattern.constData()) != 0) Broken("cannot enter the working folder");
  SetProgramDir(WorkDirStore());
  SetModelSettingsPath(QStringLiteral("Kurvino2.ini"));
  SetMainSettingsPath(WorkDirStore() + QStringLiteral("Kurvino2.ini"));
}

const QString& WorkDir() { return WorkDirStore(); }

QString WriteInput(const char* name, const uint8_t* data, size_t size) {
  const QString path = WorkDir() + QLatin1String(name);
  const QByteArray native = QFile::encodeName(path);
  const int fd = open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) Broken("cannot write the input file");
  for (size_t done = 0; done < size;) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) Broken("cannot write the input file");
    done += static_cast<size_t>(n);
  }
  close(fd);
  return path;
}

const QString& FixedTrackPath() {
  static const QString path = MakeFixedTrack();
  return path;
}

const QString& FixedCarPath() {
  static const QString path = MakeFixedCar();
  return path;
}

void DriveSteps(TSimu& sim, int steps) {
  sim.SetStepMs(10);
  sim.Car->Motor->SetCommand(1.0f);
  sim.Car->SteerMotor->SetCommand(0.75f);
  for (int i = 0; i < steps; ++i) {
    sim.Step();
    sim.AddRecord();
  }
}

bool SmallCamera(const TCar& car) {
  if (!car.CCDSensor) return true;
  const TCCDSensor& s = *car.CCDSensor;
  const double w = static_cast<double>(s.SenseRect.Right) - s.SenseRect.Left;
  const double h = static_cast<double>(s.SenseRect.Top) - s.SenseRect.Bottom;
  return std::hypot(w, h) <= 8000 &&
         static_cast<int64_t>(s.PixelWidth) * s.PixelHeight <= 512 * 512;
}

void Broken(const char* what) {
  std::fprintf(stderr, "kurvino2 fuzz: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

}  // namespace k2::fuzz
