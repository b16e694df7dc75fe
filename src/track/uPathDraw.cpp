// Track rendering into the design view and the overview.
#include "track/uPath.h"

namespace k2 {

void TPath::DrawDesignView(bool withAxes) { (void)withAxes; }
void TPath::DrawAxes() {}
void TPath::DrawOverview(bool withFrame) { (void)withFrame; }
void TPath::DrawOverviewFrame() {}
void TPath::MarkOverviewPoint(TPointF p, int32_t r) { (void)p; (void)r; }

}  // namespace k2
