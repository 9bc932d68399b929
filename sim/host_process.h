// Ends the process the simulator is loaded into at once, as a crash of the
// caller would: for tests of what waits on the updater when it dies in the
// middle of a transfer.
#pragma once

namespace sim {

[[noreturn]] void CrashHostProcess();

}  // namespace sim
