// The command table of the main window: menus, toolbar buttons and accelerators.
#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/display_power.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/picture_check.h"
#include "app/view_dialog.h"
#include "catalogue/fractal_types.h"
#include "complex/complex_fractal.h"
#include "complex/minibrot_finder.h"
#include "engine/color_table.h"
#include "platform/c_format.h"
#include "platform/string_table.h"

namespace app {

namespace {

constexpr int kFileNameCapacity = 260;
static_assert(IDM_PALETTE_LAST - IDM_PALETTE_FIRST + 1 == kMaxShippedPalettes,
              "one Palette menu command per palette listed");
constexpr double kZoomOutFactor = 0.6;

std::string text(int id) {
    return std::string(platform::loadString(id));
}

// "Bitmaps (*.bmp)" with "*.bmp", then "All files (*.*)" with "*.*".
std::vector<FileFilter> filtersFor(int nameId, const char* extension) {
    return {
        FileFilter{platform::cformat("%s (*.%s)", text(nameId).c_str(), extension),
                   platform::cformat("*.%s", extension)},
        FileFilter{platform::cformat("%s (*.*)", text(platform::kStringAllFiles).c_str()), "*.*"}};
}

// "Only fractals of type %s...?" with the file's name cut before its first digit.
std::string slideshowQuestion(const std::string& fileTitle) {
    const std::string typePart = fileTitle.substr(0, fileTitle.find_first_of("0123456789"));
    std::string question = text(platform::kStringSlideshowQuestion);
    const std::size_t slot = question.find("%s");
    if (slot != std::string::npos)
        question.replace(slot, 2, typePart);
    return question;
}

// The picture folder may not exist yet on a first save (or may have been removed).
void ensureFolderExists(const std::string& folder) {
    if (folder.empty())
        return;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
}

}  // namespace

// Save offers each format by itself, the bitmap first (the name's extension decides
// what is written); Open and the slideshow show both formats at once.
FileDialogRequest MainWindow::pictureFileDialog(FileDialogRequest::Kind kind) const {
    FileDialogRequest request;
    request.kind = kind;
    request.filters = filtersFor(platform::kStringBitmaps, "bmp");
    const FileFilter png{
        platform::cformat("%s (*.png)", text(platform::kStringPngPictures).c_str()), "*.png"};
    request.filters.insert(request.filters.begin() + 1, png);
    if (kind == FileDialogRequest::Kind::Open) {
        request.filters.insert(
            request.filters.begin(),
            FileFilter{
                platform::cformat("%s (*.bmp *.png)", text(platform::kStringPictures).c_str()),
                "*.bmp *.png"});
    }
    request.defaultExtension = "bmp";
    return request;
}

FileDialogRequest MainWindow::paletteFileDialog() const {
    FileDialogRequest request;
    request.filters = filtersFor(platform::kStringColorPalettes, "pal");
    request.defaultExtension = "pal";
    return request;
}

std::intptr_t MainWindow::onCommand(std::uintptr_t wParam, std::intptr_t) {
    const unsigned id = lowWord(wParam);
    engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr)
        return 0;
    fractal->stopSlideshow();
    // Every command ends colour cycling; the command of cycling itself starts it anew
    // only when it was off.
    const bool wasCycling = cyclingColors_;
    stopColorCycling();
    if (id == IDM_COLOR_CYCLE && wasCycling)
        return 0;
    // Every command ends a search for a minibrot; Find Nearest Minibrot starts anew.
    endMinibrotSearch();
    if (selecting_) {
        cancelSelectMode();
        if (id == IDM_SELECT_ZOOM)
            return 0;  // a second tap only switches the mode off
    }
    runCommand(id, *fractal);
    reportStoreProblems();
    return 0;
}

void MainWindow::runCommand(unsigned id, engine::Fractal& fractal) {
    switch (id) {
        case IDM_EXIT:
            exitProgram();
            break;
        case IDM_ABOUT:
            runModalDialog(DialogId::About, fractal);
            break;
        case IDM_TYPE:
            chooseType(fractal);
            break;
        case IDM_PARAMETERS:
            showParametersDialog(fractal);
            break;
        case IDM_OPEN:
            openPicture(fractal);
            break;
        case IDM_SAVE:
            savePicture(fractal);
            break;
        case IDM_EXPORT:
            exportPicture(fractal);
            break;
        case IDM_SLIDESHOW:
            startSlideshow(fractal);
            break;
        case IDM_VIEW:
            if (shell_.runDialog(DialogId::View, fractal) == ViewDialog::kTooDeep)
                showTooDeepMessage();
            break;
        case IDM_SELECT_ZOOM:
            enterSelectMode();
            break;
        case IDM_ZOOM_OUT:
            fractal.zoomByFactor(kZoomOutFactor);
            break;
        case IDM_OPTIONS:
            runModalDialog(DialogId::Options, fractal);
            break;
        case IDM_STATISTICS:
            runModalDialog(DialogId::Statistics, fractal);
            break;
        case IDM_LOAD_PALETTE:
            loadPaletteFile(fractal);
            break;
        case IDM_GRADIENT_EDITOR:
            editGradient(fractal);
            break;
        case IDM_DISPLAY_OFF:
            displayOff_ = displayPowerOff(shell_);
            break;
        case IDM_ZOOM_PREVIOUS:
            fractal.zoomPrevious();
            break;
        case IDM_ZOOM_NEXT:
            fractal.zoomNext();
            break;
        case IDM_FIND_MINIBROT:
            findMinibrot(fractal);
            break;
        case IDM_CLEAR_SCREEN:
            clearScreen(fractal);
            break;
        case IDM_STOP:
            stopCalculationByUser(fractal);
            break;
        case IDM_CONTINUE:
            continueCalculation(fractal);
            break;
        case IDM_COPY_LOCATION:
            copyLocation(fractal);
            break;
        case IDM_PASTE_LOCATION:
            pasteLocation(fractal);
            break;
        case IDM_ADD_BOOKMARK:
            addBookmark(fractal);
            break;
        case IDM_RENAME_BOOKMARK:
            renameBookmark();
            break;
        case IDM_DELETE_BOOKMARK:
            deleteBookmark();
            break;
        default:  // IDM_CTRL_Q and unknown ids: nothing beyond the prologue
            if (!runBookmarkCommand(id, fractal) && !runColorCommand(id, fractal))
                runPaletteCommand(id, fractal);
            break;
    }
}

void MainWindow::runModalDialog(DialogId dialog, engine::Fractal& fractal) {
    shell_.runDialog(dialog, fractal);
}

void MainWindow::exitProgram() {
    // Asked before the window lets go of its activation, so that staying leaves all as it was.
    if (!mayCloseDuringExport())
        return;
    windowProc(WM_ACTIVATE, WA_INACTIVE, 0);
    windowProc(WM_CLOSE, kCloseNow, 0);
}

void MainWindow::chooseType(engine::Fractal& fractal) {
    const int chosen = shell_.runDialog(DialogId::Type, fractal);
    if (chosen == 0)
        return;
    // Also the type already shown: it starts again from its stored parameters.
    destroyFractals();
    window_.postMessage(WM_NEWFRACTAL, static_cast<std::uint32_t>(chosen), 0);
}

void MainWindow::showParametersDialog(engine::Fractal& fractal) {
    if (catalogue::isComplexType(fractal.type)) {
        runModalDialog(DialogId::ComplexParameters, fractal);
    } else if (catalogue::isOrbitType(fractal.type)) {
        runModalDialog(DialogId::Parameters, fractal);
    }
}

void MainWindow::openPicture(engine::Fractal& fractal) {
    FileDialogRequest request = pictureFileDialog(FileDialogRequest::Kind::Open);
    request.title = text(platform::kStringOpenFractal);
    request.initialFolder = fractal.folders.images;
    request.flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    const std::optional<FileChoice> choice = shell_.chooseFile(request);
    if (!choice)
        return;

    // A large PNG file takes seconds to decode: it is read on a thread of its own,
    // with progress and Cancel, while the window goes on and keeps its picture. A read
    // still under way is cancelled by the new one.
    endOpen();
    openJob_ = std::make_unique<PictureOpenJob>(choice->path, fractal.width, fractal.height,
                                                window_, WM_OPENDONE);
    shell_.showOpenProgress(*openJob_);
}

std::intptr_t MainWindow::onOpenDone() {
    if (!openJob_ || !openJob_->finished())
        return 0;
    const std::string path = openJob_->path();
    const persist::PictureFile file = openJob_->takeResult();
    endOpen();
    engine::Fractal* fractal = currentFractal();
    if (file.cancelled || fractal == nullptr)
        return 0;
    showOpenedFile(*fractal, path, file);
    return 0;
}

void MainWindow::showOpenedFile(engine::Fractal& fractal, const std::string& path,
                                const persist::PictureFile& file) {
    // The file was read once: what is checked is what is shown, even when the file is
    // removed or replaced meanwhile. A file that cannot become the next fractal is
    // refused before anything stops, so the picture shown goes on computing.
    if (const auto problem = pictureFileProblem(file)) {
        shell_.showMessage(text(platform::kStringWindowTitle),
                           "Cannot open " + path + ": " + *problem + ".");
        return;
    }
    fractal.stopCalculation();
    openedFileName_ = std::filesystem::path(path).filename().string();
    fractal.showOpenedPicture(file.image.bitmap, file.type, file.params, false);
    if (!heldIsCurrent_)
        heldFractal_ = std::move(currentFractal_);
    heldIsCurrent_ = true;
    window_.postMessage(WM_NEWFRACTAL, static_cast<std::uint32_t>(heldFractal_->opened.type), 1);
}

void MainWindow::endOpen() {
    if (!openJob_)
        return;
    shell_.closeOpenProgress();
    openJob_.reset();
}

void MainWindow::findMinibrot(engine::Fractal& fractal) {
    const std::optional<complex::EscapeFormula> formula = complex::formulaOf(fractal);
    if (!formula) {
        shell_.showMessage(text(platform::kStringWindowTitle), complex::kOnlyPlainMandelbrot);
        return;
    }
    // Searched in arbitrary precision, which takes long at great depths: on a thread of
    // its own, while the picture goes on and the window answers.
    minibrotJob_ =
        std::make_unique<MinibrotJob>(*formula, fractal.preciseView(), window_, WM_MINIBROTDONE);
}

bool MainWindow::endMinibrotSearch() {
    if (!minibrotJob_)
        return false;
    minibrotJob_.reset();
    return true;
}

std::intptr_t MainWindow::onMinibrotDone() {
    if (!minibrotJob_ || !minibrotJob_->finished())
        return 0;
    const complex::MinibrotSearch search = minibrotJob_->takeResult();
    const view::DeepView searched = minibrotJob_->searched();
    minibrotJob_.reset();
    engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr || search.outcome == complex::MinibrotSearch::Outcome::kStopped)
        return 0;
    // The view was moved meanwhile: what was found belongs to a view no longer shown.
    if (!view::DeepView::same(fractal->preciseView(), searched))
        return 0;
    const std::string title = text(platform::kStringWindowTitle);
    if (!search.minibrot) {
        shell_.showMessage(title, search.reason);
        return 0;
    }
    const std::optional<view::DeepView> shown =
        complex::viewShowing(*search.minibrot, fractal->width, fractal->height);
    if (!shown) {
        shell_.showMessage(title, "The minibrot of period " +
                                      std::to_string(search.minibrot->period) +
                                      " is too small for any view.");
        return 0;
    }
    fractal->restartWith([&] {
        fractal->pushView();
        fractal->setPreciseView(*shown);
    });
    return 0;
}

void MainWindow::startSlideshow(engine::Fractal& fractal) {
    FileDialogRequest request = pictureFileDialog(FileDialogRequest::Kind::Open);
    request.title = text(platform::kStringSlideshowCaption);
    request.initialFolder = fractal.folders.images;
    request.flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    request.wantsFileTitle = true;
    const std::optional<FileChoice> choice = shell_.chooseFile(request);
    if (!choice)
        return;
    const bool sameTypeOnly = shell_.askYesNo(text(platform::kStringSlideshowCaption),
                                              slideshowQuestion(choice->fileTitle));
    fractal.startSlideshow(choice->path, kSlideshowTimerId, sameTypeOnly);
}

namespace {

// An escape-time run that was stopped, or is still under way, leaves pixels of the
// view before it: such a picture must not be saved as showing its parameters. An orbit
// never finishes; it is saved as it stands.
bool pictureUnfinished(const engine::Fractal& fractal) {
    if (!catalogue::isComplexType(fractal.type))
        return false;
    return fractal.isRunning() || (fractal.isFinished() && !fractal.runState.completed.load());
}

constexpr char kUnfinishedQuestion[] =
    "The picture is not finished: some of its pixels do not show its view yet.\n\n"
    "Complete it before saving? Yes computes the missing pixels first. No saves the "
    "pixels as they are, as a plain picture without the fractal's type and parameters "
    "(Open cannot continue from it).";

// The picture shown (its type, parameters and colours) at width x height.
ExportRequest exportRequestFor(const engine::Fractal& fractal, int width, int height) {
    ExportRequest exported;
    exported.type = fractal.type;
    exported.parameters = fractal.parameterString();
    for (int i = 0; i < fractal.colorTable().colorCount(); ++i)
        exported.colors.push_back(fractal.colorTable().colorAt(i));
    exported.width = width;
    exported.height = height;
    exported.threads = fractal.calculationThreads();
    exported.referenceMemoryMiB = fractal.options().referenceMemoryMiB;
    exported.exactCounts = fractal.options().exactCounts;
    // An orbit gets at least as many points as the window has drawn so far.
    exported.orbitPoints = std::max(kDefaultOrbitExportPoints, fractal.statistics().pointCount);
    return exported;
}

}  // namespace

void MainWindow::savePicture(engine::Fractal& fractal) {
    Shell::Answer unfinished = Shell::Answer::Yes;
    const bool complete = pictureUnfinished(fractal);
    if (complete) {
        unfinished = shell_.askYesNoCancel(text(platform::kStringWindowTitle), kUnfinishedQuestion);
        if (unfinished == Shell::Answer::Cancel)
            return;
        if (unfinished == Shell::Answer::Yes && refuseSecondExport())
            return;
    }
    FileDialogRequest request = pictureFileDialog(FileDialogRequest::Kind::Save);
    request.title = text(platform::kStringSaveFractal);
    request.fileName = fractal.proposeFileName(kFileNameCapacity);
    ensureFolderExists(fractal.folders.images);
    request.initialFolder = fractal.folders.images;
    request.flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    const std::optional<FileChoice> choice = shell_.chooseFile(request);
    if (!choice)
        return;
    if (!complete) {
        writePicture(fractal, choice->path, false);
    } else if (unfinished == Shell::Answer::No) {
        writePicture(fractal, choice->path, true);
    } else {
        completePicture(fractal, choice->path);
    }
}

// The picture as it is at this moment; the calculation goes on. A picture that Open
// would refuse is not written at all, and neither is a pipe or a device.
void MainWindow::writePicture(engine::Fractal& fractal, const std::string& path, bool plain) {
    std::optional<std::string> problem = plain ? std::nullopt : pictureSaveProblem(fractal);
    if (!problem) {
        constexpr auto refuse = platform::StreamTargets::Refuse;
        const engine::SaveResult saved =
            plain ? fractal.savePlainImageTo(path, refuse) : fractal.saveImageTo(path, refuse);
        if (saved.status != engine::kStatusOk)
            problem = saved.reason;
    }
    if (problem)
        showSaveProblem(path, *problem);
}

// Computed again whole at the window's size on a thread of its own, with progress and
// Cancel: the file gets the pixels the window's run would have drawn.
void MainWindow::completePicture(engine::Fractal& fractal, const std::string& path) {
    if (const std::optional<std::string> problem = pictureSaveProblem(fractal)) {
        showSaveProblem(path, *problem);
        return;
    }
    exportJob_ =
        std::make_unique<ExportJob>(exportRequestFor(fractal, fractal.width, fractal.height), path,
                                    window_, WM_EXPORTDONE, ExportJob::Output::CompletedPicture);
    shell_.showExportProgress(*exportJob_);
}

void MainWindow::showSaveProblem(const std::string& path, const std::string& problem) {
    shell_.showMessage(text(platform::kStringWindowTitle),
                       "Cannot save the picture to " + path + ": " + problem + ".");
}

bool MainWindow::refuseSecondExport() {
    if (!exportJob_)
        return false;
    shell_.showMessage(
        text(platform::kStringWindowTitle),
        "An export to " + exportJob_->path() + " is running: wait for it to end, or cancel it.");
    return true;
}

// The picture shown (its type, parameters, view and colours) at another size, computed
// on a thread of its own from a copy of those inputs: the window's run goes on.
void MainWindow::exportPicture(engine::Fractal& fractal) {
    if (refuseSecondExport())
        return;
    const std::optional<ExportSize> size = shell_.chooseExportSize(fractal);
    if (!size)
        return;
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Save;
    request.title = ExportDialog::kFileTitle;
    request.filters = {
        FileFilter{ExportDialog::kPngFilter, "*.png"},
        FileFilter{platform::cformat("%s (*.*)", text(platform::kStringAllFiles).c_str()), "*.*"}};
    request.defaultExtension = "png";
    request.fileName = exportFileName(fractal, *size);
    ensureFolderExists(fractal.folders.images);
    request.initialFolder = fractal.folders.images;
    request.flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    const std::optional<FileChoice> choice = shell_.chooseFile(request);
    if (!choice)
        return;
    // A PNG under another name would mislead every program that goes by the name.
    if (!hasPngExtension(choice->path)) {
        shell_.showMessage(text(platform::kStringWindowTitle),
                           "Cannot export the picture to " + choice->path +
                               ": an export is a PNG picture; give the file the extension .png.");
        return;
    }

    ExportRequest exported = exportRequestFor(fractal, size->width, size->height);
    exported.supersample = size->supersample;
    exportJob_ =
        std::make_unique<ExportJob>(std::move(exported), choice->path, window_, WM_EXPORTDONE);
    shell_.showExportProgress(*exportJob_);
}

std::intptr_t MainWindow::onExportDone() {
    if (!exportJob_ || !exportJob_->finished())
        return 0;
    const ExportResult result = exportJob_->result();
    const std::string path = exportJob_->path();
    const bool saved = exportJob_->output() == ExportJob::Output::CompletedPicture;
    endExport();
    if (result.outcome == ExportResult::Outcome::Failed) {
        if (saved) {
            showSaveProblem(path, result.reason);
        } else {
            shell_.showMessage(text(platform::kStringWindowTitle),
                               "Cannot export the picture to " + path + ": " + result.reason + ".");
        }
    } else if (saved && result.written()) {
        if (engine::Fractal* fractal = currentFractal())
            fractal->rememberPictureFolder(path);
    }
    if (closeWhenExportDone_)
        windowProc(WM_CLOSE, kCloseNow, 0);
    return 0;
}

void MainWindow::endExport() {
    if (!exportJob_)
        return;
    shell_.closeExportProgress();
    exportJob_.reset();
}

void MainWindow::loadPaletteFile(engine::Fractal& fractal) {
    FileDialogRequest request = paletteFileDialog();
    request.kind = FileDialogRequest::Kind::Open;
    request.title = text(platform::kStringOpenPalette);
    request.fileName = fractal.paletteFileName();
    // Until a palette file is chosen, the dialog opens on the palettes that come with
    // the program.
    request.initialFolder =
        fractal.folders.palette.empty() ? shippedPaletteFolder_ : fractal.paletteDirectory();
    request.flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    const std::optional<FileChoice> choice = shell_.chooseFile(request);
    if (choice)
        switchPalette(fractal, choice->path);
}

void MainWindow::switchPalette(engine::Fractal& fractal, const std::string& path) {
    // The file is read once and used only when it gives colours: a file that does not
    // leaves the stored palette (and so the next start's colours) and the run as they were.
    engine::ColorTable colors;
    std::string problem;
    if (colors.loadFile(path, engine::kMaxPaletteEntries, &problem) == 0) {
        shell_.showMessage(text(platform::kStringWindowTitle),
                           "Cannot load the palette " + path + ": " + problem + ".");
        return;
    }
    changeColors(fractal, [&] {
        settings_.writeString("Palette", path);
        fractal.usePalette(path, std::move(colors));
    });
}

// A gradient saved as it is applied becomes the stored palette, as Load Palette makes
// it; one not saved colours this picture only, and the stored palette stays.
void MainWindow::editGradient(engine::Fractal& fractal) {
    const std::optional<GradientChoice> choice = shell_.editGradient(fractal);
    if (!choice || choice->colors.empty())
        return;
    if (!choice->savedPath.empty()) {
        switchPalette(fractal, choice->savedPath);
        return;
    }
    engine::ColorTable colors;
    if (colors.setColors(choice->colors.data(), static_cast<int>(choice->colors.size())) != 1)
        return;
    changeColors(fractal, [&] { fractal.usePalette(fractal.folders.palette, std::move(colors)); });
}

// No palette file stored: every start, this one included, takes the built-in colours.
void MainWindow::useBuiltInPalette(engine::Fractal& fractal) {
    changeColors(fractal, [&] {
        settings_.writeString("Palette", "");
        fractal.loadPalette();
    });
}

void MainWindow::changeColors(engine::Fractal& fractal, const std::function<void()>& change) {
    auto* escape = dynamic_cast<complex::ComplexFractal*>(&fractal);
    if (escape == nullptr || escape->isRunning()) {
        fractal.restartWith(change);
        return;
    }
    change();
    if (!escape->recolor())
        fractal.restartWith([] {});
}

bool MainWindow::runPaletteCommand(unsigned id, engine::Fractal& fractal) {
    if (id == IDM_PALETTE_BUILT_IN) {
        useBuiltInPalette(fractal);
        return true;
    }
    if (id < IDM_PALETTE_FIRST || id > IDM_PALETTE_LAST)
        return false;
    const std::size_t index = id - IDM_PALETTE_FIRST;
    if (index < shippedPalettes_.size())
        switchPalette(fractal, shippedPalettes_[index].path);
    return true;
}

unsigned MainWindow::currentPaletteCommand() const {
    const engine::Fractal* fractal = currentFractal();
    if (fractal == nullptr)
        return 0;
    if (fractal->folders.palette.empty())
        return IDM_PALETTE_BUILT_IN;
    for (std::size_t i = 0; i < shippedPalettes_.size(); ++i) {
        if (shippedPalettes_[i].path == fractal->folders.palette)
            return IDM_PALETTE_FIRST + static_cast<unsigned>(i);
    }
    return 0;
}

void MainWindow::clearScreen(engine::Fractal& fractal) {
    fractal.restartWith([&] { fractal.clearPictureBase(); });
}

}  // namespace app
