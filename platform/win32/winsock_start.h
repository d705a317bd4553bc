#pragma once

namespace tarrowind {

// Starts Winsock 2.2 once for the whole process (later calls return at once); false when it cannot.
bool StartWinsock();

}  // namespace tarrowind
