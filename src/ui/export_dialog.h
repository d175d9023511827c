// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "forms/export_form.h"
#include "ui/qt_frontend.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QSpinBox;

namespace orvane {

class WorkbenchDocument;

// "File Export": shows an ExportForm and runs the export on OK. OK only hides the dialog, so
// every choice stays for the next export of the run.
class ExportDialog : public QDialog {
    Q_OBJECT

  public:
    ExportDialog(WorkbenchDocument& doc, QtFrontend& frontend, ActionRunner run, JobRunner job, QWidget* parent);

    void Open();
    void accept() override;

    const ExportForm& Model() const { return model_; }
    QButtonGroup* StageGroup() const { return stage_; }
    QButtonGroup* LevelGroup() const { return level_; }
    QButtonGroup* RestrictionGroup() const { return restriction_; }
    QButtonGroup* DetailsGroup() const { return details_; }
    QButtonGroup* NamesGroup() const { return names_; }
    QComboBox* Format() const { return format_; }
    QCheckBox* Interpolate() const { return interpolate_; }
    QCheckBox* IncludeFiltered() const { return include_filtered_; }
    QCheckBox* Transpose() const { return transpose_; }
    QCheckBox* Offset() const { return offset_; }
    QSpinBox* OffsetValue() const { return offset_value_; }
    QCheckBox* SortNumerically() const { return sort_; }
    QComboBox* NumberFormat() const { return number_format_; }
    QCheckBox* Ids() const { return ids_; }

  private:
    void Mirror();

    WorkbenchDocument& doc_;
    QtFrontend& frontend_;
    ActionRunner run_;
    JobRunner job_;
    ExportForm model_;
    QButtonGroup* stage_;
    QButtonGroup* level_;
    QButtonGroup* restriction_;
    QButtonGroup* details_;
    QButtonGroup* names_;
    QComboBox* format_;
    QCheckBox* interpolate_;
    QCheckBox* include_filtered_;
    QCheckBox* transpose_;
    QCheckBox* offset_;
    QSpinBox* offset_value_;
    QCheckBox* sort_;
    QComboBox* number_format_;
    QCheckBox* ids_;
};

}  // namespace orvane
