// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/waveband_filter_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/wavelength_pair_dialog.h"

namespace orvane {

WavebandFilterDialog::WavebandFilterDialog(ProcessingSession& session, ActionRunner run,
                                           WorkPoster post, QWidget* parent)
    : QDialog(parent), model_(session), run_(std::move(run)), post_(std::move(post)) {
    setWindowTitle(QStringLiteral("Waveband Filter Setup"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("ranges"));
    band_ = new WavelengthPairDialog(this, QStringLiteral("Filter band definition"),
                                     QStringLiteral("Lower wavelength"),
                                     QStringLiteral("Upper wavelength"),
                                     WavebandFilterSetup::kLowest, WavebandFilterSetup::kHighest);
    band_editor_ = [this](int& lower, int& upper) {
        if (lower == kNoRange && upper == kNoRange)
            band_->Clear();
        else
            band_->SetValues(lower, upper);
        if (band_->exec() != QDialog::Accepted) return false;
        lower = band_->First();
        upper = band_->Second();
        return true;
    };

    auto* caption = new QLabel(QStringLiteral("Waveband filter [nm]"), this);
    caption->setBuddy(list_);
    auto* buttons = new QVBoxLayout;
    auto add = [&](const char* text, const char* name, void (WavebandFilterDialog::*slot)()) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    add("New", "new", &WavebandFilterDialog::New);
    add("Modify", "modify", &WavebandFilterDialog::Modify);
    add("Delete", "delete", &WavebandFilterDialog::Delete);
    auto* defaults = new QPushButton(QStringLiteral("Add default ranges"), this);
    defaults->setObjectName(QStringLiteral("addDefaults"));
    connect(defaults, &QPushButton::clicked, this, [this] {
        std::string said;
        run_([&] { said = model_.AddDefaultRanges(); });
        note_->setText(QString::fromStdString(said));
        Refill();
    });
    buttons->addWidget(defaults);
    buttons->addStretch();
    QPushButton* ok = add("OK", "ok", &WavebandFilterDialog::accept);
    ok->setDefault(true);
    add("Cancel", "cancel", &WavebandFilterDialog::reject);

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("note"));
    note_->setWordWrap(true);
    auto* left = new QVBoxLayout;
    left->addWidget(caption);
    left->addWidget(list_);
    left->addWidget(note_);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
}

void WavebandFilterDialog::Open() {
    note_->clear();
    // The ranges are read on the database thread; the dialog shows them after.
    post_([this] { model_.Show(); },
          [this] {
              Refill();
              show();
              raise();
              activateWindow();
          });
}

void WavebandFilterDialog::Refill() {
    list_->clear();
    for (const std::string& line : model_.Lines()) list_->addItem(QString::fromStdString(line));
}

void WavebandFilterDialog::New() {
    // A new range is typed afresh: the last one's values would only have to be overwritten.
    int lower = kNoRange, upper = kNoRange;
    if (!band_editor_(lower, upper)) return;
    if (run_([&] { model_.New(lower, upper); })) Refill();
}

void WavebandFilterDialog::Modify() {
    const int index = list_->currentRow();
    if (index < 0 || index >= model_.Working().Count()) return;
    int lower = model_.Working().At(index).lower;
    int upper = model_.Working().At(index).upper;
    if (!band_editor_(lower, upper)) return;
    if (!run_([&] { model_.Modify(index, lower, upper); })) return;
    Refill();
    list_->setCurrentRow(index);
}

void WavebandFilterDialog::Delete() {
    if (model_.Delete(list_->currentRow())) Refill();
}

void WavebandFilterDialog::accept() {
    if (run_([&] { model_.Ok(); })) QDialog::accept();
}

}  // namespace orvane
