// Locations as text (Copy and Paste Location) and the Locations menu's bookmarks.
#include "app/main_window.h"
#include "app/messages.h"
#include "catalogue/factory.h"
#include "catalogue/fractal_types.h"

namespace app {

namespace {

constexpr const char* kPasteCaption = "Paste Location";
constexpr const char* kBookmarkCaption = "Bookmarks";

// The narrowest view the program shows: its parameter string still fits the settings
// and picture files.
bool narrowerThanShown(const numeric::BigFloat& width) {
    return width.isFinite() && !width.isZero() &&
           compare(width, *numeric::BigFloat::parse("1e-30000", 64)) < 0;
}

}  // namespace

void MainWindow::useBookmarkFile(const std::string& path) {
    bookmarks_ = BookmarkStore(path);
    bookmarks_.load();
}

void MainWindow::copyLocation(engine::Fractal& fractal) {
    shell_.setClipboardText(locationOf(fractal));
}

void MainWindow::pasteLocation(engine::Fractal& fractal) {
    const std::string text = shell_.clipboardText();
    if (const std::string problem = goToLocation(fractal, text); !problem.empty())
        shell_.showMessage(kPasteCaption, problem);
}

std::string MainWindow::goToLocation(engine::Fractal& fractal, const std::string& text) {
    // Between an Open and the new object, the object shown belongs to the file.
    if (heldIsCurrent_)
        return "A picture is being opened; try again once it shows.";
    const LocationResult parsed = parseLocation(text);
    if (!parsed.value)
        return parsed.error;
    const Location& location = *parsed.value;
    if (narrowerThanShown(location.view.width))
        return "The width is below 1e-30000, the narrowest view the program shows.";
    const std::optional<view::DeepView> fitted = view::DeepView::fromCentreAndWidth(
        location.view.x, location.view.y, location.view.width, fractal.width, fractal.height);
    if (!fitted)
        return "The view does not fit the picture.";
    const std::optional<view::DeepView> target = viewOfLocation(location, *fitted);
    if (catalogue::isOrbitType(location.type) && target->isDeep())
        return "The orbit types show no view deeper than double precision resolves.";
    if (location.type == fractal.type)
        return goToSameType(fractal, location, *target);
    return goToOtherType(fractal, location, *target);
}

std::string MainWindow::goToSameType(engine::Fractal& fractal, const Location& location,
                                     const view::DeepView& target) {
    const std::string base = location.parameters.value_or(fractal.parameterString());
    const std::string parameters = parametersShowing(base, target, location.iterations);
    if (static_cast<int>(parameters.size()) >= engine::kMaxParameterUnits)
        return "The location's parameter string is longer than a type's can be.";
    // The type reads its parameters as it always does, from the settings: what a
    // location sets is exactly what a stored string sets.
    fractal.pushView();
    fractal.settings.writeString(fractal.typeName, parameters);
    fractal.loadParameters();
    return {};
}

std::string MainWindow::goToOtherType(engine::Fractal& fractal, const Location& location,
                                      const view::DeepView& target) {
    const std::string name = catalogue::fractalTypeName(location.type);
    std::optional<std::string> base = location.parameters;
    if (!base) {
        std::string stored;
        std::uint32_t length = engine::textCapacityBytes(engine::kMaxParameterUnits);
        if (settings_.readString(name, stored, length) &&
            parameterStringDamage(location.type, stored).empty())
            base = stored;
    }
    std::optional<std::string> parameters;
    if (base) {
        parameters = parametersShowing(*base, target, location.iterations);
        if (static_cast<int>(parameters->size()) >= engine::kMaxParameterUnits)
            return "The location's parameter string is longer than a type's can be.";
    }
    // The new type goes on from this view, with its history, as a resized picture does.
    view::ViewState carried{target.nearestShallowView(), fractal.history, nullptr};
    if (target.isDeep())
        carried.deep = std::make_shared<const view::DeepView>(target);
    carried.history.push(fractal.view(),
                         fractal.deepView() != nullptr
                             ? std::make_shared<const view::DeepView>(*fractal.deepView())
                             : nullptr);
    destroyFractals();
    if (parameters)
        settings_.writeString(name, *parameters);
    pendingIterations_ = parameters ? std::nullopt : location.iterations;
    resized_ = ResizedFractal{location.type, std::move(carried)};
    titledFile_.reset();
    window_.setTitleSubject(name);
    window_.postMessage(WM_NEWFRACTAL, static_cast<std::uint32_t>(location.type), 0);
    return {};
}

void MainWindow::applyPendingIterations(engine::Fractal& fractal) {
    const std::optional<int> iterations = std::exchange(pendingIterations_, std::nullopt);
    if (!iterations || !catalogue::isComplexType(fractal.type))
        return;
    fractal.settings.writeString(
        fractal.typeName,
        parametersShowing(fractal.parameterString(), fractal.preciseView(), iterations));
    fractal.loadParameters();
}

void MainWindow::addBookmark(engine::Fractal& fractal) {
    const std::string location = locationOf(fractal);
    std::string name = fractal.typeName;
    for (;;) {
        const std::optional<std::string> typed =
            shell_.askText("Add Bookmark", "Name of the bookmark:", name);
        if (!typed)
            return;
        const std::string problem = bookmarks_.add(*typed, location);
        if (problem.empty())
            return;
        shell_.showMessage(kBookmarkCaption, problem);
        // A name refused may be typed again; a file that will not be written may not.
        if (!BookmarkStore::nameProblem(*typed).empty() || !bookmarks_.writeProblem().empty())
            return;
        name = *typed;
    }
}

std::optional<std::size_t> MainWindow::chooseBookmark(const std::string& caption) {
    bookmarks_.load();
    std::vector<std::string> names;
    for (const Bookmark& bookmark : bookmarks_.bookmarks())
        names.push_back(bookmark.name);
    if (names.empty()) {
        shell_.showMessage(kBookmarkCaption, "There are no bookmarks.");
        return std::nullopt;
    }
    const std::optional<std::size_t> chosen = shell_.chooseItem(caption, "Bookmark:", names);
    if (!chosen || *chosen >= names.size())
        return std::nullopt;
    return chosen;
}

void MainWindow::renameBookmark() {
    const std::optional<std::size_t> index = chooseBookmark("Rename Bookmark");
    if (!index)
        return;
    const std::optional<std::string> typed = shell_.askText(
        "Rename Bookmark", "New name of the bookmark:", bookmarks_.bookmarks()[*index].name);
    if (!typed)
        return;
    if (const std::string problem = bookmarks_.rename(*index, *typed); !problem.empty())
        shell_.showMessage(kBookmarkCaption, problem);
}

void MainWindow::deleteBookmark() {
    const std::optional<std::size_t> index = chooseBookmark("Delete Bookmark");
    if (!index)
        return;
    const std::string name = bookmarks_.bookmarks()[*index].name;
    if (!shell_.askYesNo("Delete Bookmark", "Delete the bookmark \"" + name + "\"?"))
        return;
    if (const std::string problem = bookmarks_.remove(*index); !problem.empty())
        shell_.showMessage(kBookmarkCaption, problem);
}

bool MainWindow::runBookmarkCommand(unsigned id, engine::Fractal& fractal) {
    if (id < IDM_BOOKMARK_FIRST || id > IDM_BOOKMARK_LAST)
        return false;
    const std::size_t index = id - IDM_BOOKMARK_FIRST;
    if (index >= bookmarks_.bookmarks().size())
        return true;
    const Bookmark bookmark = bookmarks_.bookmarks()[index];
    if (const std::string problem = goToLocation(fractal, bookmark.location); !problem.empty())
        shell_.showMessage(kBookmarkCaption, "The bookmark \"" + bookmark.name + "\": " + problem);
    return true;
}

}  // namespace app
