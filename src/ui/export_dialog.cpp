// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/export_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "export/export_formats.h"
#include "forms/workbench_document.h"
#include "study/study_loader.h"

namespace orvane {

namespace {

// A titled box of radio buttons whose ids are their positions.
QButtonGroup* RadioBox(QWidget* parent, QGroupBox*& box, const char* title,
                       const std::vector<std::string>& texts) {
    box = new QGroupBox(QString::fromLatin1(title), parent);
    auto* layout = new QVBoxLayout(box);
    auto* group = new QButtonGroup(parent);
    int id = 0;
    for (const std::string& text : texts) {
        auto* button = new QRadioButton(QString::fromStdString(text), box);
        group->addButton(button, id++);
        layout->addWidget(button);
    }
    return group;
}

QCheckBox* Check(QWidget* parent, const char* text) {
    return new QCheckBox(QString::fromLatin1(text), parent);
}

}  // namespace

ExportDialog::ExportDialog(WorkbenchDocument& doc, QtFrontend& frontend, ActionRunner run, JobRunner job, QWidget* parent)
    : QDialog(parent), doc_(doc), frontend_(frontend), run_(std::move(run)), job_(std::move(job)) {
    setWindowTitle(QStringLiteral("File Export"));
    QGroupBox *stage_box, *level_box, *restriction_box, *details_box, *names_box;
    // Each stage button's id is its stage, so a click names the stage itself.
    stage_box = new QGroupBox(QStringLiteral("Processing Stage"), this);
    auto* stage_layout = new QVBoxLayout(stage_box);
    stage_ = new QButtonGroup(this);
    for (const StageDeclaration& s : ExportForm::StageChoices()) {
        auto* button = new QRadioButton(QString::fromLatin1(s.label), stage_box);
        stage_->addButton(button, static_cast<int>(s.id));
        stage_layout->addWidget(button);
    }
    interpolate_ = Check(this, "Interpolate (Synth. stage only)");
    stage_box->layout()->addWidget(interpolate_);
    level_ = RadioBox(this, level_box, "Level", {"Study", "Species"});
    level_->button(0)->setChecked(true);
    level_->button(1)->setEnabled(ExportForm::SpeciesLevelEnabled());
    restriction_ =
        RadioBox(this, restriction_box, "Species Restriction", kRestrictions.Labels());
    details_ = RadioBox(this, details_box, "Data Details", kSpectraDetails.Labels());
    names_ = RadioBox(this, names_box, "Names", kExportNameTypes.Labels());
    format_ = new QComboBox(this);
    format_->setObjectName(QStringLiteral("format"));
    for (const ExportFormatEntry& f : ExportFormatRegistry()) {
        format_->addItem(QString::fromUtf8(f.label), static_cast<int>(f.id));
        if (f.tooltip)
            format_->setItemData(format_->count() - 1, QString::fromUtf8(f.tooltip),
                                 Qt::ToolTipRole);
    }
    include_filtered_ = Check(this, "Include filtered bands");
    transpose_ = Check(this, "Transpose (Observations as columns)");
    offset_ = Check(this, "Offset by [%]");
    offset_value_ = new QSpinBox(this);
    offset_value_->setObjectName(QStringLiteral("offsetValue"));
    offset_value_->setRange(0, 100);
    sort_ = Check(this, "Sort species numerically");
    number_format_ = new QComboBox(this);
    number_format_->setObjectName(QStringLiteral("numberFormat"));
    for (const char* label : ExportForm::NumberFormatLabels())
        number_format_->addItem(QString::fromLatin1(label));
    number_format_->setToolTip(
        QStringLiteral("How values and wavelength headers are written; Plain is the shortest "
                       "decimal that reads back exactly. The binary library is not affected."));
    ids_ = Check(this, "Site and spectrum numbers");
    ids_->setToolTip(QStringLiteral(
        "Adds each spectrum's site and spectrum number beside its species (the binary library "
        "names its spectra by them anyway). Not for means per species."));

    auto* format_row = new QHBoxLayout;
    auto* format_label = new QLabel(QStringLiteral("Format"), this);
    format_label->setBuddy(format_);
    format_row->addWidget(format_label);
    format_row->addWidget(format_, 1);
    auto* offset_row = new QHBoxLayout;
    offset_row->addWidget(offset_);
    offset_row->addWidget(offset_value_);
    offset_row->addStretch();
    auto* options = new QVBoxLayout;
    options->addLayout(format_row);
    auto* number_row = new QHBoxLayout;
    auto* number_label = new QLabel(QStringLiteral("Numbers"), this);
    number_label->setBuddy(number_format_);
    number_row->addWidget(number_label);
    number_row->addWidget(number_format_, 1);
    options->addLayout(number_row);
    options->addWidget(ids_);
    options->addWidget(include_filtered_);
    options->addWidget(transpose_);
    options->addLayout(offset_row);
    options->addWidget(sort_);
    options->addStretch();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* grid = new QGridLayout(this);
    grid->addWidget(stage_box, 0, 0);
    grid->addWidget(restriction_box, 0, 1);
    grid->addWidget(details_box, 0, 2);
    grid->addWidget(level_box, 1, 0);
    grid->addWidget(names_box, 1, 1);
    grid->addLayout(options, 1, 2);
    grid->addWidget(buttons, 2, 0, 1, 3);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto on = [this](auto* sender, auto signal, auto apply) {
        connect(sender, signal, this, [this, apply](auto value) {
            apply(value);
            Mirror();
        });
    };
    ExportSettings& s = model_.settings;
    on(stage_, &QButtonGroup::idClicked,
       [this](int id) { model_.ChooseStage(static_cast<Stage>(id)); });
    on(restriction_, &QButtonGroup::idClicked, [&s](int id) { s.species_restriction = id; });
    on(details_, &QButtonGroup::idClicked, [&s](int id) { s.data_details = id; });
    on(names_, &QButtonGroup::idClicked, [&s](int id) { s.name_type = id; });
    on(format_, &QComboBox::currentIndexChanged,
       [this, &s](int index) { s.format = format_->itemData(index).toInt(); });
    on(interpolate_, &QCheckBox::toggled, [this](bool b) { model_.SetInterpolate(b); });
    on(include_filtered_, &QCheckBox::toggled, [&s](bool b) { s.include_filtered = b; });
    on(transpose_, &QCheckBox::toggled, [&s](bool b) { s.transpose = b; });
    on(offset_, &QCheckBox::toggled, [this](bool b) { model_.offset_checked = b; });
    on(offset_value_, &QSpinBox::valueChanged, [this](int v) { model_.offset_value = v; });
    on(sort_, &QCheckBox::toggled, [&s](bool b) { s.sort_numerically = b; });
    on(number_format_, &QComboBox::currentIndexChanged, [&s](int i) { s.number_format = i; });
    on(ids_, &QCheckBox::toggled, [&s](bool b) { s.ids = b; });
    Mirror();
}

void ExportDialog::Mirror() {
    const ExportSettings& s = model_.settings;
    const QSignalBlocker blocks[] = {
        QSignalBlocker(format_),    QSignalBlocker(interpolate_), QSignalBlocker(include_filtered_),
        QSignalBlocker(transpose_), QSignalBlocker(offset_),      QSignalBlocker(offset_value_),
        QSignalBlocker(sort_),      QSignalBlocker(number_format_), QSignalBlocker(ids_)};
    stage_->button(static_cast<int>(s.stage))->setChecked(true);
    restriction_->button(s.species_restriction)->setChecked(true);
    details_->button(s.data_details)->setChecked(true);
    names_->button(s.name_type)->setChecked(true);
    format_->setCurrentIndex(format_->findData(s.format));
    interpolate_->setChecked(model_.Interpolate());
    interpolate_->setEnabled(model_.InterpolateEnabled());
    include_filtered_->setChecked(s.include_filtered);
    transpose_->setChecked(s.transpose);
    offset_->setChecked(model_.offset_checked);
    offset_value_->setValue(model_.offset_value);
    offset_value_->setEnabled(model_.OffsetEditEnabled());
    sort_->setChecked(s.sort_numerically);
    number_format_->setCurrentIndex(s.number_format);
    // A disabled box shows what the export will do: no ids for species means.
    ids_->setChecked(s.ids && model_.IdsEnabled());
    ids_->setEnabled(model_.IdsEnabled());
}

void ExportDialog::Open() {
    show();
    raise();
    activateWindow();
}

void ExportDialog::accept() {
    QDialog::accept();
    job_(
        [this, settings = model_.RunSettings()] {
            ExportSpectra(doc_.Loader(), doc_.Output(), doc_.Session(), frontend_, settings);
        },
        {});
}

}  // namespace orvane
