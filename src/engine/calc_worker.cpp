// The run control of a fractal object: one worker thread per run, and the
// hand-over rules between the user-interface thread and the worker.
#include <algorithm>
#include <chrono>
#include <system_error>

#include "engine/fractal.h"
#include "platform/clock.h"
#include "platform/thread_priority.h"

namespace engine {

namespace {

constexpr auto kStopPoll = std::chrono::milliseconds(10);
constexpr unsigned kAlarmGapMs = 1000;

}  // namespace

void Fractal::startCalculation() {
    if (takingOver_ || runState.running.load())
        return;
    joinFinishedWorker();

    prepareRun();
    clearPicture();
    window.setTitleNote(titleNote());

    runThreads_ = calculationThreads();
    runState.paused = false;
    runState.iterationCount = 0;
    runState.pointCount = 0;
    runState.referenceBytes = 0;
    runState.running = true;
    runState.finished = false;
    runState.completed = false;
    {
        std::lock_guard lock(timesMutex_);
        startTick_ = platform::tickCount();
        endTick_ = 0;
        startTime_ = endTime_ = platform::localTime();
    }

    workerExists_ = true;
    try {
        workerThread_ = std::thread(&Fractal::workerMain, this);
    } catch (const std::system_error&) {
        workerExists_ = false;
        runState.running = false;
        runState.finished = true;
        return;
    }
    raiseWorkerPriority();
}

void Fractal::stopCalculation() {
    stopSlideshow();
    // While an object is being created its parameters are not yet its own: saving
    // them would overwrite the stored ones with construction values until the next
    // stop, and lose them if the program ended meanwhile.
    // The parameters and the options reach the store in one write.
    settings.beginBatch();
    if (!takingOver_)
        saveParameters();
    writeOptions();
    settings.commitBatch();
    if (runState.running.load()) {
        resumeCalculation();
        runState.running = false;
    }
    waitForFinished();
    joinFinishedWorker();
}

void Fractal::haltWorker() {
    if (runState.running.load()) {
        resumeCalculation();
        runState.running = false;
    }
    waitForFinished();
    joinFinishedWorker();
}

void Fractal::pauseCalculation() {
    if (runState.paused.load() || !workerExists_.load())
        return;
    std::lock_guard lock(pauseMutex_);
    runState.paused = true;
}

void Fractal::resumeCalculation() {
    if (!runState.paused.load() || !workerExists_.load())
        return;
    {
        std::lock_guard lock(pauseMutex_);
        runState.paused = false;
    }
    pauseChanged_.notify_all();
}

void Fractal::waitWhilePaused() noexcept {
    std::unique_lock lock(pauseMutex_);
    pauseChanged_.wait(lock,
                       [this] { return !runState.paused.load() || !runState.running.load(); });
}

void Fractal::raiseWorkerPriority() {
    wantedWorkerNice_ = platform::kWorkerNiceNormal;
    applyWorkerPriority();
}

void Fractal::lowerWorkerPriority() {
    wantedWorkerNice_ = platform::kWorkerNiceBelowNormal;
    applyWorkerPriority();
}

void Fractal::applyWorkerPriority() {
    if (const int thread = workerThreadId_.load(); thread != 0)
        platform::setThreadNice(thread, wantedWorkerNice_.load());
    std::lock_guard lock(teamMutex_);
    for (const int helper : teamThreadIds_)
        platform::setThreadNice(helper, wantedWorkerNice_.load());
}

void Fractal::setThreadLimit(std::optional<int> limit) {
    if (limit)
        limit = std::clamp(*limit, 1, kMostThreads);
    threadLimit_ = limit;
}

int Fractal::calculationThreads() const {
    if (threadLimit_)
        return *threadLimit_;
    if (!options_.allCores.load())
        return 1;
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(std::min(cores, unsigned{kMostThreads})), 1, kMostThreads);
}

void Fractal::runOnTeam(const std::function<void()>& work) {
    runOnThreads(runThreads_, work);
}

void Fractal::computeOnTeam(const std::function<void()>& work) {
    runOnThreads(calculationThreads(), work);
}

void Fractal::runOnThreads(int threads, const std::function<void()>& work) {
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back([this, &work] {
                const int id = platform::currentThreadId();
                {
                    // Registered and set under the lock, so that a priority change
                    // meanwhile reaches this thread either way.
                    std::lock_guard lock(teamMutex_);
                    teamThreadIds_.push_back(id);
                    platform::setThreadNice(id, wantedWorkerNice_.load());
                }
                work();
                std::lock_guard lock(teamMutex_);
                std::erase(teamThreadIds_, id);
            });
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
}

void Fractal::workerMain(Fractal* fractal) {
    fractal->workerThreadId_ = platform::currentThreadId();
    // A change asked for before the thread id was known, or while it is applied
    // here, is applied as well: the last wish wins.
    int applied = 0;
    do {
        applied = fractal->wantedWorkerNice_.load();
        platform::setThreadNice(fractal->workerThreadId_.load(), applied);
    } while (fractal->wantedWorkerNice_.load() != applied);
    fractal->calculate();
    // runState.running still set means the picture was runState.completed rather than stopped.
    fractal->runState.completed = fractal->runState.running.load();
    if (fractal->runState.completed.load() && fractal->options_.alarm.load()) {
        fractal->sound.exclamation();
        platform::sleepMs(kAlarmGapMs);
        fractal->sound.exclamation();
    }
    fractal->finishCalculation();
}

void Fractal::finishCalculation() {
    workerExists_ = false;
    workerThreadId_ = 0;
    runState.running = false;
    {
        std::lock_guard lock(timesMutex_);
        // 0 means "still runState.running" to the statistics; a tick count of exactly 0 is moved
        // on.
        const std::uint32_t now = platform::tickCount();
        endTick_ = now == 0 ? 1 : now;
        endTime_ = platform::localTime();
    }
    {
        std::lock_guard lock(finishMutex_);
        runState.finished.store(true, std::memory_order_release);  // the last write to the object
    }
    finishChanged_.notify_all();
}

void Fractal::waitForFinished() {
    if (!workerThread_.joinable())
        return;
    std::unique_lock lock(finishMutex_);
    while (!runState.finished.load(std::memory_order_acquire))
        finishChanged_.wait_for(lock, kStopPoll);
}

void Fractal::joinFinishedWorker() {
    // The thread has written `runState.finished` as its last act; joining only waits for it to
    // exit.
    if (workerThread_.joinable()) {
        waitForFinished();
        workerThread_.join();
    }
}

RunStatistics Fractal::statistics() const {
    RunStatistics s;
    s.running = runState.running.load();
    s.pointCount = runState.pointCount.load(std::memory_order_relaxed);
    s.iterationCount = runState.iterationCount.load(std::memory_order_relaxed);
    s.referenceBytes = runState.referenceBytes.load(std::memory_order_relaxed);
    std::lock_guard lock(timesMutex_);
    s.startTick = startTick_;
    s.endTick = endTick_;
    s.startTime = startTime_;
    s.endTime = endTime_;
    return s;
}

}  // namespace engine
