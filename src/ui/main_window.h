// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "base/report_journal.h"
#include "forms/main_form.h"
#include "ui/qt_frontend.h"

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
class QThread;
class QTimer;

namespace orvane {

class AbundanceSettingsDialog;
class WorkbenchDocument;
class WorkbenchView;
class CreateStudyDialog;
class EndmemberSelectionDialog;
class ExportDialog;
class FeatureSpaceDialog;
class MapAccuracyDialog;
class MapImageDialog;
class FilterDetailsDialog;
class ImportSensorDialog;
class IndependentSetDialog;
class PlotWindow;
class ResultTablesWindow;
class ScorePlotWindow;
class SensorComparisonDialog;
class SiteAccuracyDialog;
class SpectraPlotWindow;
class StudyBrowserWindow;
class WavebandFilterDialog;

// The main window: menu bar from the command table, tool bar, status bar and the form. Every
// user action runs through Run(), the one place where failures become messages.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit MainWindow(WorkbenchDocument& doc, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Fills the form from the database; call once the window exists.
    void InitialUpdate();
    // Shrinks the window to the screen's available geometry when it has outgrown it.
    void FitScreen();

    bool Run(const std::function<void()>& action);
    void RunCommand(int command_id);
    // Runs `work` on the worker thread (see JobRunner); while it runs the commands that use
    // the session are disabled and the status bar shows its progress and a Cancel button.
    bool RunJob(std::function<void()> work, std::function<void()> done = {});
    bool JobRunning() const { return job_ != nullptr; }
    // Asks the running job to stop at its next unit of work; it then ends as cancelled.
    void CancelJob();
    // Lets events through until no job runs, for callers that need its outcome now.
    void WaitForJob();

    MainForm& Form() { return *form_; }
    WorkbenchView* View() const { return view_; }
    QtFrontend& Frontend() { return *frontend_; }
    QAction* Action(int command_id) const;
    // The modeless dialogs, created on first use.
    ImportSensorDialog* ImportSensor();
    WavebandFilterDialog* WavebandFilter();
    FilterDetailsDialog* FilterDetails();
    ExportDialog* Export();
    CreateStudyDialog* CreateStudy();
    IndependentSetDialog* IndependentSet();
    SiteAccuracyDialog* SiteAccuracy();
    SensorComparisonDialog* CompareSensorsDialog();
    FeatureSpaceDialog* FeatureSpace();
    MapImageDialog* MapImage();
    MapAccuracyDialog* MapAccuracyChoice();
    EndmemberSelectionDialog* EndmemberSelection();
    AbundanceSettingsDialog* AbundanceSettings();
    // A new score plot window, kept in the list of open plot windows until it is closed.
    ScorePlotWindow* NewPlotWindow();
    const std::vector<PlotWindow*>& PlotWindows() const { return plot_windows_; }
    // The dockable windows, created on first use.
    SpectraPlotWindow* SpectraPlotDock();
    StudyBrowserWindow* StudyBrowserDock();
    ResultTablesWindow* ResultTablesDock();

    // Takes back the window's geometry, docks, splitter and the form's selections of the
    // last run, and from now on keeps them when the window closes.
    void RestoreSettings();
    void SaveSettings();
    // Offers the reports that earlier runs left when they ended without closing: shown in the
    // report window (and their files removed), or kept where they are under another name.
    void OfferKeptReports(const std::vector<ReportJournal::Orphan>& kept);

  signals:
    // A job has ended and its outcome is reported.
    void jobEnded();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    ActionRunner Runner();
    JobRunner Jobs();
    // Reports how an action or job ended; true when it completed.
    bool Settle(std::exception_ptr failure);
    // Tells that the connection was lost and offers to connect again.
    void OfferReconnect(const std::string& what);
    void JobEnded();
    void ShowJobProgress();
    void BuildMenus();
    // A submenu of Chain Settings per optional stage: its modes and its pairs.
    void BuildStageMenus(QMenu* chain_settings);
    void UpdateCommands();
    void Refresh();
    void ShowScorePlot(const ScorePlotData& plot);
    // View > PCA Score Plot: the open score plot to the front, else the last one again.
    void OnShowLastScorePlot();
    // The menu commands by id; the enabled state is checked before one runs.
    std::map<int, std::function<void()>> CommandHandlers();
    void OnOpenSpectrumFiles();
    void OnLoadZProfile();
    void OnSaveReportAs();
    void OnAnalysis(const Analysis& analysis);
    void OnPca();

    WorkbenchDocument& doc_;
    std::unique_ptr<QtFrontend> frontend_;
    std::unique_ptr<MainForm> form_;
    WorkbenchView* view_;
    std::map<int, QAction*> actions_;
    // The modes of each optional stage's submenu of Chain Settings, in StageMenus() order.
    std::vector<std::vector<QAction*>> stage_mode_actions_;
    // Each optional stage's "pairs..." entry, enabled for accounts that may change the study.
    std::vector<QAction*> stage_pairs_actions_;
    std::map<int, std::function<void()>> handlers_;
    ImportSensorDialog* import_sensor_ = nullptr;
    WavebandFilterDialog* waveband_filter_ = nullptr;
    FilterDetailsDialog* filter_details_ = nullptr;
    ExportDialog* export_ = nullptr;
    CreateStudyDialog* create_study_ = nullptr;
    IndependentSetDialog* independent_set_ = nullptr;
    SiteAccuracyDialog* site_accuracy_ = nullptr;
    SensorComparisonDialog* sensor_comparison_ = nullptr;
    FeatureSpaceDialog* feature_space_ = nullptr;
    MapImageDialog* map_image_ = nullptr;
    MapAccuracyDialog* map_accuracy_ = nullptr;
    std::string last_map_;  // the class raster the last Map Image wrote
    SpectraPlotWindow* spectra_plot_ = nullptr;
    StudyBrowserWindow* study_browser_ = nullptr;
    ResultTablesWindow* result_tables_ = nullptr;
    int shown_study_ = -1;
    int shown_chain_ = -1;
    bool remember_ = false;
    bool refreshing_ = false;
    bool restoring_ = false;
    EndmemberSelectionDialog* endmember_selection_ = nullptr;
    AbundanceSettingsDialog* abundance_settings_ = nullptr;
    std::vector<PlotWindow*> plot_windows_;
    ScorePlotData last_score_plot_;
    // The running job: its thread, how it ended, what follows on the UI thread, and a copy
    // of its progress that the UI thread alone reads and cancels.
    QThread* job_ = nullptr;
    std::exception_ptr job_failure_;
    std::function<void()> job_done_;
    // The menu command running now, and the one whose job runs (0: none), whose words a
    // refusal of the server takes.
    int command_ = 0;
    int job_command_ = 0;
    orvane::Feedback job_progress_;
    QProgressBar* job_bar_ = nullptr;
    // The account and its role, at the status bar's right.
    QLabel* account_label_ = nullptr;
    QPushButton* job_cancel_ = nullptr;
    QTimer* job_timer_ = nullptr;
};

}  // namespace orvane
