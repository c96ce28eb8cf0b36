#include "app/keyframe_job.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "app/supersampling.h"
#include "platform/file_writer.h"
#include "platform/png_writer.h"

namespace app {

namespace {

// Keeps the rows of a keyframe in memory.
class ImageSink : public ExportSink {
  public:
    explicit ImageSink(RgbImage& image) : image_(image) {}

    bool begin(int width, int height, engine::FractalType, const std::string&) override {
        image_.width = width;
        image_.height = height;
        image_.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
        return true;
    }

    bool takeRow(int row, const platform::Color* pixels, int width) override {
        if (row < 0 || row >= image_.height || width != image_.width)
            return false;
        std::copy_n(pixels, width,
                    image_.pixels.begin() + static_cast<std::ptrdiff_t>(row) * image_.width);
        return true;
    }

    std::string error() const override { return {}; }

  private:
    RgbImage& image_;
};

// Where frame's view lies in keyframe's, in units of the keyframe's plane width.
KeyframeWindow windowInKeyframe(const view::DeepView& frame, const view::DeepView& keyframe,
                                int keyframeWidth, int keyframeHeight) {
    const long bits = std::max(frame.precision(), keyframe.precision()) + 16;
    const numeric::BigFloat planeWidth =
        keyframe.spacingX() * static_cast<double>(keyframe.width());
    numeric::BigFloat dx(bits, 0.0);
    dx += frame.centreX();
    dx -= keyframe.centreX();
    numeric::BigFloat dy(bits, 0.0);
    dy += frame.centreY();
    dy -= keyframe.centreY();
    const numeric::BigFloat frameWidth = frame.spacingX() * static_cast<double>(frame.width());
    const double ratio = (frameWidth / planeWidth).toDouble();
    return keyframeWindow((dx / planeWidth).toDouble(), (dy / planeWidth).toDouble(), ratio,
                          keyframeWidth, keyframeHeight);
}

bool writeImage(const RgbImage& image, const std::vector<platform::PngText>& texts, std::FILE* file,
                std::string& error) {
    platform::PngWriter writer(file, static_cast<std::uint32_t>(image.width),
                               static_cast<std::uint32_t>(image.height), texts);
    for (int row = 0; row < image.height; ++row) {
        if (!writer.writeColors(image.pixels.data() +
                                static_cast<std::ptrdiff_t>(row) * image.width))
            break;
    }
    const bool ok = writer.finish();
    error = writer.error();
    return ok;
}

}  // namespace

long keyframeOf(const PathPlan& plan, long frame) {
    const long every = std::max(1, plan.path.keyframeEvery);
    return frame - frame % every;
}

std::optional<ExportRequest> keyframeRequest(const PathPlan& plan, long keyframe,
                                             const FrameSettings& settings) {
    std::optional<ExportRequest> request = frameRequest(plan, keyframe, settings);
    if (!request || !request->view)
        return std::nullopt;
    const std::optional<view::DeepView> samples = sampleView(*request->view, 2);
    if (!samples)
        return std::nullopt;
    request->view = *samples;
    request->width = samples->width();
    request->height = samples->height();
    request->extraTexts.clear();
    return request;
}

ExportResult renderKeyframe(const PathPlan& plan, long keyframe, const FrameSettings& settings,
                            KeyframePicture& picture) {
    picture.frame = -1;
    const std::optional<ExportRequest> request = keyframeRequest(plan, keyframe, settings);
    if (!request)
        return ExportResult::failure("no keyframe of twice the picture's size can be made there");
    ExportControl control;
    ImageSink sink(picture.image);
    ExportResult result = renderExport(*request, control, sink);
    if (result.written())
        picture.frame = keyframe;
    return result;
}

ExportResult writeFrameFromKeyframe(const PathPlan& plan, long frame,
                                    const KeyframePicture& keyframe, const FrameSettings& settings,
                                    const std::string& name) {
    const std::optional<ExportRequest> own = frameRequest(plan, frame, settings);
    const std::optional<ExportRequest> key = keyframeRequest(plan, keyframe.frame, settings);
    if (!own || !key)
        return ExportResult::failure("no view of the picture's size can be made there");
    const KeyframeWindow window =
        windowInKeyframe(*own->view, *key->view, keyframe.image.width, keyframe.image.height);
    const std::optional<RgbImage> image =
        window.inside ? scaleFromKeyframe(keyframe.image, window.centreX, window.centreY,
                                          window.spanX, window.spanY, own->width, own->height)
                      : std::nullopt;
    if (!image)
        return ExportResult::failure(kFrameBeyondKeyframe);
    const std::vector<platform::PngText> texts =
        pictureTexts(own->type, pictureParametersOf(*own), own->supersample, own->extraTexts);
    std::string error;
    const platform::FileWriteResult written = platform::writeFile(
        name, platform::FileWriteOptions{platform::StreamTargets::Refuse, false},
        [&](std::FILE* file) { return writeImage(*image, texts, file, error); });
    if (!written)
        return ExportResult::failure(error.empty() ? written.reason : error);
    ExportResult result;
    result.outcome = ExportResult::Outcome::Written;
    return result;
}

}  // namespace app
