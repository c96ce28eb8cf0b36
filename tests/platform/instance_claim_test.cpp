#include "platform/instance_claim.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/instance_handshake.h"
#include "platform/private_folder.h"
#include "temp_folder.h"

namespace {

using Outcome = platform::InstanceClaim::Outcome;
using std::chrono::milliseconds;

const std::string kName = "instance-test";

// What listens at the socket's place.
enum class Listener { None, Corvane, WrongAnswer, Silent };

// A stand-in for a running program (or for whatever else sits at its socket): it may
// hold the lock, and may listen at the socket and answer in its own way.
class FakeInstance {
  public:
    FakeInstance(const std::string& folder, bool holdLock, Listener listener)
        : socketPath_(folder + "/" + kName + ".socket") {
        platform::preparePrivateFolder(folder);
        if (holdLock)
            lock_ = platform::InstanceLock::tryTake(folder + "/" + kName + ".lock");
        if (listener != Listener::None)
            listen(listener);
    }
    ~FakeInstance() {
        stop_ = true;
        if (fd_ >= 0)
            ::shutdown(fd_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        if (fd_ >= 0)
            ::close(fd_);
    }
    FakeInstance(const FakeInstance&) = delete;
    FakeInstance& operator=(const FakeInstance&) = delete;

    bool holdsLock() const { return lock_.held(); }
    void releaseLock() { lock_ = platform::InstanceLock(); }
    int questions() const { return questions_; }

    void listen(Listener listener) {
        ::unlink(socketPath_.c_str());
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath_.c_str(), sizeof address.sun_path - 1);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd_, 8) != 0) {
            ADD_FAILURE() << "cannot listen at " << socketPath_;
        }
        thread_ = std::thread([this, listener] { serve(listener); });
    }

  private:
    void serve(Listener listener) {
        std::vector<int> open;
        while (!stop_) {
            const int client = ::accept(fd_, nullptr, nullptr);
            if (client < 0)
                break;
            char buffer[32] = {};
            if (::recv(client, buffer, sizeof buffer - 1, 0) > 0)
                ++questions_;
            if (listener == Listener::Corvane)
                ::send(client, platform::kRaiseAnswer.data(), platform::kRaiseAnswer.size(),
                       MSG_NOSIGNAL);
            if (listener == Listener::WrongAnswer)
                ::send(client, "hello\n", 6, MSG_NOSIGNAL);
            open.push_back(client);  // a silent one keeps the caller waiting
        }
        for (const int client : open)
            ::close(client);
    }

    std::string socketPath_;
    platform::InstanceLock lock_;
    int fd_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> questions_{0};
};

TEST(InstanceClaimTest, TheLockDecidesAndOnlyTheRightAnswerEndsTheStart) {
    struct Case {
        const char* name;
        bool lockHeld;
        Listener listener;
        Outcome outcome;
    };
    const Case cases[] = {
        {"nobody runs", false, Listener::None, Outcome::First},
        // Left behind, or put there by someone: nobody holds the lock, so it is replaced.
        {"a socket at the place answers as Corvane does", false, Listener::Corvane, Outcome::First},
        {"a socket at the place answers otherwise", false, Listener::WrongAnswer, Outcome::First},
        {"a socket at the place is silent", false, Listener::Silent, Outcome::First},
        {"the program runs and answers", true, Listener::Corvane, Outcome::Raised},
        {"the lock holder answers otherwise", true, Listener::WrongAnswer, Outcome::Unanswered},
        {"the lock holder is silent", true, Listener::Silent, Outcome::Unanswered},
        {"the lock holder does not listen", true, Listener::None, Outcome::Unanswered},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::TempFolder temp;
        const std::string folder = temp.file("corvane");
        FakeInstance other(folder, c.lockHeld, c.listener);
        ASSERT_EQ(other.holdsLock(), c.lockHeld);

        const platform::InstanceClaim claim =
            platform::claimInstance(folder, kName, milliseconds(300));
        EXPECT_EQ(claim.outcome, c.outcome) << claim.problem;
        EXPECT_EQ(claim.lock.held(), c.outcome == Outcome::First);
        if (c.outcome == Outcome::First) {
            EXPECT_EQ(claim.socketPath, folder + "/" + kName + ".socket");
        }
        if (c.outcome == Outcome::Unanswered) {
            EXPECT_FALSE(claim.problem.empty());
        }
        // A start that takes the lock asks nobody anything.
        if (!c.lockHeld) {
            EXPECT_EQ(other.questions(), 0);
        }
    }
}

// The holder of the lock may still be starting: a later start keeps asking until it
// answers, or becomes the program when the lock comes free.
TEST(InstanceClaimTest, AStartWaitsForAProgramThatIsStillStartingOrEnding) {
    for (const bool holderEnds : {false, true}) {
        SCOPED_TRACE(holderEnds ? "the holder ends" : "the holder begins to answer");
        testing_support::TempFolder temp;
        const std::string folder = temp.file("corvane");
        FakeInstance other(folder, true, Listener::None);
        std::thread later([&] {
            std::this_thread::sleep_for(milliseconds(300));
            if (holderEnds) {
                other.releaseLock();
            } else {
                other.listen(Listener::Corvane);
            }
        });
        const platform::InstanceClaim claim =
            platform::claimInstance(folder, kName, milliseconds(20000));
        later.join();
        EXPECT_EQ(claim.outcome, holderEnds ? Outcome::First : Outcome::Raised);
    }
}

TEST(InstanceClaimTest, WithoutAUsablePrivateFolderTheProgramRunsAlone) {
    testing_support::TempFolder temp;
    const std::string open = temp.file("open");
    ::mkdir(open.c_str(), 0755);
    ::chmod(open.c_str(), 0755);
    const std::string deep = temp.file(std::string(120, 'd'));
    for (const std::string& folder : {open, deep}) {
        const platform::InstanceClaim claim =
            platform::claimInstance(folder, kName, milliseconds(0));
        EXPECT_EQ(claim.outcome, Outcome::Alone);
        EXPECT_FALSE(claim.lock.held());
        EXPECT_FALSE(claim.problem.empty());
    }
}

TEST(InstanceHandshakeTest, EachSettingsStoreHasAnInstanceOfItsOwn) {
    const std::string name = platform::instanceName("/a/Corvane.reg");
    EXPECT_EQ(name, platform::instanceName("/a/Corvane.reg"));
    EXPECT_NE(name, platform::instanceName("/b/Corvane.reg"));
    EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"), std::string::npos);
}

}  // namespace
