#include "gui/dialogs/view_dialog_widget.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/dialog_fields.h"

namespace gui {

ViewDialogWidget::ViewDialogWidget(QWidget* parent, engine::Fractal& fractal)
    : DialogFrame(parent, app::ViewDialog::kCaption, app::kDialogCancel), fractal_(fractal) {
    const app::ViewForm form = app::ViewDialog::open(fractal);

    // Created in the order the keyboard visits them: the buttons come first.
    auto* ok = makeButton(app::kOkText, "okButton");
    auto* defaults = makeButton(app::kDefaultText, "defaultButton");
    auto* cancel = makeButton(app::kCancelText, "cancelButton");
    xmin_ = makeEdit(form.xmin, "editXmin");
    xmax_ = makeEdit(form.xmax, "editXmax");
    ymin_ = makeEdit(form.ymin, "editYmin");
    auto* xminLabel = makeLabel(app::ViewDialog::kXminLabel, "labelXmin", xmin_);
    auto* xmaxLabel = makeLabel(app::ViewDialog::kXmaxLabel, "labelXmax", xmax_);
    auto* yminLabel = makeLabel(app::ViewDialog::kYminLabel, "labelYmin", ymin_);
    ymax_ = makeEdit(form.ymax, "editYmax");
    auto* ymaxLabel = makeLabel(app::ViewDialog::kYmaxLabel, "labelYmax", ymax_);
    ok->setDefault(true);

    auto* grid = new QGridLayout;
    grid->addWidget(xminLabel, 0, 0);
    grid->addWidget(xmin_, 0, 1);
    grid->addWidget(xmaxLabel, 1, 0);
    grid->addWidget(xmax_, 1, 1);
    grid->addWidget(yminLabel, 2, 0);
    grid->addWidget(ymin_, 2, 1);
    grid->addWidget(ymaxLabel, 3, 0);
    grid->addWidget(ymax_, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(defaults);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 4, 0, 1, 2);
    finishLayout(grid);

    connect(ok, &QPushButton::clicked, this, [this] { accept(); });
    connect(defaults, &QPushButton::clicked, this,
            [this] { done(app::ViewDialog::useDefaults(fractal_)); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

QLineEdit* ViewDialogWidget::makeEdit(const std::string& text, const char* objectName) {
    auto* edit = new QLineEdit(QString::fromStdString(text), this);
    edit->setObjectName(objectName);
    // Wide enough for an edge with all its digits.
    edit->setFixedWidth(fontMetrics().horizontalAdvance("-0.00012345678901234567") + 8);
    return edit;
}

void ViewDialogWidget::accept() {
    const app::ViewForm form{xmin_->text().toStdString(), xmax_->text().toStdString(),
                             ymin_->text().toStdString(), ymax_->text().toStdString()};
    done(app::ViewDialog::ok(form, fractal_));
}

}  // namespace gui
