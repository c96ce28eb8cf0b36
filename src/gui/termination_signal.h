#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace gui {

// Turns SIGTERM, SIGHUP and SIGINT (a logout, a closed terminal, Ctrl+C) into a Qt
// signal on the event loop, so the program can end as an orderly Exit does: the
// handler itself only writes a byte to a socket pair, which is all a signal handler
// may safely do. One instance at a time.
class TerminationSignal : public QObject {
    Q_OBJECT

  public:
    explicit TerminationSignal(QObject* parent = nullptr);
    ~TerminationSignal() override;
    TerminationSignal(const TerminationSignal&) = delete;
    TerminationSignal& operator=(const TerminationSignal&) = delete;

    // Whether the handlers are in place (they are not when the socket pair failed).
    bool installed() const { return notifier_ != nullptr; }

  signals:
    void received(int signalNumber);

  private:
    void readPending();

    int sockets_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace gui
