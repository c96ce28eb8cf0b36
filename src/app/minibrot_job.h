#pragma once

#include <atomic>

#include "app/job_thread.h"
#include "complex/minibrot_finder.h"
#include "platform/window.h"
#include "view/deep_view.h"

namespace app {

// Searches for the minibrot nearest a view on a thread of its own, so that the window
// stays usable while the search runs in arbitrary precision. When it ends it posts
// message to window (the window procedure then takes the result). Destroying a job
// that still runs cancels it and waits for it, which takes a step of the search.
class MinibrotJob {
  public:
    MinibrotJob(const complex::EscapeFormula& formula, const view::DeepView& searched,
                platform::Window& window, unsigned message);
    ~MinibrotJob();
    MinibrotJob(const MinibrotJob&) = delete;
    MinibrotJob& operator=(const MinibrotJob&) = delete;

    void cancel() { cancel_.store(true, std::memory_order_relaxed); }
    bool finished() const { return thread_.finished(); }
    // The view searched around, to tell whether the result still belongs to the view.
    const view::DeepView& searched() const { return searched_; }
    // Waits for the thread; the search as it ended.
    complex::MinibrotSearch takeResult();

  private:
    complex::EscapeFormula formula_;
    view::DeepView searched_;
    std::atomic<bool> cancel_{false};
    complex::MinibrotSearch result_;
    JobThread thread_;  // last: it starts once everything it reads exists
};

}  // namespace app
