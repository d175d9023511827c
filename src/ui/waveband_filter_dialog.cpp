// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/waveband_filter_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

#include "base/orvane_error.h"
#include "ui/wavelength_pair_dialog.h"

namespace orvane {

WavebandFilterDialog::WavebandFilterDialog(ProcessingSession& session, QtFrontend& frontend,
                                           WorkPoster post, QWidget* parent)
    : QDialog(parent), model_(session), frontend_(frontend), post_(std::move(post)) {
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
        wait_.widgets.push_back(b);
        return b;
    };
    add("New", "new", &WavebandFilterDialog::New);
    add("Modify", "modify", &WavebandFilterDialog::Modify);
    add("Delete", "delete", &WavebandFilterDialog::Delete);
    auto* defaults = new QPushButton(QStringLiteral("Add default ranges"), this);
    defaults->setObjectName(QStringLiteral("addDefaults"));
    connect(defaults, &QPushButton::clicked, this, [this] {
        // The defaults come with the session's configuration, which the worker holds.
        auto said = std::make_shared<std::string>();
        Queue([this, said] { *said = model_.AddDefaultRanges(); },
              [this, said] {
                  note_->setText(QString::fromStdString(*said));
                  Refill();
              });
    });
    buttons->addWidget(defaults);
    wait_.widgets.push_back(defaults);
    buttons->addStretch();
    QPushButton* ok = add("OK", "ok", &WavebandFilterDialog::accept);
    ok->setDefault(true);
    add("Cancel", "cancel", &WavebandFilterDialog::reject);
    wait_.widgets.pop_back();  // Cancel closes at any time
    wait_.widgets.push_back(list_);

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

void WavebandFilterDialog::Queue(std::function<void()> work, std::function<void()> after) {
    wait_.Queue(post_, std::move(work), {}, std::move(after));
}

void WavebandFilterDialog::Open() {
    note_->clear();
    list_->clear();
    show();
    raise();
    activateWindow();
    list_->setFocus();
    // The ranges are read on the database thread; the list shows them after. Without them OK
    // would store an empty filter, so a failed read (which was shown) closes the dialog.
    auto read = std::make_shared<bool>(false);
    Queue(
        [this, read] {
            model_.Show();
            *read = true;
        },
        [this, read] {
            if (*read)
                Refill();
            else
                QDialog::reject();
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
    try {
        model_.New(lower, upper);
    } catch (const OrvaneError& e) {
        frontend_.Error(e.what());
        return;
    }
    Refill();
}

void WavebandFilterDialog::Modify() {
    const int index = list_->currentRow();
    if (index < 0 || index >= model_.Working().Count()) return;
    int lower = model_.Working().At(index).lower;
    int upper = model_.Working().At(index).upper;
    if (!band_editor_(lower, upper)) return;
    try {
        if (!model_.Modify(index, lower, upper)) return;
    } catch (const OrvaneError& e) {
        frontend_.Error(e.what());
        return;
    }
    Refill();
    list_->setCurrentRow(index);
}

void WavebandFilterDialog::Delete() {
    if (model_.Delete(list_->currentRow())) Refill();
}

void WavebandFilterDialog::accept() {
    if (wait_.Waiting()) return;
    // A refusal leaves the ranges as edited, to be corrected or cancelled.
    auto stored = std::make_shared<bool>(false);
    Queue(
        [this, stored] {
            model_.Ok();
            *stored = true;
        },
        [this, stored] {
            if (*stored) QDialog::accept();
        });
}

}  // namespace orvane
