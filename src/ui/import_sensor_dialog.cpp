// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/import_sensor_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <memory>

#include "forms/main_form.h"
#include "imagery/image_sensor.h"
#include "study/sensor_import.h"

namespace orvane {

namespace {

constexpr const char* kImageFilter =
    "Images (*.tif *.tiff *.img *.dat *.bsq *.bil *.bip *.hdr *.vrt *.jp2 *.nc *.h5 *.he5);;"
    "All files (*)";

}  // namespace

ImportSensorDialog::ImportSensorDialog(ProcessingSession& session, MainForm& form,
                                       QtFrontend& frontend, WorkPoster post, JobRunner jobs,
                                       QWidget* parent)
    : QDialog(parent),
      session_(session),
      form_(form),
      frontend_(frontend),
      post_(std::move(post)),
      jobs_(std::move(jobs)) {
    setWindowTitle(QStringLiteral("Import Sensor"));
    auto* sources = new QGroupBox(QStringLiteral("Source"), this);
    auto* source_row = new QHBoxLayout(sources);
    from_file_ = new QRadioButton(QStringLiteral("Sensor definition file"), sources);
    from_image_ = new QRadioButton(QStringLiteral("Image (its usable bands)"), sources);
    from_file_->setChecked(true);
    source_row->addWidget(from_file_);
    source_row->addWidget(from_image_);

    input_ = new QLineEdit(this);
    input_->setObjectName(QStringLiteral("inputFile"));
    input_->setMinimumWidth(360);
    auto* browse = new QPushButton(QStringLiteral("Browse"), this);
    auto* file_row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("Input file"), this);
    label->setBuddy(input_);
    file_row->addWidget(label);
    file_row->addWidget(input_, 1);
    file_row->addWidget(browse);

    types_ = new QGroupBox(QStringLiteral("Sensor Element Response Type"), this);
    auto* type_row = new QHBoxLayout(types_);
    type_group_ = new QButtonGroup(this);
    for (const auto& c : kImportResponseTypes) {
        auto* button = new QRadioButton(QString::fromUtf8(c.label), types_);
        type_group_->addButton(button, c.value);
        type_row->addWidget(button);
    }
    type_group_->button(0)->setChecked(true);

    image_box_ = new QGroupBox(QStringLiteral("Image"), this);
    auto* image_form = new QFormLayout(image_box_);
    name_ = new QLineEdit(image_box_);
    name_->setPlaceholderText(QStringLiteral("the image's file name"));
    wavelengths_ = new QLineEdit(image_box_);
    wavelengths_->setPlaceholderText(QStringLiteral("only where the image gives none"));
    wavelengths_->setToolTip(QStringLiteral(
        "A text file of one line per band: the centre wavelength in nm, optionally followed "
        "by the FWHM; it replaces the image's own wavelengths."));
    auto* browse_wavelengths = new QPushButton(QStringLiteral("Browse"), image_box_);
    auto* wavelengths_row = new QHBoxLayout;
    wavelengths_row->addWidget(wavelengths_, 1);
    wavelengths_row->addWidget(browse_wavelengths);
    image_form->addRow(QStringLiteral("Sensor name"), name_);
    image_form->addRow(QStringLiteral("Wavelengths file"), wavelengths_row);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sources);
    layout->addLayout(file_row);
    layout->addWidget(types_);
    layout->addWidget(image_box_);
    layout->addWidget(buttons);
    ShowSource();

    connect(from_image_, &QRadioButton::toggled, this, [this] { ShowSource(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, [this] {
        const std::string path =
            from_image_->isChecked()
                ? frontend_.ChooseOpenFile("Image", kImageFilter)
                : frontend_.ChooseOpenFile("Sensor definition file",
                                           "Text files (*.txt);;All files (*)");
        if (!path.empty()) input_->setText(QString::fromStdString(path));
    });
    connect(browse_wavelengths, &QPushButton::clicked, this, [this] {
        const std::string path =
            frontend_.ChooseOpenFile("Wavelengths file", "Text files (*.txt *.csv);;All files (*)");
        if (!path.empty()) wavelengths_->setText(QString::fromStdString(path));
    });
}

void ImportSensorDialog::ShowSource() {
    const bool image = from_image_->isChecked();
    types_->setEnabled(!image);
    image_box_->setEnabled(image);
}

void ImportSensorDialog::accept() {
    QDialog::accept();
    const std::string path = input_->text().trimmed().toStdString();
    if (path.empty()) return;
    if (from_image_->isChecked()) {
        // The job owns what it uses: it runs after this returns.
        auto request = std::make_shared<ImageSensorRequest>();
        request->image = path;
        request->name = name_->text().trimmed().toStdString();
        request->wavelengths_file = wavelengths_->text().trimmed().toStdString();
        jobs_([this, request] {
            form_.AddSensor(ImportImageSensor(session_, frontend_, *request));
        }, {});
        return;
    }
    const int type = type_group_->checkedId();
    post_([this, path, type] { form_.AddSensor(ImportSensor(session_, frontend_, path, type)); },
          {});
}

}  // namespace orvane
