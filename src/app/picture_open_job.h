#pragma once

#include <atomic>
#include <string>

#include "app/job_thread.h"
#include "persist/picture_file.h"
#include "platform/png_reader.h"
#include "platform/window.h"

namespace app {

// Reads a picture file on a thread of its own at the size the window shows it, so that
// the window stays usable and keeps its picture while a large PNG file is decoded. When
// it ends it posts message to window (the window procedure then takes the result).
// Destroying a job that still runs cancels it and waits for it.
class PictureOpenJob {
  public:
    PictureOpenJob(std::string path, int width, int height, platform::Window& window,
                   unsigned message);
    ~PictureOpenJob();
    PictureOpenJob(const PictureOpenJob&) = delete;
    PictureOpenJob& operator=(const PictureOpenJob&) = delete;

    void cancel() { control_.cancel.store(true, std::memory_order_relaxed); }
    bool cancelling() const { return control_.cancel.load(std::memory_order_relaxed); }
    int permille() const { return control_.permille.load(std::memory_order_relaxed); }
    bool finished() const { return thread_.finished(); }
    const std::string& path() const { return path_; }
    // Waits for the thread; the file as it was read (taken by the caller).
    persist::PictureFile takeResult();

  private:
    std::string path_;
    platform::ReadControl control_;
    persist::PictureFile result_;
    JobThread thread_;  // last: it starts once everything it reads exists
};

}  // namespace app
