// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "spectra/species_names.h"
#include "stats/cross_validation.h"

class QButtonGroup;
class QSpinBox;

namespace orvane {

// "Discriminant Analysis": which name of each class labels the error matrix (a NameType of
// kNameTypes) and, with `validation`, whether the spectra are classified by
// resubstitution, leave-one-out or k-fold with K. Modal; it opens with "Folder" and
// resubstitution chosen every time.
class NameTypeDialog : public QDialog {
    Q_OBJECT

  public:
    explicit NameTypeDialog(QWidget* parent, bool validation = false);

    int NameType() const;
    QButtonGroup* Group() const { return group_; }
    // Resubstitution without the validation choice.
    Validation Chosen() const;
    // Buttons by Validation::Kind (0 resubstitution, 1 leave-one-out, 2 k-fold); null without
    // the validation choice.
    QButtonGroup* ValidationGroup() const { return validation_; }
    QSpinBox* Folds() const { return folds_; }

  private:
    QButtonGroup* group_;
    QButtonGroup* validation_ = nullptr;
    QSpinBox* folds_ = nullptr;
};

}  // namespace orvane
