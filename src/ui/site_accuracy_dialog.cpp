// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/site_accuracy_dialog.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

#include "forms/main_form.h"
#include "stats/discriminant_analysis.h"

namespace orvane {

SiteAccuracyDialog::SiteAccuracyDialog(WorkbenchDocument& doc, MainForm& form, QtFrontend& frontend,
                                       ActionRunner run, JobRunner job, QWidget* parent)
    : QDialog(parent), doc_(doc), form_(form), frontend_(frontend), run_(std::move(run)), job_(std::move(job)) {
    setWindowTitle(QStringLiteral("Site Accuracy"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("classes"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void SiteAccuracyDialog::Open() {
    list_->clear();
    for (const FormItem& c : form_.LibraryClasses().items) {
        auto* item = new QListWidgetItem(QString::fromStdString(c.text), list_);
        item->setData(Qt::UserRole, c.data);
    }
    show();
    raise();
    activateWindow();
}

void SiteAccuracyDialog::accept() {
    const QListWidgetItem* item = list_->currentItem();
    const int species_id = item && item->isSelected() ? item->data(Qt::UserRole).toInt() : 0;
    QDialog::accept();
    if (species_id == 0) return;
    job_(
        [this, species_id] {
            SiteAccuracyCheck(doc_.Statistics(), doc_.Loader(), frontend_, species_id,
                              &doc_.Output());
        },
        {});
}

}  // namespace orvane
