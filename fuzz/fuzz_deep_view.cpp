// Deep views read from outside: the field a parameter string carries after its classic
// fields, and the centre and width a user or the command line gives. Whatever is read
// must zoom, write its field and read it back to the same view.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "view/deep_view.h"

namespace {

void exercise(const view::DeepView& view) {
    const view::DeepView zoomed = view.zoomedAtPixel(view.width() / 2, 1, 3.0);
    const view::DeepView panned =
        zoomed.pannedByPixels(-5, 2).scaledAboutCentre(0.6).centredOnPixel(0, 0).pannedByShare(
            0.125, -0.125);
    for (const view::DeepView* v : {&view, &zoomed, &panned}) {
        const std::string field = view::deepViewField(*v);
        if (field.empty()) {
            if (!v->shallowView())
                std::abort();  // a deep view must be written
            continue;
        }
        // A view moved beyond the readers' limits (a centre or an extent above 1e100) is
        // written but read back as damaged, as the View dialog would refuse it.
        if (view::centreProblem(v->centreX(), v->centreY()) != nullptr ||
            view::widthProblem(v->spanX()) != nullptr || view::widthProblem(v->spanY()) != nullptr)
            continue;
        const auto back =
            view::readDeepViewField("0,0,1,1,100,0,0,1,0,100" + field, v->width(), v->height());
        if (!back || !view::DeepView::same(*back, *v))
            std::abort();  // what is written reads back exactly
        (void)view::centreXText(*v);
        (void)view::widthText(*v);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const int width = 1 + data[0] % 97;
    const int height = 1 + data[1] % 61;
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    if (const auto view = view::readDeepViewField(text, width, height))
        exercise(*view);
    // "RE,IM\nW": the command line's --center and --width.
    const std::size_t newline = text.find('\n');
    if (newline != std::string_view::npos) {
        const view::ViewTextResult parsed =
            view::parseCentreAndWidth(text.substr(0, newline), text.substr(newline + 1));
        if (parsed.value.has_value() == !parsed.error.empty())
            std::abort();  // a value or a message, never both or neither
        if (parsed.value) {
            if (const auto view = view::DeepView::fromCentreAndWidth(
                    parsed.value->x, parsed.value->y, parsed.value->width, width, height)) {
                exercise(*view);
            }
        }
    }
    return 0;
}
