#include "platform/instance_claim.h"

#include <sys/un.h>

#include <algorithm>
#include <thread>

#include "platform/instance_handshake.h"
#include "platform/private_folder.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// One question waits this long for its answer before the lock is tried again.
constexpr std::chrono::milliseconds kAnswerTimeout{1000};
constexpr std::chrono::milliseconds kRetryInterval{50};

InstanceClaim alone(std::string problem) {
    InstanceClaim claim;
    claim.outcome = InstanceClaim::Outcome::Alone;
    claim.problem = std::move(problem);
    return claim;
}

}  // namespace

InstanceClaim claimInstance(const std::string& folder, const std::string& name,
                            std::chrono::milliseconds patience) {
    const PrivateFolder privateFolder = preparePrivateFolder(folder);
    if (!privateFolder.usable())
        return alone(privateFolder.problem);
    const std::string socketPath = folder + "/" + name + ".socket";
    if (socketPath.size() >= sizeof(sockaddr_un::sun_path))
        return alone(socketPath + ": too long a path for a local socket");
    const std::string lockPath = folder + "/" + name + ".lock";

    const Clock::time_point deadline = Clock::now() + patience;
    for (;;) {
        InstanceLock lock = InstanceLock::tryTake(lockPath);
        switch (lock.state()) {
            case InstanceLock::State::Held: {
                InstanceClaim claim;
                claim.outcome = InstanceClaim::Outcome::First;
                claim.lock = std::move(lock);
                claim.socketPath = socketPath;
                return claim;
            }
            case InstanceLock::State::Unusable:
                return alone(lock.problem());
            case InstanceLock::State::TakenByAnother:
                break;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (askInstanceToRaise(socketPath,
                               std::clamp(left, std::chrono::milliseconds{1}, kAnswerTimeout))) {
            InstanceClaim claim;
            claim.outcome = InstanceClaim::Outcome::Raised;
            return claim;
        }
        if (Clock::now() >= deadline) {
            InstanceClaim claim;
            claim.outcome = InstanceClaim::Outcome::Unanswered;
            claim.problem =
                lockPath + " is held by a program that does not answer at " + socketPath;
            return claim;
        }
        std::this_thread::sleep_for(kRetryInterval);
    }
}

}  // namespace platform
