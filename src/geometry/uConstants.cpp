#include "geometry/uConstants.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace k2 {

int32_t RoundHalfEven(double x) {
  if (std::isnan(x)) return 0;
  // nearbyint honours the current rounding mode, which is round-to-nearest-even.
  const double r = std::nearbyint(x);
  if (r >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  if (r <= static_cast<double>(std::numeric_limits<int32_t>::min()))
    return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(r);
}

}  // namespace k2
