// An escape-time picture completed for Save: computed whole at the window's size, then
// written as a picture file with the type and parameters its pixels now show.
#include <string>

#include "app/picture_export.h"
#include "persist/picture_file.h"
#include "platform/bitmap.h"
#include "platform/file_writer.h"

namespace app {

namespace {

// Keeps the rows in memory: a bitmap file stores them bottom-up, so nothing is
// written before the last row is there.
class PictureSink : public ExportSink {
  public:
    bool begin(int width, int height, engine::FractalType type,
               const std::string& parameters) override {
        picture_.resize(width, height);
        type_ = type;
        parameters_ = parameters;
        return picture_.width() == width && picture_.height() == height;
    }

    bool takeRow(int row, const platform::Color* pixels, int width) override {
        for (int x = 0; x < width; ++x)
            picture_.setPixel(x, row, pixels[x]);
        return true;
    }

    std::string error() const override { return {}; }

    bool write(std::FILE* file, persist::PictureFormat format) const {
        return persist::writePicture(file, format, picture_, picture_.width(), picture_.height(),
                                     type_, parameters_);
    }

  private:
    platform::Bitmap picture_;
    engine::FractalType type_ = 0;
    std::string parameters_;
};

}  // namespace

ExportResult completePictureFile(const ExportRequest& request, const std::string& path,
                                 platform::StreamTargets streams, ExportControl& control) {
    PictureSink sink;
    ExportResult result = renderExport(request, control, sink);
    if (!result.written())
        return result;
    const persist::PictureFormat format = persist::pictureFormatFor(path);
    const platform::FileWriteResult written =
        platform::writeFile(path, platform::FileWriteOptions{streams, false},
                            [&sink, format](std::FILE* file) { return sink.write(file, format); });
    if (!written) {
        result.outcome = ExportResult::Outcome::Failed;
        result.reason = written.reason;
    }
    return result;
}

}  // namespace app
