// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/abundance_settings_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QSignalBlocker>

#include <memory>

#include "ui/endmember_selection_dialog.h"

namespace orvane {

namespace {

int SelectedRow(const QListWidget* list) {
    const QListWidgetItem* item = list->currentItem();
    return item && item->isSelected() ? list->row(item) : -1;
}

}  // namespace

AbundanceSettingsDialog::AbundanceSettingsDialog(ProcessingSession& session, WorkPoster post,
                                                 QWidget* parent)
    : QDialog(parent), model_(session), post_(std::move(post)) {
    setWindowTitle(QStringLiteral("Abundance Settings"));
    auto list = [this](const char* name) {
        auto* l = new QListWidget(this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    auto button = [this](const char* text, const char* name) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    classes_ = list("classes");
    available_ = list("available");
    selected_ = list("selected");
    abundance_ = new QLineEdit(this);
    abundance_->setObjectName(QStringLiteral("abundance"));
    total_ = new QLineEdit(this);
    total_->setObjectName(QStringLiteral("total"));
    total_->setReadOnly(true);
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("note"));
    note_->setWordWrap(true);
    QPushButton* add = button("", "add");
    add->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    add->setToolTip(QStringLiteral("Select the highlighted available endmember"));
    QPushButton* remove = button("", "remove");
    remove->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    remove->setToolTip(QStringLiteral("Return the highlighted selected endmember"));
    QPushButton* save = button("Save", "save");
    QPushButton* complement = button("Complement", "complement");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));

    auto* moves = new QHBoxLayout;
    moves->addStretch();
    moves->addWidget(add);
    moves->addWidget(remove);
    moves->addStretch();
    auto* edit_buttons = new QHBoxLayout;
    edit_buttons->addWidget(save);
    edit_buttons->addWidget(complement);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Classes (excl endmembers)"), this), 0, 0);
    grid->addWidget(classes_, 1, 0, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("Available \nendmembers"), this), 0, 1);
    grid->addWidget(available_, 1, 1);
    grid->addLayout(moves, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Selected \nendmembers"), this), 3, 1);
    grid->addWidget(selected_, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("Abundance of\nselected endmember"), this), 0, 2);
    grid->addWidget(abundance_, 1, 2, Qt::AlignTop);
    grid->addLayout(edit_buttons, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Total abundance"), this), 3, 2, Qt::AlignBottom);
    grid->addWidget(total_, 4, 2, Qt::AlignTop);
    grid->addWidget(note_, 5, 0, 1, 3);
    grid->addWidget(buttons, 6, 0, 1, 3);

    wait_.widgets = {classes_, available_, selected_, abundance_, add, remove, save, complement,
               buttons->button(QDialogButtonBox::Ok)};

    connect(classes_, &QListWidget::itemSelectionChanged, this,
            &AbundanceSettingsDialog::ClassChanged);
    connect(selected_, &QListWidget::itemSelectionChanged, this,
            &AbundanceSettingsDialog::EndmemberChanged);
    connect(abundance_, &QLineEdit::textEdited, this, [this](const QString& text) {
        model_.SetAbundanceText(text.toStdString());
        note_->setText(QString::fromStdString(model_.Note()));
    });
    connect(add, &QPushButton::clicked, this, &AbundanceSettingsDialog::Add);
    connect(remove, &QPushButton::clicked, this, &AbundanceSettingsDialog::Remove);
    connect(save, &QPushButton::clicked, this, &AbundanceSettingsDialog::Save);
    connect(complement, &QPushButton::clicked, this, &AbundanceSettingsDialog::Complement);
    connect(buttons, &QDialogButtonBox::accepted, this, &AbundanceSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AbundanceSettingsDialog::reject);
}

void AbundanceSettingsDialog::Queue(std::function<void()> work, std::function<void()> shown) {
    wait_.Queue(post_, std::move(work), std::move(shown));
}

void AbundanceSettingsDialog::Open() {
    {
        const QSignalBlocker b1(classes_), b2(available_), b3(selected_);
        classes_->clear();
        available_->clear();
        selected_->clear();
    }
    show();
    raise();
    activateWindow();
    classes_->setFocus();
    Queue([this] { model_.Show(); },
          [this] {
              {
                  const QSignalBlocker block(classes_);
                  MirrorSpeciesList(classes_, model_.Classes());
              }
              MirrorEndmembers();
              MirrorFields();
          });
}

void AbundanceSettingsDialog::MirrorEndmembers() {
    const QSignalBlocker b1(available_), b2(selected_);
    MirrorSpeciesList(available_, model_.Available());
    MirrorSpeciesList(selected_, model_.Selected());
}

void AbundanceSettingsDialog::MirrorFields() {
    abundance_->setText(QString::fromStdString(model_.AbundanceText()));
    total_->setText(QString::fromStdString(model_.TotalText()));
    note_->setText(QString::fromStdString(model_.Note()));
}

void AbundanceSettingsDialog::ClassChanged() {
    const int row = SelectedRow(classes_);
    auto chosen = std::make_shared<bool>(false);
    Queue([this, row, chosen] { *chosen = model_.SelectClass(row); },
          [this, chosen] {
              if (!*chosen) return;
              MirrorEndmembers();
              MirrorFields();
          });
}

void AbundanceSettingsDialog::EndmemberChanged() {
    const int row = SelectedRow(selected_);
    if (row < 0) return;
    Queue([this, row] { model_.SelectEndmember(row); }, [this] { MirrorFields(); });
}

void AbundanceSettingsDialog::Add() {
    const int row = SelectedRow(available_);
    auto added = std::make_shared<bool>(false);
    Queue([this, row, added] { *added = model_.Add(row); },
          [this, added] {
              if (!*added) return;
              MirrorEndmembers();
              MirrorFields();
          });
}

void AbundanceSettingsDialog::Remove() {
    const int row = SelectedRow(selected_);
    auto removed = std::make_shared<bool>(false);
    Queue([this, row, removed] { *removed = model_.Remove(row); },
          [this, removed] {
              if (!*removed) return;
              MirrorEndmembers();
              MirrorFields();
          });
}

void AbundanceSettingsDialog::Save() {
    const int row = SelectedRow(selected_);
    model_.SetAbundanceText(abundance_->text().toStdString());
    // The total and the note show the outcome, a refused number included.
    const auto show = [this] {
        total_->setText(QString::fromStdString(model_.TotalText()));
        note_->setText(QString::fromStdString(model_.Note()));
    };
    wait_.Queue(post_, [this, row] { model_.Save(row); }, {}, show);
}

void AbundanceSettingsDialog::accept() {
    const int row = SelectedRow(selected_);
    auto stored = std::make_shared<bool>(false);
    wait_.Queue(
        post_, [this, row] { model_.Ok(row); },
        [this, stored] {
            *stored = true;
            QDialog::accept();
        },
        [this, stored] {
            if (*stored) return;
            // A mixture another session changed shows its newer values.
            MirrorEndmembers();
            MirrorFields();
        });
}

void AbundanceSettingsDialog::reject() {
    // The model is the worker's while work for the dialog waits: the drop comes after it.
    QDialog::reject();
    if (!post_({}, [this] { model_.Cancel(); }) && !wait_.Waiting()) model_.Cancel();
}

void AbundanceSettingsDialog::Complement() {
    model_.Complement();
    abundance_->setText(QString::fromStdString(model_.AbundanceText()));
    note_->setText(QString::fromStdString(model_.Note()));
}

}  // namespace orvane
