// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/map_image_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <memory>

#include "base/orvane_error.h"
#include "forms/workbench_document.h"
#include "spectra/species_names.h"
#include "stats/map_accuracy.h"

namespace orvane {

namespace {

const char* const kImageFilter =
    "Images (*.tif *.tiff *.img *.bsq *.bil *.bip *.dat *.hdr *.vrt);;All files (*)";

// A field with a button that fills it from a file chooser.
QWidget* WithBrowse(QLineEdit* field, std::function<void()> browse, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field, 1);
    auto* button = new QToolButton(row);
    button->setText(QStringLiteral("..."));
    QObject::connect(button, &QToolButton::clicked, row, std::move(browse));
    layout->addWidget(button);
    return row;
}

// The form above OK and Cancel.
void LayOut(QDialog* dialog, QFormLayout* form) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
    dialog->setMinimumWidth(560);
}

}  // namespace

MapImageDialog::MapImageDialog(WorkbenchDocument& doc, QtFrontend& frontend, JobRunner job,
                               QWidget* parent)
    : QDialog(parent), doc_(doc), frontend_(frontend), job_(std::move(job)) {
    setWindowTitle(QStringLiteral("Map Image"));
    auto* form = new QFormLayout;
    image_ = new QLineEdit(this);
    image_->setObjectName(QStringLiteral("image"));
    form->addRow(QStringLiteral("&Image:"), WithBrowse(image_, [this] {
                     const std::string path = frontend_.ChooseOpenFile("Image to map", kImageFilter);
                     if (path.empty()) return;
                     image_->setText(QString::fromStdString(path));
                     // The outputs go beside the image unless the user chose otherwise.
                     if (classes_->text().isEmpty()) {
                         const QFileInfo info(QString::fromStdString(path));
                         const QString stem = info.absolutePath() + QLatin1Char('/') +
                                              info.completeBaseName();
                         classes_->setText(stem + QStringLiteral("_classes.tif"));
                         rules_->setText(stem + QStringLiteral("_rules.tif"));
                     }
                 }, this));
    wavelengths_ = new QLineEdit(this);
    wavelengths_->setPlaceholderText(QStringLiteral("the image's own"));
    form->addRow(QStringLiteral("&Wavelengths file:"), WithBrowse(wavelengths_, [this] {
                     const std::string path = frontend_.ChooseOpenFile(
                         "Wavelengths of the image's bands", "Text files (*.txt *.csv);;All files (*)");
                     if (!path.empty()) wavelengths_->setText(QString::fromStdString(path));
                 }, this));
    classes_ = new QLineEdit(this);
    classes_->setObjectName(QStringLiteral("classes"));
    form->addRow(QStringLiteral("&Class raster:"), WithBrowse(classes_, [this] {
                     const std::string path = frontend_.ChooseSaveFile(
                         "Class raster", classes_->text().toStdString(), "GeoTIFF (*.tif)");
                     if (!path.empty()) classes_->setText(QString::fromStdString(path));
                 }, this));
    with_rules_ = new QCheckBox(QStringLiteral("&Rules raster:"), this);
    rules_ = new QLineEdit(this);
    rules_->setEnabled(false);
    connect(with_rules_, &QCheckBox::toggled, rules_, &QLineEdit::setEnabled);
    form->addRow(with_rules_, rules_);

    threshold_kind_ = new QComboBox(this);
    threshold_kind_->addItems({QStringLiteral("None: every pixel takes its best class"),
                               QStringLiteral("Chi-square quantile of the distance"),
                               QStringLiteral("Posterior probability below"),
                               QStringLiteral("Spectral angle above (radians)")});
    threshold_value_ = new QDoubleSpinBox(this);
    threshold_value_->setDecimals(4);
    auto* threshold = new QWidget(this);
    auto* threshold_row = new QHBoxLayout(threshold);
    threshold_row->setContentsMargins(0, 0, 0, 0);
    threshold_row->addWidget(threshold_kind_, 1);
    threshold_row->addWidget(threshold_value_);
    form->addRow(QStringLiteral("&Unclassified:"), threshold);
    connect(threshold_kind_, &QComboBox::currentIndexChanged, this,
            [this] { ThresholdKindChanged(); });
    ThresholdKindChanged();

    with_window_ = new QCheckBox(QStringLiteral("&Window:"), this);
    auto* window = new QWidget(this);
    auto* window_row = new QHBoxLayout(window);
    window_row->setContentsMargins(0, 0, 0, 0);
    const char* labels[] = {"x ", "y ", "width ", "height "};
    for (int i = 0; i < 4; ++i) {
        window_[i] = new QSpinBox(this);
        window_[i]->setRange(i < 2 ? 0 : 1, 10000000);
        window_[i]->setPrefix(QString::fromLatin1(labels[i]));
        window_[i]->setEnabled(false);
        window_row->addWidget(window_[i]);
        connect(with_window_, &QCheckBox::toggled, window_[i], &QSpinBox::setEnabled);
    }
    form->addRow(with_window_, window);

    names_ = new QComboBox(this);
    for (const auto& c : kNameTypes) names_->addItem(QString::fromUtf8(c.label), c.value);
    names_->setCurrentIndex(names_->findData(static_cast<int>(kFolderName)));
    form->addRow(QStringLiteral("Class &names:"), names_);

    LayOut(this, form);
}

void MapImageDialog::ThresholdKindChanged() {
    const int kind = threshold_kind_->currentIndex();
    threshold_value_->setEnabled(kind != 0);
    if (kind == 3) {
        threshold_value_->setRange(0.0001, 3.1416);
        threshold_value_->setSuffix(QStringLiteral(" rad"));
        threshold_value_->setValue(0.1);
    } else {
        threshold_value_->setRange(0.0001, 0.9999);
        threshold_value_->setSuffix(QString());
        threshold_value_->setValue(kind == 1 ? 0.99 : 0.5);
    }
}

void MapImageDialog::Open() {
    show();
    raise();
    activateWindow();
}

MapImageOptions MapImageDialog::Options() const {
    MapImageOptions o;
    o.image = image_->text().trimmed().toStdString();
    if (o.image.empty()) throw OrvaneError("Choose the image to map.");
    o.wavelengths_file = wavelengths_->text().trimmed().toStdString();
    o.request.class_path = classes_->text().trimmed().toStdString();
    if (o.request.class_path.empty()) throw OrvaneError("Choose where the class raster goes.");
    if (with_rules_->isChecked()) {
        o.request.rules_path = rules_->text().trimmed().toStdString();
        if (o.request.rules_path.empty() || o.request.rules_path == o.request.class_path)
            throw OrvaneError("Name a rules raster other than the class raster.");
    }
    static const char* const kinds[] = {"", "chi2:", "prob:", "angle:"};
    const int kind = threshold_kind_->currentIndex();
    if (kind > 0)
        o.request.threshold = MapThreshold::Parse(kinds[kind] +
                                                  QString::number(threshold_value_->value(), 'g', 10).toStdString());
    if (with_window_->isChecked())
        o.request.window = ImageWindow{window_[0]->value(), window_[1]->value(),
                                       window_[2]->value(), window_[3]->value()};
    o.name_type = names_->currentData().toInt();
    return o;
}

void MapImageDialog::accept() {
    MapImageOptions options;
    try {
        options = Options();
    } catch (const OrvaneError& e) {
        // The dialog stays open with what was typed.
        frontend_.Error(e.what());
        return;
    }
    QDialog::accept();
    auto result = std::make_shared<MapImageResult>();
    job_([this, result, options] { *result = MapImage(doc_.Space(), frontend_, options); },
         [this, result] {
             if (shown_) shown_(*result);
         });
}

MapAccuracyDialog::MapAccuracyDialog(WorkbenchDocument& doc, QtFrontend& frontend, JobRunner job,
                                     QWidget* parent)
    : QDialog(parent), doc_(doc), frontend_(frontend), job_(std::move(job)) {
    setWindowTitle(QStringLiteral("Map Accuracy"));
    auto* form = new QFormLayout;
    auto field = [this, form](QLineEdit*& edit, const char* label, const char* title,
                              const char* filter, const char* placeholder) {
        edit = new QLineEdit(this);
        edit->setPlaceholderText(QString::fromUtf8(placeholder));
        QLineEdit* target = edit;
        form->addRow(QString::fromUtf8(label), WithBrowse(edit, [this, target, title, filter] {
                         const std::string path = frontend_.ChooseOpenFile(title, filter);
                         if (!path.empty()) target->setText(QString::fromStdString(path));
                     }, this));
    };
    field(map_, "&Class map:", "Class map", "GeoTIFF (*.tif *.tiff);;All files (*)", "");
    field(reference_, "&Reference:", "Reference labels",
          "Rasters and point tables (*.tif *.tiff *.csv);;All files (*)",
          "a raster of the map's grid, or a CSV of points x,y,class");
    field(classes_, "C&lass mapping:", "Reference classes to map classes",
          "CSV files (*.csv);;All files (*)", "optional: a CSV reference,map");
    LayOut(this, form);
}

void MapAccuracyDialog::Open(const std::string& map) {
    if (map_->text().isEmpty()) map_->setText(QString::fromStdString(map));
    show();
    raise();
    activateWindow();
}

void MapAccuracyDialog::accept() {
    MapAccuracyOptions options;
    options.map_path = map_->text().trimmed().toStdString();
    options.reference_path = reference_->text().trimmed().toStdString();
    options.classes_path = classes_->text().trimmed().toStdString();
    if (options.map_path.empty() || options.reference_path.empty()) {
        // The dialog stays open with what was typed.
        frontend_.Error("Choose the class map and its reference labels.");
        return;
    }
    QDialog::accept();
    auto tables = std::make_shared<std::vector<ResultTable>>();
    job_([this, tables, options] {
             const MapAccuracy result = RunMapAccuracy(options, doc_.Output(), frontend_);
             if (!result.path.empty()) *tables = MapAccuracyTables(result);
         },
         [this, tables] {
             if (shown_ && !tables->empty()) shown_(*tables);
         });
}

}  // namespace orvane
