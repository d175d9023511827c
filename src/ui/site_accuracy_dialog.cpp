// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/site_accuracy_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "forms/help_texts.h"
#include "forms/main_form.h"
#include "stats/discriminant_analysis.h"

namespace orvane {

SiteAccuracyDialog::SiteAccuracyDialog(WorkbenchDocument& doc, MainForm& form, QtFrontend& frontend,
                                       ActionRunner run, JobRunner job, QWidget* parent)
    : QDialog(parent), doc_(doc), form_(form), frontend_(frontend), run_(std::move(run)), job_(std::move(job)) {
    setWindowTitle(QStringLiteral("Site Accuracy"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("classes"));
    auto* explanation =
        new QLabel(QString::fromStdString(SiteAccuracyExplanation()), this);
    explanation->setObjectName(QStringLiteral("explanation"));
    explanation->setWordWrap(true);
    auto* caption = new QLabel(QStringLiteral("&Species of the library:"), this);
    caption->setBuddy(list_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(caption);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] { UpdateOk(); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { accept(); });
    setMinimumWidth(420);
}

void SiteAccuracyDialog::UpdateOk() {
    const bool chosen = !list_->selectedItems().isEmpty();
    ok_->setEnabled(chosen);
    ok_->setToolTip(chosen ? QString() : QString::fromLatin1(kSiteAccuracyNoChoice));
}

void SiteAccuracyDialog::Open() {
    list_->clear();
    for (const FormItem& c : form_.LibraryClasses().items) {
        auto* item = new QListWidgetItem(QString::fromStdString(c.text), list_);
        item->setData(Qt::UserRole, c.data);
    }
    UpdateOk();
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
