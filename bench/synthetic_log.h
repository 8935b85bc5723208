#pragma once

#include <ostream>

namespace orvan::plot {

// A cycle log of `cycles` cycles 4 s apart, made up but shaped like a real
// night at a 1" threshold: both axes drifting with some noise and a periodic
// error, a pulse whenever an axis is beyond the threshold, a slew and a
// re-capture, a spell with tracking off, a stop and a new start, an abort,
// and a run-time error at the end. The same every time.
void WriteSyntheticLog(std::ostream& out, long cycles);

}  // namespace orvan::plot
