#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

int currentThreadId() {
    return static_cast<int>(::syscall(SYS_gettid));
}

bool setThreadNice(int threadId, int nice) {
    if (threadId <= 0)
        return false;
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), nice) == 0;
}

}  // namespace platform
