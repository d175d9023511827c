// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/analysis_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace orvane {

AnalysisDialog::AnalysisDialog(const Analysis& analysis, QWidget* parent)
    : QDialog(parent), analysis_(analysis) {
    setWindowTitle(QString::fromStdString(analysis.dialog_title));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout();
    layout->addLayout(row);
    for (const AnalysisOption& option : analysis.options) {
        auto* box = new QGroupBox(QString::fromStdString(option.title), this);
        auto* column = new QVBoxLayout(box);
        auto* group = new QButtonGroup(this);
        QSpinBox* count = nullptr;
        for (const AnalysisOption::Word& w : option.words) {
            auto* button = new QRadioButton(QString::fromStdString(w.label), box);
            group->addButton(button, w.value);
            column->addWidget(button);
            if (w.value != option.count.choice) continue;
            // The count belongs to its choice: indented under it, usable only while it is chosen.
            auto* line = new QHBoxLayout;
            line->addSpacing(24);
            line->addWidget(new QLabel(QString::fromStdString(option.count.label), box));
            count = new QSpinBox(box);
            count->setRange(option.count.low, option.count.high);
            count->setSuffix(QString::fromStdString(option.count.suffix));
            count->setValue(option.count.fallback);
            count->setEnabled(false);
            line->addWidget(count);
            line->addStretch();
            column->addLayout(line);
            connect(button, &QRadioButton::toggled, count, &QSpinBox::setEnabled);
        }
        column->addStretch();
        group->button(option.fallback)->setChecked(true);
        row->addWidget(box);
        controls_.push_back({&option, group, count});
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

AnalysisValues AnalysisDialog::Values() const {
    AnalysisValues values = analysis_.Defaults();
    for (const Control& c : controls_) {
        values.Set(c.option->name, c.group->checkedId());
        if (c.count) values.SetCount(c.option->name, c.count->value());
    }
    return values;
}

const AnalysisDialog::Control* AnalysisDialog::Find(const std::string& option) const {
    for (const Control& c : controls_)
        if (c.option->name == option) return &c;
    return nullptr;
}

QButtonGroup* AnalysisDialog::Group(const std::string& option) const {
    const Control* c = Find(option);
    return c ? c->group : nullptr;
}

QSpinBox* AnalysisDialog::CountBox(const std::string& option) const {
    const Control* c = Find(option);
    return c ? c->count : nullptr;
}

}  // namespace orvane
