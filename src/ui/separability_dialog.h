#pragma once

#include <QDialog>

#include "stats/separability.h"

class QButtonGroup;

namespace orvane {

// "JM/B Distance": which species name labels the table and which distances it holds. Modal;
// it opens with "Folder" and "JM and B" chosen every time.
class SeparabilityDialog : public QDialog {
    Q_OBJECT

  public:
    explicit SeparabilityDialog(QWidget* parent);

    SeparabilitySettings Settings() const;
    QButtonGroup* Names() const { return names_; }
    QButtonGroup* Distances() const { return distances_; }

  private:
    QButtonGroup* names_;
    QButtonGroup* distances_;
};

}  // namespace orvane
