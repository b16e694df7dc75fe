#pragma once
// Processor state that the engine's arithmetic depends on for its speed.

namespace k2 {

// Clears the upper halves of the vector registers (vzeroupper) on processors with AVX;
// does nothing elsewhere.  Qt's raster code runs AVX2 instructions and leaves the
// upper halves in use; until they are cleared, every SSE instruction of code built
// without AVX (ours, and libm's wrappers such as atan2) pays a state transition, which
// makes the arithmetic several times slower.  Call it after Qt drawing and before a
// burst of floating-point work.  It changes no value the program holds.
void ClearUpperVectorState();

}  // namespace k2
