#include "app/picture_open_job.h"

#include <new>
#include <utility>

#include "engine/settings_key.h"

namespace app {

PictureOpenJob::PictureOpenJob(std::string path, int width, int height, platform::Window& window,
                               unsigned message)
    : path_(std::move(path)), thread_(window, message, [this, width, height] {
          try {
              result_ = persist::readPictureFileToFit(path_, engine::kMaxParameterUnits, width,
                                                      height, &control_);
          } catch (const std::bad_alloc&) {
              result_ = persist::PictureFile();
              result_.image.error = "not enough memory to read it";
          }
      }) {}

PictureOpenJob::~PictureOpenJob() {
    cancel();
    thread_.join();
}

persist::PictureFile PictureOpenJob::takeResult() {
    thread_.join();
    return std::move(result_);
}

}  // namespace app
