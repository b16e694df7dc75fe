#pragma once
// The simulation engine.
namespace k2 {
class TSimu {
 public:
  virtual ~TSimu() = default;
};
}  // namespace k2
