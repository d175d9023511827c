// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/sensor_comparison_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "stats/cross_validation.h"

namespace orvane {

SensorComparisonDialog::SensorComparisonDialog(WorkbenchDocument& doc, QtFrontend& frontend,
                                               WorkPoster post, JobRunner job, QWidget* parent)
    : QDialog(parent), form_(doc), frontend_(frontend), post_(std::move(post)), job_(std::move(job)) {
    setWindowTitle(QStringLiteral("Compare Sensors"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("sensors"));
    list_->setSelectionMode(QAbstractItemView::MultiSelection);
    auto* label = new QLabel(
        QStringLiteral("Sensors to compare in the current chain and feature space"), this);
    label->setBuddy(list_);
    validation_ = new QComboBox(this);
    validation_->setObjectName(QStringLiteral("validation"));
    // Listed as the report names them; the form keeps the words the command line takes.
    for (const std::string& v : SensorComparisonForm::Validations())
        validation_->addItem(QString::fromStdString(ParseValidation(v).Name()));
    auto* options = new QFormLayout();
    options->addRow(QStringLiteral("&Validation:"), validation_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(list_);
    layout->addLayout(options);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void SensorComparisonDialog::Open() {
    // The sensors are read on the database thread; the dialog lists them after.
    post_([this] { form_.Refresh(); },
          [this] {
              list_->clear();
              for (int i = 0; i < form_.Sensors().Count(); ++i) {
                  const FormItem& sensor = form_.Sensors().items[static_cast<size_t>(i)];
                  auto* item = new QListWidgetItem(QString::fromStdString(sensor.text), list_);
                  item->setSelected(form_.Chosen(i));
              }
              show();
              raise();
              activateWindow();
          });
}

void SensorComparisonDialog::accept() {
    for (int i = 0; i < list_->count(); ++i) form_.SetChosen(i, list_->item(i)->isSelected());
    form_.SetValidation(validation_->currentIndex());
    const std::string reason = form_.DisabledReason();
    if (!reason.empty()) {
        frontend_.Error(reason);
        return;
    }
    QDialog::accept();
    auto comparison = std::make_shared<SensorComparison>();
    job_([this, comparison] { *comparison = form_.Run(frontend_); },
         [this, comparison] {
             if (shown_) shown_(*comparison);
         });
}

}  // namespace orvane
