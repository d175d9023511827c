// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <deque>
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
// user action runs through Run(), Post() or RunJob(), where failures become messages.
//
// The database connection belongs to one thread at a time. Work that reads or changes the
// database is queued (Post, RunJob) and runs in the order asked on a worker thread, which
// holds the connection, the session and the form until the piece is done; then the UI thread
// takes them back, shows a copy of the form's state, runs what follows the piece and starts
// the next one. So the window keeps answering while the server answers, and it reads the form
// only between pieces of work.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit MainWindow(WorkbenchDocument& doc, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Fills the form from the database; call once the window exists.
    void InitialUpdate();
    // Shrinks the window to the screen's available geometry when it has outgrown it.
    void FitScreen();

    // Runs `action` on the UI thread now, once the queued work is done (events go through
    // meanwhile); refused while a long job runs or waits. For what must open widgets as it
    // goes; everything else is posted.
    bool Run(const std::function<void()>& action);
    void RunCommand(int command_id);
    // Queues `work` behind the work asked before (see WorkPoster): the form stays usable, the
    // cursor and the status bar say that work is pending. Refused while a long job runs.
    // False when refused (nothing queued, the status bar says why).
    bool Post(std::function<void()> work, std::function<void()> done = {});
    // Queues `work` as a long job (see JobRunner); while it runs the commands that use the
    // session are disabled and the status bar shows its progress and a Cancel button.
    bool RunJob(std::function<void()> work, std::function<void()> done = {});
    // Whether any work runs or waits.
    bool JobRunning() const { return job_ != nullptr || !queue_.empty(); }
    // Asks the running job to stop at its next unit of work; it then ends as cancelled.
    void CancelJob();
    // Lets events through until no work runs or waits, for callers that need its outcome now.
    void WaitForJob();
    // Lets events through until no short piece of work runs or waits (a long job may go on).
    void WaitForPendingWork();

    MainForm& Form() { return *form_; }
    // What the window shows of the form, as the last piece of work left it.
    const FormState& State() const { return state_; }
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
    WorkPoster Poster();
    // A piece of queued work: `job` for a long run with progress and Cancel.
    struct Work {
        std::function<void()> work;
        std::function<void()> done;
        bool job = false;
        int command = 0;  // the menu command that asked for it, whose words a refusal takes
    };
    // Whether a long job runs or waits, which keeps out every other request.
    bool LongJobQueued() const;
    // Queues a piece behind the work asked before, whatever that is (Post's refusals aside).
    void Enqueue(Work piece);
    void StartNext();
    // Shows a state the UI thread holds: the form, the commands, the report and the docks.
    void Apply();
    // Runs `action` on the UI thread at the single catch point; true when it completed.
    bool RunHere(const std::function<void()>& action);
    void ShowPending();
    void RestoreNow();
    void OfferNow(const std::vector<ReportJournal::Orphan>& kept);
    // The report as the document holds it, between pieces of work.
    void ShowReportNow();
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
    FormState state_;
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
    // The UI thread is running what follows a piece of work: the next one waits for it.
    bool in_done_ = false;
    bool busy_cursor_ = false;
    std::deque<Work> queue_;
    // The state the worker copied when its piece was done, and whether it could.
    FormState job_state_;
    bool job_state_taken_ = false;
    bool job_long_ = false;
    std::string shown_report_;
    EndmemberSelectionDialog* endmember_selection_ = nullptr;
    AbundanceSettingsDialog* abundance_settings_ = nullptr;
    std::vector<PlotWindow*> plot_windows_;
    ScorePlotData last_score_plot_;
    // The running work: its thread, how it ended, what follows on the UI thread, and a copy
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
