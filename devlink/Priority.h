#pragma once

namespace velboot {

// Raises the scheduling priority of the calling thread where the system permits it, saving the
// previous one; RestorePriority puts it back. One saved value: calls must not nest.
void BoostPriority();
void RestorePriority();

}  // namespace velboot
