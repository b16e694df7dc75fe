#pragma once
// The replay engine.
namespace k2 {
class TReplay {
 public:
  virtual ~TReplay() = default;
};
}  // namespace k2
