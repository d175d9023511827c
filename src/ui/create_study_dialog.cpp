// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/create_study_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "forms/main_form.h"
#include "study/study_management.h"

namespace orvane {

CreateStudyDialog::CreateStudyDialog(MainForm& form, QtFrontend& frontend, WorkPoster post,
                                     QWidget* parent)
    : QDialog(parent), form_(form), frontend_(frontend), post_(std::move(post)) {
    setWindowTitle(QStringLiteral("Create a new study"));
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("studyName"));
    description_ = new QLineEdit(this);
    description_->setObjectName(QStringLiteral("studyDescription"));
    data_path_ = new QLineEdit(this);
    data_path_->setObjectName(QStringLiteral("dataPath"));
    data_path_->setMinimumWidth(320);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("pathStatus"));
    min_samples_ = new QSpinBox(this);
    min_samples_->setObjectName(QStringLiteral("minSamples"));
    min_samples_->setRange(0, 10000);
    min_samples_->setSuffix(QStringLiteral(" spectra"));
    min_samples_->setValue(StudyFields().min_samples);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    browse->setObjectName(QStringLiteral("browse"));

    auto* path_row = new QHBoxLayout;
    path_row->addWidget(data_path_, 1);
    path_row->addWidget(browse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Study name"), name_);
    layout->addRow(QStringLiteral("Study description"), description_);
    layout->addRow(QStringLiteral("Species directory path"), path_row);
    layout->addRow(QString(), status_);
    layout->addRow(QStringLiteral("Number of samples per species for library inclusion"),
                   min_samples_);
    layout->addRow(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, &CreateStudyDialog::Browse);
    connect(data_path_, &QLineEdit::textChanged, this, [this](const QString& path) {
        status_->setText(QString::fromStdString(FolderBrowserStatusText(path.toStdString())));
    });
}

void CreateStudyDialog::Open() {
    show();
    raise();
    activateWindow();
}

void CreateStudyDialog::Browse() {
    // Cancelling the chooser leaves the path as it was.
    const std::string folder =
        frontend_.ChooseFolder("Current Selection", data_path_->text().toStdString());
    if (!folder.empty()) data_path_->setText(QString::fromStdString(folder));
}

void CreateStudyDialog::accept() {
    StudyFields fields;
    fields.name = name_->text().toStdString();
    fields.description = description_->text().toStdString();
    fields.data_path = data_path_->text().toStdString();
    fields.min_samples = min_samples_->value();
    // One study per OK: the button waits for the server's answer.
    if (!ok_->isEnabled()) return;
    ok_->setEnabled(false);
    if (!PostThen(
            post_, [this, fields] { form_.CreateStudy(fields, frontend_); },
            [this] { QDialog::accept(); }, [this] { ok_->setEnabled(true); }))
        ok_->setEnabled(true);
}

}  // namespace orvane
