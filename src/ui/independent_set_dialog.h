// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "forms/result_tables.h"

#include "ui/qt_frontend.h"

class QListWidget;

namespace orvane {

class WorkbenchDocument;

// "Discriminant Analysis using independent Dataset": another study whose species are
// classified against the current library. OK without a study keeps the dialog open.
class IndependentSetDialog : public QDialog {
    Q_OBJECT

  public:
    IndependentSetDialog(WorkbenchDocument& doc, QtFrontend& frontend, WorkPoster post, JobRunner job,
                         QWidget* parent);

    // Lists the studies other than the current one and shows the dialog. The list is filled
    // at every showing: a study created, deleted or made current since the last one would
    // otherwise be offered wrongly.
    void Open();
    void accept() override;

    QListWidget* List() const { return list_; }
    // Where the error matrix of a completed run is shown.
    void SetResultShown(std::function<void(const std::vector<ResultTable>&)> shown) {
        shown_ = std::move(shown);
    }

  private:
    WorkbenchDocument& doc_;
    QtFrontend& frontend_;
    WorkPoster post_;
    JobRunner job_;
    QListWidget* list_;
    std::function<void(const std::vector<ResultTable>&)> shown_;
};

}  // namespace orvane
