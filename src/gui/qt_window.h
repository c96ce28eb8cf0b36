#pragma once

#include <QEventLoop>
#include <QImage>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/headless_window.h"
#include "platform/window.h"

namespace gui {

// The picture area of the main window: shows the window's pixels as the worker draws
// them and carries the window's messages to the window procedure.
//
// Repainting: the worker only writes pixels and raises the dirty flag; a timer on the
// user-interface thread repaints at most about 60 times a second while the flag is
// set, so drawing never waits for the screen. The timer stops once an interval has
// passed without drawing and the next drawing starts it again: a finished picture
// costs no wake-ups.
//
// Messages: user input becomes a message sent at once; posted messages wait in a
// queue, and a timer's tick waits behind every other message. While the window
// procedure runs (a modal dialog, the pauses of an animated zoom) nothing else
// reaches it, so the procedure never runs inside itself: input that arrives meanwhile
// waits in the queue and ends the current pause, and an animation that sees it
// waiting (inputWaiting) cuts itself short, so the input is answered at once.
class QtWindow : public QWidget, public platform::Window {
    Q_OBJECT

  public:
    using Procedure = std::function<std::intptr_t(unsigned, std::uintptr_t, std::intptr_t)>;

    static constexpr int kRepaintIntervalMs = 16;
    static constexpr int kSlowestRepaintMs = 250;
    // The share of the time that repainting a growing picture may take.
    static constexpr double kPaintTimeShare = 0.03;
    static constexpr int kResizeSettleMs = 300;
    static constexpr int kMinimumSide = 32;

    explicit QtWindow(QWidget* parent = nullptr);
    ~QtWindow() override;

    void setProcedure(Procedure procedure) { procedure_ = std::move(procedure); }
    // The size the picture area asks for when the window is laid out.
    void setPreferredSize(QSize size) { preferredSize_ = size; }
    QSize sizeHint() const override { return preferredSize_; }

    // Delivers a message now; while the procedure is busy it is queued instead and
    // the result is 0.
    std::intptr_t send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    bool procedureBusy() const { return busy_ > 0; }

    // platform::Window
    void invalidate(const platform::Rect* rect, bool erase) override;
    void flush() override;
    void pause(unsigned ms) override;
    void setTitleText(const std::string& text) override;
    void restoreTitle() override;
    void setTitleNote(const std::string& note) override;
    void setTitleSubject(const std::string& subject) override;
    bool setTimer(unsigned id, unsigned periodMs) override;
    void killTimer(unsigned id) override;
    void postMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    bool inputWaiting() const override;

    // Whether the repaint timer runs (for tests and measurements).
    bool repaintScheduled() const { return repaintTimer_.isActive(); }
    // How many times the picture was drawn on the screen (for tests and measurements).
    int frameCount() const { return frameCount_; }
    // The time spent drawing them since the last reset.
    qint64 paintNanoseconds() const { return paintNanoseconds_; }
    void resetPaintCost() { paintNanoseconds_ = 0; }

  signals:
    // The picture area has kept a new size for a moment.
    void sizeSettled(QSize size);
    // Drawing resumed, the user gave input or moved the pointer: the status may change.
    void activity();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

    void dirtied() noexcept override;

  private:
    struct Queued {
        platform::Message message;
        bool fromUser = false;
    };

    std::intptr_t dispatch(const platform::Message& message);
    void enqueue(const platform::Message& message, bool fromUser);
    std::optional<platform::Message> takeNextMessage();
    void drainQueue();
    void scheduleDrain();
    void postTimer(unsigned id);
    void repaintIfDirty();
    void resumeRepainting();
    void adaptRepaintRate(qint64 paintNanoseconds);
    void settleSize();
    void copySurface(const QRect& area);
    std::intptr_t stylusParam(const QPoint& position) const;
    // While the procedure is busy, wheel turns add up in one waiting message.
    void sendWheel(int delta, std::intptr_t lParam);

    Procedure procedure_;
    std::string titleNote_;
    std::string titleSubject_;
    bool titleReplaced_ = false;
    QSize preferredSize_{480, 536};
    int busy_ = 0;
    // The event loop of the pause in progress, which the user's input ends.
    QEventLoop* pauseLoop_ = nullptr;

    mutable std::mutex queueMutex_;
    std::deque<Queued> queue_;
    int userMessagesWaiting_ = 0;
    bool drainScheduled_ = false;

    // The union of the invalidated rectangles, delivered with one WM_PAINT.
    QRect pendingUpdate_;
    bool paintQueued_ = false;

    QImage frame_;
    QTimer repaintTimer_;
    QTimer settleTimer_;
    std::map<unsigned, std::unique_ptr<QTimer>> timers_;
    int frameCount_ = 0;
    qint64 paintNanoseconds_ = 0;
    double averagePaintMs_ = 0;
};

}  // namespace gui
