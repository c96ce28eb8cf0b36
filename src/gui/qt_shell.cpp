#include "gui/qt_shell.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QMetaObject>

#include "app/dialog_fields.h"
#include "gui/dialogs/dialogs.h"
#include "gui/dialogs/export_dialog_widget.h"
#include "gui/dialogs/gradient_dialog_widget.h"
#include "gui/dialogs/job_progress_widget.h"
#include "gui/display_power.h"
#include "gui/help_window.h"

namespace gui {

namespace {

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

// Qt reads the patterns of a filter from the parentheses of its text.
QString filterText(const app::FileFilter& filter) {
    const QString name = qt(filter.name);
    if (name.contains(QLatin1Char('(')))
        return name;
    return name + QStringLiteral(" (") + qt(filter.pattern) + QLatin1Char(')');
}

}  // namespace

QtShell::QtShell(QWidget* owner) : owner_(owner) {}

QtShell::~QtShell() = default;

std::optional<app::ExportSize> QtShell::chooseExportSize(engine::Fractal& fractal) {
    ExportDialogWidget dialog(owner_, fractal);
    if (dialog.exec() != app::kDialogOk)
        return std::nullopt;
    return dialog.size();
}

std::optional<app::GradientChoice> QtShell::editGradient(engine::Fractal& fractal) {
    GradientDialogWidget dialog(owner_, fractal, *this);
    if (dialog.exec() != app::kDialogOk)
        return std::nullopt;
    return dialog.choice();
}

void QtShell::showExportProgress(app::ExportJob& job) {
    progress_ = std::make_unique<ExportProgressWidget>(owner_, job);
    progress_->show();
}

void QtShell::closeExportProgress() {
    progress_.reset();
}

void QtShell::showOpenProgress(app::PictureOpenJob& job) {
    openProgress_ = std::make_unique<OpenProgressWidget>(owner_, job);
}

void QtShell::closeOpenProgress() {
    openProgress_.reset();
}

int QtShell::runDialog(app::DialogId dialog, engine::Fractal& fractal) {
    return gui::runDialog(dialog, fractal, *this, owner_);
}

std::optional<app::FileChoice> QtShell::chooseFile(const app::FileDialogRequest& request) {
    QFileDialog dialog(owner_, qt(request.title));
    const bool save = request.kind == app::FileDialogRequest::Kind::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(!save && (request.flags & app::OFN_FILEMUSTEXIST) != 0
                           ? QFileDialog::ExistingFile
                           : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite,
                     (request.flags & app::OFN_OVERWRITEPROMPT) == 0);
    QStringList filters;
    for (const app::FileFilter& filter : request.filters)
        filters << filterText(filter);
    dialog.setNameFilters(filters);
    if (!request.initialFolder.empty() && QFileInfo(qt(request.initialFolder)).isDir()) {
        dialog.setDirectory(qt(request.initialFolder));
    }
    if (!request.fileName.empty())
        dialog.selectFile(qt(request.fileName));
    dialog.setDefaultSuffix(qt(app::extensionForFilter(request, 0)));
    // A name typed without an extension gets the selected filter's.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, &request, filters](const QString& filter) {
                         const auto index = static_cast<std::size_t>(filters.indexOf(filter));
                         dialog.setDefaultSuffix(qt(app::extensionForFilter(request, index)));
                     });

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = QDir::cleanPath(dialog.selectedFiles().constFirst());
    app::FileChoice choice;
    choice.path = path.toStdString();
    if (request.wantsFileTitle)
        choice.fileTitle = QFileInfo(path).fileName().toStdString();
    return choice;
}

bool QtShell::askYesNo(const std::string& caption, const std::string& text) {
    return QMessageBox::question(owner_, qt(caption), qt(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

app::Shell::Answer QtShell::askYesNoCancel(const std::string& caption, const std::string& text) {
    const QMessageBox::StandardButton button = QMessageBox::question(
        owner_, qt(caption), qt(text), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (button == QMessageBox::Yes)
        return Answer::Yes;
    return button == QMessageBox::No ? Answer::No : Answer::Cancel;
}

void QtShell::showMessage(const std::string& caption, const std::string& text) {
    QMessageBox::warning(owner_, qt(caption), qt(text));
}

std::string QtShell::clipboardText() {
    return QGuiApplication::clipboard()->text().toStdString();
}

void QtShell::setClipboardText(const std::string& text) {
    QGuiApplication::clipboard()->setText(qt(text));
}

std::optional<std::string> QtShell::askText(const std::string& caption, const std::string& label,
                                            const std::string& initial) {
    bool ok = false;
    const QString typed =
        QInputDialog::getText(owner_, qt(caption), qt(label), QLineEdit::Normal, qt(initial), &ok);
    if (!ok)
        return std::nullopt;
    return typed.toStdString();
}

std::optional<std::size_t> QtShell::chooseItem(const std::string& caption, const std::string& label,
                                               const std::vector<std::string>& items) {
    QStringList names;
    for (const std::string& item : items)
        names.append(qt(item));
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(owner_, qt(caption), qt(label), names, 0, false, &ok);
    const qsizetype index = names.indexOf(chosen);
    if (!ok || index < 0)
        return std::nullopt;
    return static_cast<std::size_t>(index);
}

void QtShell::startHelpViewer(const std::string& commandLine) {
    const QString line = qt(commandLine);
    const qsizetype hash = line.indexOf(QLatin1Char('#'));
    const QString file = hash < 0 ? line : line.left(hash);
    const QString anchor = hash < 0 ? QString() : line.mid(hash + 1);
    if (!help_)
        help_ = std::make_unique<HelpWindow>();
    help_->showTopic(file, anchor);  // a viewer that cannot start shows nothing
}

bool QtShell::displayPower(bool on) {
    return switchDisplayPower(on);
}

void QtShell::quit(int exitCode) {
    if (quitHandler_) {
        quitHandler_(exitCode);
    } else {
        QCoreApplication::exit(exitCode);
    }
}

std::intptr_t QtShell::defaultProcessing(unsigned, std::uintptr_t, std::intptr_t) {
    defaulted_ = true;
    return 0;
}

bool QtShell::takeDefaulted() {
    return std::exchange(defaulted_, false);
}

void QtSound::exclamation() {
    QMetaObject::invokeMethod(
        qApp, [] { QApplication::beep(); }, Qt::QueuedConnection);
}

}  // namespace gui
