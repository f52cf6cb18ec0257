// Private to service/.
// The kill test's seam: with MOLVEXECR_SERVICE_STOP_AT set, the service stops itself (SIGSTOP)
// at the named step of a job, so that the test can kill it there with SIGKILL.
//
//   NAME          the printer has answered the step NAME; its outcome is not in the journal yet
//   NAME:during   300 ms after the step NAME was sent (its start is in the journal), while the
//                 printer still works on it (the test makes the virtual printer slow there)
//
// Unset (as everywhere but in that test), the seam does nothing.
#pragma once

#include <string_view>

namespace molvex::service {

// Called by the journal writer of a job: with phase "before" once the step's start is
// committed, with phase "after" before its outcome is.
void StepStop(std::string_view step, std::string_view phase);

}  // namespace molvex::service
