#include "platform/termination_cleanup.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "platform/temporary_files.h"

namespace platform {

namespace {

sigset_t terminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    sigaddset(&set, SIGINT);
    return set;
}

// Ends the process by signalNumber as its default action would, so that whoever
// waits for it sees the signal.
[[noreturn]] void endBySignal(int signalNumber) {
    ::signal(signalNumber, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signalNumber);
    ::_exit(128 + signalNumber);
}

void waitForTermination(sigset_t set) {
    int signalNumber = 0;
    if (::sigwait(&set, &signalNumber) != 0)
        return;
    // An ordinary thread, not a handler: taking the registry's lock is allowed here.
    removeAllTemporaryFiles();
    endBySignal(signalNumber);
}

}  // namespace

bool removeTemporaryFilesOnTermination() {
    const sigset_t set = terminationSignals();
    if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0)
        return false;
    try {
        std::thread(waitForTermination, set).detach();
    } catch (...) {
        ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return false;
    }
    return true;
}

}  // namespace platform
