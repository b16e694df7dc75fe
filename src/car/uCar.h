#pragma once
// The car model: body, sensors, drive motor and steering servo.
namespace k2 {
class TCar {
 public:
  virtual ~TCar() = default;
};
}  // namespace k2
