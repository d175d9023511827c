// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QWidget>
#include <map>
#include <string>

#include "ui/qt_frontend.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QSplitter;

namespace orvane {

class MainForm;
struct FormState;

// The main form's widgets. It holds no state of its own: Mirror() shows a copy of what
// MainForm holds, and every control queues the user's action on MainForm for the database
// thread. A choice still waiting there stays shown as the user made it, whatever the states
// of the work before it show.
class WorkbenchView : public QWidget {
    Q_OBJECT

  public:
    WorkbenchView(MainForm& form, WorkPoster post, QWidget* parent = nullptr);

    void Mirror(const FormState& state);
    // Forgets the choices that were waiting: the work queue has done them all.
    void ClearPending() { pending_.clear(); }
    QSize sizeHint() const override;
    // Replaces the report text and scrolls so that the newest entry is in view.
    void ShowReport(const std::string& text);
    // The chain settings and loaded spectra answer input only while enabled; the report stays
    // readable either way.
    void SetFormEnabled(bool enabled);

    QComboBox* StudyList() const { return study_; }
    QComboBox* SmoothingList() const { return smoothing_; }
    QComboBox* SensorList() const { return sensor_; }
    QComboBox* FeatureSpaceList() const { return feature_space_; }
    QComboBox* ClassifierList() const { return classifier_; }
    QSpinBox* DerivativeOrder() const { return derivative_order_; }
    QPushButton* SmoothingEdit() const { return smoothing_edit_; }
    QPushButton* DerivativeEdit() const { return derivative_edit_; }
    QButtonGroup* MethodGroup() const { return method_group_; }
    QButtonGroup* TypeGroup() const { return type_group_; }
    QLabel* LibraryStatus() const { return library_status_; }
    // Whether the splice correction and the continuum removal are on.
    QLabel* StageStatus() const { return stage_status_; }
    QListWidget* LoadedSpectra() const { return loaded_; }
    QPushButton* IndivClassify() const { return classify_; }
    QPlainTextEdit* ReportWindow() const { return report_; }
    QPushButton* RemoveLoaded() const { return remove_; }
    QSplitter* Splitter() const { return splitter_; }
    QByteArray SplitterState() const;
    void RestoreSplitter(const QByteArray& state);

  signals:
    void smoothingEditRequested();
    void derivativeEditRequested();

  private:
    // Queues a choice of a control: `value` is what it shows chosen until the work is done.
    void Post(QObject* control, int value, std::function<void()> work);
    void ShowPending();

    MainForm& form_;
    WorkPoster post_;
    // The choices queued and not yet done, by control: an item's data, a value or a button id.
    std::map<QObject*, int> pending_;
    QComboBox* study_;
    QComboBox* smoothing_;
    QPushButton* smoothing_edit_;
    QComboBox* sensor_;
    QSpinBox* derivative_order_;
    QButtonGroup* method_group_;
    QPushButton* derivative_edit_;
    QButtonGroup* type_group_;
    QComboBox* feature_space_;
    QComboBox* classifier_;
    QListWidget* loaded_;
    QLabel* stage_status_;
    QPushButton* classify_;
    QPushButton* remove_;
    QSplitter* splitter_;
    QLabel* library_status_;
    QPlainTextEdit* report_;
    QWidget* form_side_ = nullptr;    // the chain settings, beside the report
    QWidget* spectra_box_ = nullptr;  // the loaded spectra, under the report
};

}  // namespace orvane
