// An export written as a PNG file: rows encoded as they are computed.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/picture_export.h"
#include "app/supersampling.h"
#include "persist/picture_file.h"
#include "platform/file_writer.h"
#include "platform/png_writer.h"

namespace app {

std::vector<platform::PngText> pictureTexts(engine::FractalType type, const std::string& parameters,
                                            int supersample,
                                            const std::vector<platform::PngText>& extraTexts) {
    std::vector<platform::PngText> texts = {{persist::kPngTypeKeyword, std::to_string(type)},
                                            {persist::kPngParametersKeyword, parameters}};
    if (supersample > 1)
        texts.push_back({persist::kPngSupersampleKeyword, std::to_string(supersample)});
    texts.insert(texts.end(), extraTexts.begin(), extraTexts.end());
    return texts;
}

namespace {

class PngSink : public ExportSink {
  public:
    PngSink(std::FILE* file, int supersample, const std::vector<platform::PngText>& extraTexts)
        : file_(file), supersample_(supersample), extraTexts_(extraTexts) {}

    bool begin(int width, int height, engine::FractalType type,
               const std::string& parameters) override {
        const std::vector<platform::PngText> texts =
            pictureTexts(type, parameters, supersample_, extraTexts_);
        writer_ = std::make_unique<platform::PngWriter>(file_, static_cast<std::uint32_t>(width),
                                                        static_cast<std::uint32_t>(height), texts);
        return writer_->error().empty();
    }

    bool takeRow(int, const platform::Color* pixels, int) override {
        return writer_->writeColors(pixels);
    }

    bool finish() { return writer_ && writer_->finish(); }

    std::string error() const override { return writer_ ? writer_->error() : std::string(); }

  private:
    std::FILE* file_;
    int supersample_;
    const std::vector<platform::PngText>& extraTexts_;
    std::unique_ptr<platform::PngWriter> writer_;
};

}  // namespace

ExportResult exportPicture(const ExportRequest& request, const std::string& path,
                           platform::StreamTargets streams, ExportControl& control) {
    std::optional<std::string> problem =
        exportSizeProblem(request.type, request.width, request.height);
    if (!problem)
        problem =
            supersampleProblem(request.type, request.width, request.height, request.supersample);
    if (!problem)
        problem = windowProblem(request);
    if (problem) {
        ExportResult refused;
        refused.reason = std::move(*problem);
        return refused;
    }
    ExportResult result;
    bool rendered = false;
    const auto write = [&](std::FILE* file) {
        PngSink sink(file, request.supersample, request.extraTexts);
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
