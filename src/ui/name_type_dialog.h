// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "spectra/species_names.h"

class QButtonGroup;

namespace orvane {

// "Discriminant Analysis": which name of each class labels the error matrix (a NameType of
// kNameTypes). Modal; it opens with "Folder" chosen every time.
class NameTypeDialog : public QDialog {
    Q_OBJECT

  public:
    explicit NameTypeDialog(QWidget* parent);

    int NameType() const;
    QButtonGroup* Group() const { return group_; }

  private:
    QButtonGroup* group_;
};

}  // namespace orvane
