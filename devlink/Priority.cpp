#include "devlink/Priority.h"

#include <sys/resource.h>

namespace velboot {
namespace {

// On Linux the nice value of PRIO_PROCESS 0 is that of the calling thread.
int savedNice = 0;
constexpr int kHighestNice = -20;

}  // namespace

void BoostPriority() {
  savedNice = ::getpriority(PRIO_PROCESS, 0);
  (void)::setpriority(PRIO_PROCESS, 0, kHighestNice);
}

void RestorePriority() { (void)::setpriority(PRIO_PROCESS, 0, savedNice); }

}  // namespace velboot
