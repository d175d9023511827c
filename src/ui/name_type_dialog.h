// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QButtonGroup;

namespace orvane {

// "Discriminant Analysis": which name of each class labels the error matrix (0 common,
// 1 Maori, 2 Latin, 3 folder). Modal; it opens with "Folder" chosen every time.
class NameTypeDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kFolder = 3;

    explicit NameTypeDialog(QWidget* parent);

    int NameType() const;
    QButtonGroup* Group() const { return group_; }

  private:
    QButtonGroup* group_;
};

}  // namespace orvane
