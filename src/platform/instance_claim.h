#pragma once

#include <chrono>
#include <string>

#include "platform/instance_lock.h"

namespace platform {

// How a start of the program finds out whether it is the one running program of its
// user and settings store.
//
// The lock decides, and only the lock: a start that takes it is the one program, keeps
// it for its whole life and is the only one that listens at the socket. A start that
// cannot take it asks the holder, through that socket, to come to the front, and ends
// once it has answered. The holder may still be starting (it takes the lock before it
// listens), so the question is repeated until the holder answers or the lock comes
// free; a start never shows a window without the lock. Both files live in a private
// folder, so nobody else can take the lock or put a socket in their place; whatever
// is found at the socket's place while nobody holds the lock is left behind by an
// ended program and replaced.
struct InstanceClaim {
    enum class Outcome {
        First,       // this start holds the lock: it is the one program, and listens
        Raised,      // the running program answered and comes to the front
        Unanswered,  // another start holds the lock but did not answer in time
        Alone,       // no private folder: the program runs without the check
    };

    Outcome outcome = Outcome::Alone;
    InstanceLock lock;       // held when First, for the life of the program
    std::string socketPath;  // where First listens
    std::string problem;     // for Unanswered and Alone: what went wrong
};

// How long a second start waits for a running program that is busy or still starting.
inline constexpr std::chrono::milliseconds kInstancePatience{10000};

InstanceClaim claimInstance(const std::string& folder, const std::string& name,
                            std::chrono::milliseconds patience = kInstancePatience);

}  // namespace platform
