// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/import_sensor_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "forms/main_form.h"
#include "study/sensor_import.h"

namespace orvane {

ImportSensorDialog::ImportSensorDialog(ProcessingSession& session, MainForm& form,
                                       QtFrontend& frontend, ActionRunner run, QWidget* parent)
    : QDialog(parent), session_(session), form_(form), frontend_(frontend), run_(std::move(run)) {
    setWindowTitle(QStringLiteral("Import Sensor"));
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

    auto* types = new QGroupBox(QStringLiteral("Sensor Element Response Type"), this);
    auto* type_row = new QHBoxLayout(types);
    type_group_ = new QButtonGroup(this);
    for (const auto& c : kImportResponseTypes) {
        auto* button = new QRadioButton(QString::fromUtf8(c.label), types);
        type_group_->addButton(button, c.value);
        type_row->addWidget(button);
    }
    type_group_->button(0)->setChecked(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(file_row);
    layout->addWidget(types);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, [this] {
        const std::string path =
            frontend_.ChooseOpenFile("Sensor definition file", "Text files (*.txt);;All files (*)");
        if (!path.empty()) input_->setText(QString::fromStdString(path));
    });
}

void ImportSensorDialog::accept() {
    QDialog::accept();
    const std::string path = input_->text().trimmed().toStdString();
    if (path.empty()) return;
    const int type = type_group_->checkedId();
    run_([&] { form_.AddSensor(ImportSensor(session_, frontend_, path, type)); });
}

}  // namespace orvane
