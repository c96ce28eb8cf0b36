#include "gui/dialogs/about_dialog_widget.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/dialog_fields.h"

namespace gui {

using Logic = app::AboutDialog;

AboutDialogWidget::AboutDialogWidget(QWidget* parent)
    : DialogFrame(parent, Logic::kCaption, app::kDialogOk) {
    auto* name = makeLabel(Logic::kName, "name");
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    name->setFont(big);
    auto* version = makeLabel(Logic::kVersion, "version");
    auto* summary = makeLabel(Logic::kSummary, "summary");
    auto* ok = makeButton(app::kOkText, "okButton");
    ok->setDefault(true);

    auto* layout = new QVBoxLayout;
    layout->addWidget(name, 0, Qt::AlignHCenter);
    layout->addWidget(version, 0, Qt::AlignHCenter);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addWidget(summary, 0, Qt::AlignHCenter);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    finishLayout(layout);
    connect(ok, &QPushButton::clicked, this, [this] { done(Logic::ok()); });
}

}  // namespace gui
