// An export written as a PNG file: rows encoded as they are computed.
#include <memory>
#include <string>
#include <vector>

#include "app/picture_export.h"
#include "platform/file_writer.h"
#include "platform/png_writer.h"

namespace app {

namespace {

// The text chunks that carry what a picture file's trailer carries.
constexpr const char* kTypeKeyword = "Corvane-Type";
constexpr const char* kParametersKeyword = "Corvane-Parameters";

class PngSink : public ExportSink {
  public:
    explicit PngSink(std::FILE* file) : file_(file) {}

    bool begin(int width, int height, engine::FractalType type,
               const std::string& parameters) override {
        const std::vector<platform::PngText> texts = {{kTypeKeyword, std::to_string(type)},
                                                      {kParametersKeyword, parameters}};
        writer_ = std::make_unique<platform::PngWriter>(file_, static_cast<std::uint32_t>(width),
                                                        static_cast<std::uint32_t>(height), texts);
        rgb_.resize(static_cast<std::size_t>(width) * 3);
        return writer_->error().empty();
    }

    bool takeRow(int, const platform::Color* pixels, int width) override {
        for (int x = 0; x < width; ++x) {
            const platform::Color c = pixels[x];
            const auto i = static_cast<std::size_t>(x) * 3;
            rgb_[i] = static_cast<std::uint8_t>(platform::redOf(c));
            rgb_[i + 1] = static_cast<std::uint8_t>(platform::greenOf(c));
            rgb_[i + 2] = static_cast<std::uint8_t>(platform::blueOf(c));
        }
        return writer_->writeRow(rgb_.data());
    }

    bool finish() { return writer_ && writer_->finish(); }

    std::string error() const override { return writer_ ? writer_->error() : std::string(); }

  private:
    std::FILE* file_;
    std::unique_ptr<platform::PngWriter> writer_;
    std::vector<std::uint8_t> rgb_;
};

}  // namespace

ExportResult exportPicture(const ExportRequest& request, const std::string& path,
                           platform::StreamTargets streams, ExportControl& control) {
    if (const auto problem = exportSizeProblem(request.type, request.width, request.height)) {
        ExportResult refused;
        refused.reason = *problem;
        return refused;
    }
    ExportResult result;
    bool rendered = false;
    const auto write = [&](std::FILE* file) {
        PngSink sink(file);
        result = renderExport(request, control, sink);
        // A cancelled or failed picture returns false here: the temporary file goes.
        rendered = result.written() && sink.finish();
        if (result.written() && !rendered) {
            result.outcome = ExportResult::Outcome::Failed;
            result.reason = sink.error();
        }
        return rendered;
    };
    const platform::FileWriteResult written =
        platform::writeFile(path, platform::FileWriteOptions{streams, false}, write);
    if (written)
        return result;
    if (result.outcome == ExportResult::Outcome::Cancelled)
        return result;
    result.outcome = ExportResult::Outcome::Failed;
    // The picture's own reason when it gave one; the file's otherwise (a full disk
    // noticed at the final flush, a folder that cannot be written).
    if (result.reason.empty())
        result.reason = written.reason;
    return result;
}

}  // namespace app
