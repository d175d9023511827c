// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/feature_space_dialog.h"

#include <algorithm>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>
#include <memory>

#include "base/orvane_error.h"
#include "forms/main_form.h"
#include "chain/processing_session.h"
#include "ui/wavelength_pair_dialog.h"

namespace orvane {

FeatureSpaceDialog::FeatureSpaceDialog(ProcessingSession& session, MainForm& form,
                                       QtFrontend& frontend, WorkPoster post, QWidget* parent)
    : QDialog(parent),
      model_(session),
      session_(session),
      form_(form),
      frontend_(frontend),
      post_(std::move(post)) {
    // The dimension and the list follow the feature space's type, not only the waiting.
    inputs_.apply = [this] { ApplyEnabled(); };
    setWindowTitle(QStringLiteral("Feature Space Actions"));
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("name"));
    name_->setMaxLength(FeatureSpaceActions::kMaxNameLength);
    description_ = new QLineEdit(this);
    description_->setObjectName(QStringLiteral("description"));
    description_->setMaxLength(FeatureSpaceActions::kMaxDescriptionLength);
    dimension_ = new QSpinBox(this);
    dimension_->setObjectName(QStringLiteral("dimension"));
    dimension_->setRange(0, std::numeric_limits<int>::max());
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("ranges"));
    band_ =
        new WavelengthPairDialog(this, QStringLiteral("Waveband Definition"),
                                 QStringLiteral("Wavelength 1"), QStringLiteral("Wavelength 2"));
    band_editor_ = [this](int& wavelength1, int& wavelength2) {
        band_->SetValues(wavelength1, wavelength2);
        if (band_->exec() != QDialog::Accepted) return false;
        wavelength1 = band_->First();
        wavelength2 = band_->Second();
        return true;
    };

    auto button = [this](const char* text, const char* name) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    new_ = button("New", "new");
    modify_ = button("Modify", "modify");
    delete_ = button("Delete", "delete");
    ok_ = button("OK", "ok");
    ok_->setDefault(true);
    QPushButton* cancel = button("Cancel", "cancel");

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Feature Space Name"), name_);
    fields->addRow(QStringLiteral("Description"), description_);
    fields->addRow(QStringLiteral("Dimension"), dimension_);

    list_box_ = new QGroupBox(this);
    auto* list_buttons = new QVBoxLayout;
    list_buttons->addWidget(new_);
    list_buttons->addWidget(modify_);
    list_buttons->addWidget(delete_);
    list_buttons->addStretch();
    auto* list_layout = new QHBoxLayout(list_box_);
    list_layout->addWidget(list_, 1);
    list_layout->addLayout(list_buttons);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(ok_);
    bottom->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(list_box_, 1);
    layout->addLayout(bottom);

    connect(new_, &QPushButton::clicked, this, &FeatureSpaceDialog::New);
    connect(modify_, &QPushButton::clicked, this, &FeatureSpaceDialog::Modify);
    connect(delete_, &QPushButton::clicked, this, &FeatureSpaceDialog::Delete);
    connect(ok_, &QPushButton::clicked, this, &FeatureSpaceDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &FeatureSpaceDialog::reject);
    connect(name_, &QLineEdit::textChanged, this,
            [this](const QString& text) { model_.SetName(text.toStdString()); });
    connect(description_, &QLineEdit::textChanged, this,
            [this](const QString& text) { model_.SetDescription(text.toStdString()); });
    connect(dimension_, &QSpinBox::valueChanged, this, [this](int value) {
        if (model_.DimensionEnabled()) model_.SetDimension(value);
    });
}

void FeatureSpaceDialog::Open(int mode) {
    show();
    raise();
    activateWindow();
    // The model reads the feature space on the database thread; the fields wait for it.
    auto read = std::make_shared<bool>(false);
    inputs_.Queue(
        post_, [this, mode] { model_.Show(mode); }, [read] { *read = true; },
        [this, read] {
            if (*read)
                Mirror();
            else
                QDialog::reject();  // nothing to edit, or the read failed, which was shown
        });
}

void FeatureSpaceDialog::ApplyEnabled() {
    const bool free = !inputs_.Waiting();
    name_->setEnabled(free);
    description_->setEnabled(free);
    ok_->setEnabled(free);
    dimension_->setEnabled(free && model_.DimensionEnabled());
    for (QWidget* w : {static_cast<QWidget*>(list_), static_cast<QWidget*>(new_),
                       static_cast<QWidget*>(modify_), static_cast<QWidget*>(delete_)})
        w->setEnabled(free && model_.ListEnabled());
}

void FeatureSpaceDialog::Mirror() {
    setWindowTitle(QString::fromStdString(model_.Title()));
    list_box_->setTitle(QString::fromStdString(model_.ListTitle()));
    {
        const QSignalBlocker b1(name_), b2(description_);
        name_->setText(QString::fromStdString(model_.Name()));
        description_->setText(QString::fromStdString(model_.Description()));
    }
    ApplyEnabled();
    {
        // A stored dimension above the limit still shows, so that OK can say what is wrong.
        const QSignalBlocker block(dimension_);
        dimension_->setRange(0, std::max(model_.MaxDimension(), model_.Dimension()));
        dimension_->setToolTip(QStringLiteral("1 to %1, the number of bands of the current sensor")
                                   .arg(model_.MaxDimension()));
    }
    MirrorList();
}

void FeatureSpaceDialog::MirrorList() {
    const int row = list_->currentRow();
    list_->clear();
    for (const std::string& line : model_.Lines()) list_->addItem(QString::fromStdString(line));
    if (row >= 0 && row < list_->count()) list_->setCurrentRow(row);
    const QSignalBlocker block(dimension_);
    dimension_->setValue(model_.Dimension());
}

void FeatureSpaceDialog::New() {
    int wavelength1 = model_.LastWavelength1(), wavelength2 = model_.LastWavelength2();
    if (!band_editor_(wavelength1, wavelength2)) return;
    try {
        model_.New(wavelength1, wavelength2);
    } catch (const OrvaneError& e) {
        frontend_.Error(e.what());
        return;
    }
    MirrorList();
}

void FeatureSpaceDialog::Modify() {
    const int index = list_->currentRow();
    if (index < 0 || index >= static_cast<int>(model_.Entries().size())) return;
    int wavelength1 = model_.Entries()[static_cast<size_t>(index)].wavelength1;
    int wavelength2 = model_.Entries()[static_cast<size_t>(index)].wavelength2;
    if (!band_editor_(wavelength1, wavelength2)) return;
    model_.Modify(index, wavelength1, wavelength2);
    MirrorList();
}

void FeatureSpaceDialog::Delete() {
    if (model_.Delete(list_->currentRow())) MirrorList();
}

void FeatureSpaceDialog::accept() {
    if (inputs_.Waiting()) return;
    // Once stored the working copy is spent, so the dialog closes even if the form's refresh
    // fails afterwards.
    auto stored = std::make_shared<bool>(false);
    ProcessingSession& session = session_;
    MainForm& form = form_;
    QtFrontend& frontend = frontend_;
    inputs_.Queue(
        post_,
        [this, &session, &form, &frontend, stored] {
            model_.Ok();
            *stored = true;
            if (!model_.Notice().empty()) frontend.Report(model_.Notice());
            form.ShowFeatureSpace(session.FeatureSpaceId());
        },
        {},
        [this, stored] {
            if (*stored)
                QDialog::accept();
            else
                Mirror();  // a feature space another session changed shows its newer values
        });
}

}  // namespace orvane
