// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/independent_set_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <memory>

#include "forms/workbench_document.h"
#include "stats/discriminant_analysis.h"

namespace orvane {

IndependentSetDialog::IndependentSetDialog(WorkbenchDocument& doc, QtFrontend& frontend, WorkPoster post,
                                           JobRunner job, QWidget* parent)
    : QDialog(parent), doc_(doc), frontend_(frontend), post_(std::move(post)), job_(std::move(job)) {
    setWindowTitle(QStringLiteral("Discriminant Analysis using independent Dataset"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("studies"));
    auto* label =
        new QLabel(QStringLiteral("Select study to be used as independent dataset"), this);
    label->setBuddy(list_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void IndependentSetDialog::Open() {
    // The studies are read on the database thread; the dialog lists them after.
    auto studies = std::make_shared<std::vector<StudyItem>>();
    WorkbenchDocument& doc = doc_;
    post_([&doc, studies] { *studies = IndependentStudies(doc.Session()); },
          [this, studies] {
              list_->clear();
              for (const StudyItem& study : *studies) {
                  auto* item = new QListWidgetItem(QString::fromStdString(study.name), list_);
                  item->setData(Qt::UserRole, study.study_id);
              }
              show();
              raise();
              activateWindow();
          });
}

void IndependentSetDialog::accept() {
    const QListWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected()) return;
    const int study_id = item->data(Qt::UserRole).toInt();
    if (study_id < 0) return;
    QDialog::accept();
    int name_type = 0;
    if (!frontend_.ChooseNameType(name_type)) return;
    const std::string study = item->text().toStdString();
    auto result = std::make_shared<AccuracyResult>();
    job_(
        [this, result, study_id, name_type] {
            *result = ClassifyIndependentSet(doc_.Statistics(), doc_.Loader(), doc_.Output(),
                                             doc_.Session(), frontend_, study_id, name_type);
        },
        [this, result, study] {
            if (shown_) shown_({IndependentSetTable(*result, study)});
        });
}

}  // namespace orvane
