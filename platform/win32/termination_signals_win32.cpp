#include "platform/termination_signals.h"

namespace tarrowind {

// A desktop program learns of the session's end from its window messages; Qt passes that on.
int CatchTerminationSignals()
{
    return -1;
}

void ConsumeTerminationSignal() {}

void ReleaseTerminationSignals() {}

}  // namespace tarrowind
