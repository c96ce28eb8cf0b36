// Zoom path files read from outside: whatever is read must lay its frames out, give every
// frame a view (or refuse it) and write a canonical text that reads back to the same path.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/frame_job.h"
#include "app/zoom_path.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const app::ZoomPathResult read = app::parseZoomPath(text);
    if (!read.value)
        return 0;
    const app::PathPlanResult plan = app::planPath(*read.value);
    if (!plan.value)
        return 0;
    const long count = plan.value->frames.count();
    if (count < 2)
        std::abort();  // a path has a first and a last frame
    for (const long k : {0L, count / 2, count - 1})
        (void)plan.value->frames.frame(k);
    const app::ZoomPathResult again = app::parseZoomPath(plan.value->canonicalText);
    if (!again.value)
        std::abort();  // the canonical text is a path file
    const app::PathPlanResult replanned = app::planPath(*again.value);
    if (!replanned.value || replanned.value->checksum != plan.value->checksum)
        std::abort();  // and the same path
    return 0;
}
