#include "gui/termination_signal.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

namespace gui {

namespace {

constexpr std::array kSignals{SIGTERM, SIGHUP, SIGINT};

// The write end for the handler; -1 while no instance exists.
volatile std::sig_atomic_t writeEnd = -1;

extern "C" void forwardSignal(int signalNumber) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    if (writeEnd >= 0) [[maybe_unused]]
        const auto written = ::write(writeEnd, &byte, 1);
    errno = savedErrno;
}

}  // namespace

TerminationSignal::TerminationSignal(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, sockets_) != 0) {
        sockets_[0] = sockets_[1] = -1;
        return;
    }
    writeEnd = sockets_[1];
    notifier_ = std::make_unique<QSocketNotifier>(sockets_[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignal::readPending);
    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : kSignals)
        ::sigaction(signalNumber, &action, nullptr);
}

TerminationSignal::~TerminationSignal() {
    for (const int signalNumber : kSignals)
        std::signal(signalNumber, SIG_DFL);
    writeEnd = -1;
    notifier_.reset();
    for (const int fd : sockets_) {
        if (fd >= 0)
            ::close(fd);
    }
}

void TerminationSignal::readPending() {
    unsigned char byte = 0;
    while (::read(sockets_[0], &byte, 1) == 1)
        emit received(byte);
}

}  // namespace gui
