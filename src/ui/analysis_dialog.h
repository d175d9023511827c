// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <vector>

#include "forms/analyses.h"

class QButtonGroup;
class QSpinBox;

namespace orvane {

// The options of a declared analysis side by side, each a group of buttons, a count in a spin
// box beside the choice that takes it. Modal; it opens with the declared defaults every time.
class AnalysisDialog : public QDialog {
    Q_OBJECT

  public:
    AnalysisDialog(const Analysis& analysis, QWidget* parent);

    AnalysisValues Values() const;
    // The buttons of an option by its values, and its count's spin box (null without one).
    QButtonGroup* Group(const std::string& option) const;
    QSpinBox* CountBox(const std::string& option) const;

  private:
    struct Control {
        const AnalysisOption* option;
        QButtonGroup* group;
        QSpinBox* count;
    };
    const Control* Find(const std::string& option) const;

    const Analysis& analysis_;
    std::vector<Control> controls_;
};

}  // namespace orvane
