#include "app/minibrot_job.h"

#include <new>
#include <utility>

namespace app {

MinibrotJob::MinibrotJob(const complex::EscapeFormula& formula, const view::DeepView& searched,
                         platform::Window& window, unsigned message)
    : formula_(formula), searched_(searched), thread_(window, message, [this] {
          try {
              result_ = complex::findNearestMinibrot(
                  formula_, complex::regionOf(searched_),
                  [this] { return cancel_.load(std::memory_order_relaxed); });
          } catch (const std::bad_alloc&) {
              result_ = complex::MinibrotSearch();
              result_.reason = "There is not enough memory to search for a minibrot.";
          }
      }) {}

MinibrotJob::~MinibrotJob() {
    cancel();
    thread_.join();
}

complex::MinibrotSearch MinibrotJob::takeResult() {
    thread_.join();
    return std::move(result_);
}

}  // namespace app
