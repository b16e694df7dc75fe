#pragma once
// Constants shared by every subsystem.  The angle factors are fixed values, not
// full-precision pi/180: results must match the documented numbers exactly.
#include <cstdint>

namespace k2 {

constexpr double DegToRad = 0.017453292;  // degrees -> radians
constexpr double RadToDeg = 57.29577951;  // radians -> degrees
constexpr double Pi = 3.141592654;        // the pi of the motor and wheel formulas

// Version of the track, car and record file formats.
constexpr int32_t FileVersion = 200;
// A file tag longer than this is refused before it is read.
constexpr int32_t MaxTagLength = 20;

// Rounds to the nearest integer, halves to even (2.5 -> 2, 3.5 -> 4).  Values outside
// the 32-bit range, and NaN, are clamped so that no caller sees undefined behaviour.
int32_t RoundHalfEven(double x);

}  // namespace k2
