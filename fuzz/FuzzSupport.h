#pragma once
// What the fuzzing targets share: a private working folder, the input written to a
// file for the loaders that take a path (as the program's do), the fixed track and car
// that a fuzzed car or track is driven with, and the stop for a broken property.
//
// Every target calls Init from LLVMFuzzerInitialize.  The working folder becomes the
// current directory, so the model settings file ("Kurvino2.ini" there) is absent and
// every model starts from the built-in defaults unless a target says otherwise.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace k2 {
class TCar;
class TSimu;
}  // namespace k2

namespace k2::fuzz {

void Init();

// The working folder, with a trailing '/' ($TMPDIR, else /dev/shm, else /tmp); removed
// when the process exits normally.
const QString& WorkDir();

// Writes the input to WorkDir() + name, replacing what an earlier input left there.
QString WriteInput(const char* name, const uint8_t* data, size_t size);

// Written once per process with the program's own builders and writers.
const QString& FixedTrackPath();  // an oval of two lines and two arcs
const QString& FixedCarPath();    // five point sensors across the front and a CCD sensor

// `steps` steps of 10 ms at full drive with the front wheels turned to the left, as a
// run without a decision module would make them once the commands are set.
void DriveSteps(TSimu& sim, int steps);

// Whether a car's CCD camera is small enough to draw its picture: a CCD sensor may
// legitimately see up to 100 m across (a work raster of 25000 x 25000 pixels) and
// give 100 million pixels, but drawing such a picture takes seconds a step under the
// sanitizers.  Cars whose camera works and is larger are only loaded, not driven.
bool SmallCamera(const TCar& car);

// A property of the readers does not hold: says which on stderr and aborts, which
// libFuzzer reports as a crash with the input that caused it.
[[noreturn]] void Broken(const char* what);

}  // namespace k2::fuzz
