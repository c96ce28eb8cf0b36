#pragma once

namespace platform {

// The kernel id of the calling thread.
int currentThreadId();

// Sets a thread's nice value; failures (for example raising priority without the
// privilege) are reported by false and otherwise ignored.
bool setThreadNice(int threadId, int nice);

// Nice values of the worker: below the user-interface thread, lower still while the
// program is inactive.
constexpr int kWorkerNiceNormal = 2;
constexpr int kWorkerNiceBelowNormal = 8;

}  // namespace platform
