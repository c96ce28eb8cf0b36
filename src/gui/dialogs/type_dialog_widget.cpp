#include "gui/dialogs/type_dialog_widget.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/dialog_fields.h"
#include "app/help.h"

namespace gui {

TypeDialogWidget::TypeDialogWidget(QWidget* parent, const engine::Fractal& fractal,
                                   app::Shell* shell)
    : DialogFrame(parent, app::TypeDialog::kCaption, app::TypeDialog::kCancelled), logic_(fractal) {
    // Created in the order the keyboard visits them.
    list_ = new QListWidget(this);
    list_->setObjectName("typeList");
    for (const std::string& name : logic_.names())
        list_->addItem(QString::fromStdString(name));
    auto* ok = makeButton(app::kOkText, "okButton");
    auto* cancel = makeButton(app::kCancelText, "cancelButton");
    auto* label = makeLabel(app::TypeDialog::kListLabel, "typeLabel", list_);
    description_ = new QPlainTextEdit(this);
    description_->setObjectName("description");
    description_->setReadOnly(true);
    description_->setLineWrapMode(QPlainTextEdit::NoWrap);
    description_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    description_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    const int lineHeight = fontMetrics().height();
    list_->setFixedSize(fontMetrics().horizontalAdvance("Gingerbreadman") + 4 * lineHeight,
                        8 * lineHeight);
    description_->setFixedSize(28 * lineHeight, 8 * lineHeight);
    ok->setDefault(true);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* grid = new QGridLayout;
    grid->addWidget(label, 0, 0, 1, 2);
    grid->addWidget(list_, 1, 0);
    grid->addLayout(buttons, 1, 1);
    grid->addWidget(description_, 2, 0, 1, 2);
    finishLayout(grid);

    connect(ok, &QPushButton::clicked, this, [this] { accept(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    // Double-clicking a name chooses it, as in any desktop list.
    connect(list_, &QListWidget::itemActivated, this, [this] { accept(); });
    connect(list_, &QListWidget::currentRowChanged, this,
            [this](int row) { selectionChanged(row); });
    setHelpTopic(shell, app::kHelpFractals);

    // The fractal's own type, with its description before the first tap.
    list_->setCurrentRow(logic_.selectedIndex());
    selectionChanged(logic_.selectedIndex());
}

void TypeDialogWidget::selectionChanged(int row) {
    logic_.select(row);
    description_->setPlainText(QString::fromStdString(logic_.description()));
}

void TypeDialogWidget::accept() {
    done(logic_.chosenType());
}

}  // namespace gui
