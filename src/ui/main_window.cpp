// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QInputDialog>
#include <QCloseEvent>
#include <QEventLoop>
#include <QDockWidget>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QLayout>
#include <QLineEdit>
#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>
#include <set>

#include "chain/processing_session.h"
#include "forms/help_texts.h"
#include "forms/menu_command.h"
#include "forms/result_tables.h"
#include "forms/workbench_document.h"
#include "stats/discriminant_analysis.h"
#include "stats/linear_unmixing.h"
#include "stats/separability.h"
#include "spectra/spectrum_file.h"
#include "store/database.h"
#include "study/study_loader.h"
#include "ui/about_dialog.h"
#include "ui/abundance_settings_dialog.h"
#include "ui/create_study_dialog.h"
#include "ui/endmember_selection_dialog.h"
#include "ui/dock_layout.h"
#include "ui/export_dialog.h"
#include "ui/feature_space_dialog.h"
#include "ui/map_image_dialog.h"
#include "ui/map_window.h"
#include "ui/filter_details_dialog.h"
#include "ui/help_dialogs.h"
#include "ui/import_sensor_dialog.h"
#include "ui/independent_set_dialog.h"
#include "ui/plot_window.h"
#include "ui/result_tables_window.h"
#include "ui/sensor_comparison_dialog.h"
#include "ui/site_accuracy_dialog.h"
#include "ui/spectra_plot_window.h"
#include "ui/species_names_dialog.h"
#include "ui/study_browser_window.h"
#include "ui/waveband_filter_dialog.h"
#include "ui/workbench_view.h"

namespace orvane {

namespace {

// The status bar's note while queued work is done.
const QString kWaitingNote = QStringLiteral("Waiting for the database server");

// The commands that open a dialog or a file chooser before anything happens.
bool OpensDialog(int id) {
    static const std::set<int> ids = {
        kCmdOpen, kCmdLoadZProfile, kCmdSaveReport, kCmdExport, kCmdCreateStudy,
        kCmdImportSensor, kCmdWavebandFilterSetup, kCmdFeatureSpaceEdit,
        kCmdFeatureSpaceCopyEdit, kCmdFeatureSpaceNew, kCmdIndependentSet, kCmdSiteAccuracy,
        kCmdCompareSensors, kCmdMapImage, kCmdMapAccuracy, kCmdEndmemberSelection, kCmdAbundanceSettings, kCmdAbout};
    // Every declared analysis asks for its options first.
    return ids.count(id) > 0 || FindAnalysisByMenuId(id) != nullptr;
}

}  // namespace

MainWindow::MainWindow(WorkbenchDocument& doc, QWidget* parent)
    : QMainWindow(parent),
      doc_(doc),
      frontend_(std::make_unique<QtFrontend>(doc, this)),
      form_(std::make_unique<MainForm>(doc)),
      state_(form_->State()) {
    setWindowTitle(QString::fromStdString(doc_.Title()));
    setWindowIcon(OrvaneIcon());
    view_ = new WorkbenchView(*form_, Poster(), this);
    setCentralWidget(view_);
    // Work's entries are shown when it is done: widgets never read the document it is using.
    form_->SetReportListener([this] {
        if (QThread::currentThread() == thread() && !job_) ShowReportNow();
    });
    connect(view_, &WorkbenchView::smoothingEditRequested, this,
            [this] { FilterDetails()->Open(FilterDetailsDialog::Target::kSmoothing); });
    connect(view_, &WorkbenchView::derivativeEditRequested, this,
            [this] { FilterDetails()->Open(FilterDetailsDialog::Target::kDerivative); });
    BuildMenus();
    job_bar_ = new QProgressBar(this);
    job_bar_->setObjectName(QStringLiteral("jobProgress"));
    job_bar_->setRange(0, 100);
    job_bar_->setMinimumWidth(260);
    job_cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    job_cancel_->setObjectName(QStringLiteral("jobCancel"));
    statusBar()->addPermanentWidget(job_bar_);
    statusBar()->addPermanentWidget(job_cancel_);
    account_label_ = new QLabel(QString::fromStdString(form_->AccountText()), this);
    account_label_->setObjectName(QStringLiteral("accountRole"));
    account_label_->setToolTip(QStringLiteral("The database account and its role"));
    statusBar()->addPermanentWidget(account_label_);
    job_bar_->hide();
    job_cancel_->hide();
    connect(job_cancel_, &QPushButton::clicked, this, &MainWindow::CancelJob);
    // The job's thread only writes its progress; the window reads it on its own clock.
    job_timer_ = new QTimer(this);
    job_timer_->setInterval(100);
    connect(job_timer_, &QTimer::timeout, this, &MainWindow::ShowJobProgress);
    statusBar()->showMessage(QStringLiteral("Ready"));
    // Until the first fill is done the controls show an empty form, disabled as it says.
    view_->Mirror(state_);
}

MainWindow::~MainWindow() {
    // A job still running uses the document; it stops before anything goes.
    queue_.clear();
    if (job_) {
        job_progress_.RequestCancel();
        job_->wait();
        delete job_;
        job_ = nullptr;
        doc_.Session().Db().Adopt();
    }
    if (busy_cursor_) QApplication::restoreOverrideCursor();
    // The form stops listening to the document before the widgets go.
    form_->SetReportListener(nullptr);
}

void MainWindow::BuildMenus() {
    std::map<std::string, QMenu*> menus;
    // Every top-level menu gets an Alt letter.
    std::vector<std::string> tops;
    for (const MenuCommand& command : MenuCommands()) {
        const std::string top = MenuPath(command).front();
        if (std::find(tops.begin(), tops.end(), top) == tops.end()) tops.push_back(top);
    }
    const std::vector<std::string> titles = WithMnemonics(tops);
    // Within each menu, every entry (command or submenu) gets its own access letter.
    std::map<std::string, std::vector<std::string>> entries;
    for (const MenuCommand& command : MenuCommands()) {
        const std::vector<std::string> path = MenuPath(command);
        std::vector<std::string>& list = entries[path.front()];
        const std::string entry =
            path.size() > 1 ? path[1] : command.text.substr(0, command.text.find('\t'));
        if (std::find(list.begin(), list.end(), entry) == list.end()) list.push_back(entry);
        if (path.size() > 1)
            entries[command.menu].push_back(command.text.substr(0, command.text.find('\t')));
    }
    std::map<std::string, std::string> lettered;  // "menu\nentry" to the entry with its letter
    for (const auto& [menu, list] : entries) {
        const std::vector<std::string> with = WithMnemonics(list);
        for (size_t i = 0; i < list.size(); ++i) lettered[menu + "\n" + list[i]] = with[i];
    }
    for (const MenuCommand& command : MenuCommands()) {
        const std::vector<std::string> path = MenuPath(command);
        QMenu*& top = menus[path.front()];
        if (!top) {
            const size_t at = static_cast<size_t>(
                std::find(tops.begin(), tops.end(), path.front()) - tops.begin());
            top = menuBar()->addMenu(QString::fromStdString(titles[at]));
            // A disabled command says why in its tooltip.
            top->setToolTipsVisible(true);
        }
        QMenu* menu = top;
        if (path.size() > 1) {
            QMenu*& sub = menus[command.menu];
            if (!sub) {
                sub = top->addMenu(
                    QString::fromStdString(lettered[path.front() + "\n" + path[1]]));
                sub->setToolTipsVisible(true);
            }
            menu = sub;
        }
        // "&Open...\tCtrl+O": the part after the tab is the shortcut.
        const std::string shown = command.text.substr(0, command.text.find('\t'));
        const QString text = QString::fromStdString(
            lettered[(path.size() > 1 ? command.menu : path.front()) + "\n" + shown] +
            command.text.substr(shown.size()));
        QStringList parts = text.split(QLatin1Char('\t'));
        // A command that asks for more before it runs says so with "...".
        if (OpensDialog(command.id) && !parts.front().endsWith(QStringLiteral("...")))
            parts.front() += QStringLiteral("...");
        QAction* action = menu->addAction(parts.front());
        if (parts.size() > 1) action->setShortcut(QKeySequence(parts[1]));
        const int id = command.id;
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        actions_[id] = action;
        if (id == kCmdExit) {
            action->setMenuRole(QAction::QuitRole);
            action->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
        }
        if (id == kCmdAbout) action->setMenuRole(QAction::AboutRole);
    }
    BuildStageMenus(menus["Chain Settings"]);
    actions_[kCmdOpen]->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    actions_[kCmdSaveReport]->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    QToolBar* tools = addToolBar(QStringLiteral("Standard"));
    tools->setObjectName(QStringLiteral("standardToolBar"));
    tools->addAction(actions_[kCmdOpen]);
    tools->addAction(actions_[kCmdSaveReport]);
    UpdateCommands();
}

void MainWindow::BuildStageMenus(QMenu* chain_settings) {
    if (!chain_settings) return;
    // Access letters the menu's other entries leave free.
    const std::vector<StageMenu> stages = form_->StageMenus();
    std::vector<std::string> titles;
    for (QAction* a : chain_settings->actions())
        if (!a->isSeparator()) titles.push_back(a->text().toStdString());
    const size_t taken = titles.size();
    for (const StageMenu& stage : stages) titles.push_back(stage.label);
    titles = WithMnemonics(titles);
    const auto capital = [](std::string word) {
        word[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
        return word;
    };
    chain_settings->addSeparator();
    for (size_t i = 0; i < stages.size(); ++i) {
        const StageMenu& stage = stages[i];
        QMenu* sub = chain_settings->addMenu(QString::fromStdString(titles[taken + i]));
        std::vector<std::string> entries;
        for (const std::string& m : stage.modes) entries.push_back(capital(m));
        const std::string pairs_title = capital(stage.pairs.substr(0, stage.pairs.find(',')));
        entries.push_back(pairs_title);
        entries = WithMnemonics(entries);
        auto* group = new QActionGroup(sub);
        std::vector<QAction*> modes;
        for (size_t m = 0; m < stage.modes.size(); ++m) {
            QAction* action = sub->addAction(QString::fromStdString(entries[m]));
            action->setCheckable(true);
            group->addAction(action);
            const Stage id = stage.stage;
            const int mode = static_cast<int>(m);
            connect(action, &QAction::triggered, this,
                    [this, id, mode] { Post([this, id, mode] { form_->SetStageMode(id, mode); }); });
            modes.push_back(action);
        }
        stage_mode_actions_.push_back(modes);
        sub->addSeparator();
        const QString pairs = QString::fromStdString(capital(stage.pairs));
        const QString title = QString::fromStdString(pairs_title);
        QAction* edit = sub->addAction(QString::fromStdString(entries.back()) + QStringLiteral("..."));
        stage_pairs_actions_.push_back(edit);
        const Stage id = stage.stage;
        connect(edit, &QAction::triggered, this, [this, id, pairs, title] {
            std::string current;
            std::string fallback;
            for (const StageMenu& m : state_.stages)
                if (m.stage == id) {
                    current = m.pairs_text;
                    fallback = m.default_pairs;
                }
            bool ok = false;
            const QString text = QInputDialog::getText(
                this, title,
                pairs + QStringLiteral(",\nas LOWER-UPPER pairs (empty: ") +
                    QString::fromStdString(fallback) + QStringLiteral("):"),
                QLineEdit::Normal, QString::fromStdString(current), &ok);
            if (ok)
                Post([this, id, typed = text.toStdString()] { form_->SetStagePairs(id, typed); });
        });
    }
}

QAction* MainWindow::Action(int command_id) const {
    auto it = actions_.find(command_id);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::UpdateCommands() {
    const std::vector<StageMenu>& stages = state_.stages;
    const bool long_job = LongJobQueued();
    for (size_t i = 0; i < stages.size() && i < stage_mode_actions_.size(); ++i)
        for (size_t m = 0; m < stage_mode_actions_[i].size(); ++m) {
            stage_mode_actions_[i][m]->setChecked(static_cast<int>(m) == stages[i].mode);
            stage_mode_actions_[i][m]->setEnabled(!long_job && state_.chain_controls);
        }
    for (size_t i = 0; i < stages.size() && i < stage_pairs_actions_.size(); ++i)
        stage_pairs_actions_[i]->setEnabled(!long_job && stages[i].pairs_enabled);
    for (const auto& [id, action] : actions_) {
        // While a job uses the session, only what leaves it alone stays available.
        const bool untouched_by_job =
            id == kCmdAbout || id == kCmdExit || id == kCmdManual || id == kCmdHowToCite;
        const std::string reason = long_job && !untouched_by_job
                                       ? "Wait for the running job to end, or cancel it."
                                       : state_.CommandDisabledReason(id);
        action->setEnabled(reason.empty());
        action->setToolTip(reason.empty() ? action->text().remove(QLatin1Char('&'))
                                          : QString::fromStdString(reason));
    }
}

void MainWindow::Refresh() {
    // While work runs the form is the worker's; its state is shown when the work is done.
    if (job_) return;
    state_ = form_->State();
    Apply();
}

void MainWindow::ShowReportNow() {
    // Only between pieces of work, when no other thread adds entries.
    if (job_) return;
    shown_report_ = form_->ReportText();
    view_->ShowReport(shown_report_);
}

void MainWindow::Apply() {
    view_->Mirror(state_);
    if (state_.report != shown_report_) {
        shown_report_ = state_.report;
        view_->ShowReport(shown_report_);
    }
    UpdateCommands();
    // The docks read the database: never beside a job, which owns the connection until it
    // ends (JobEnded applies its state then), and never from within their own refresh, which
    // runs through Run() and so comes back here.
    if (refreshing_ || job_) return;
    refreshing_ = true;
    const int study = state_.study_id;
    const bool new_study = study != shown_study_;
    if (new_study) {
        shown_study_ = study;
        setWindowTitle(QString::fromStdString(state_.title));
        if (spectra_plot_) spectra_plot_->RefreshSpecies();
        if (study_browser_) study_browser_->Refresh();
    }
    // A drawn plot follows the study and the chain it was computed with. Replotting queues a
    // job, behind the work asked before.
    const bool new_chain = state_.chain_generation != shown_chain_;
    shown_chain_ = state_.chain_generation;
    if (new_chain && spectra_plot_) spectra_plot_->ShowStageLabels();
    if ((new_study || new_chain) && spectra_plot_ && !restoring_ &&
        (spectra_plot_->isVisible() || !spectra_plot_->Plot().curves.empty()))
        spectra_plot_->Replot();
    refreshing_ = false;
    // Settings are kept as they change, so that a crash loses none of them.
    if (remember_) SaveSettings();
}

void MainWindow::InitialUpdate() {
    // A usable size from the start, as far as the screen allows; the lists, once filled, may
    // ask for more.
    const auto fit = [this] {
        adjustSize();
        const QSize room = screen() ? screen()->availableGeometry().size() : QSize(1200, 760);
        resize(std::min(std::max(width(), 1200), room.width()),
               std::min(std::max(height(), 760), room.height()));
        FitScreen();
    };
    fit();
    Post([this] { form_->InitialUpdate(); });
    Post({}, fit);
}

void MainWindow::FitScreen() {
    // The frame never outgrows the screen, whatever a dock or a restored geometry asks for.
    if (!screen()) return;
    if (layout()) layout()->activate();
    const QRect room = screen()->availableGeometry();
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize most = room.size() - frame;
    if (width() > most.width() || height() > most.height())
        resize(std::min(width(), most.width()), std::min(height(), most.height()));
}

void MainWindow::RestoreSettings() {
    // The docks read the database as they open: after the work asked before.
    Post({}, [this] { RestoreNow(); });
}

void MainWindow::RestoreNow() {
    QSettings settings = OrvaneSettings();
    restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray());
    view_->RestoreSplitter(settings.value(QStringLiteral("window/splitter")).toByteArray());
    const QStringList docks = settings.value(QStringLiteral("window/docks")).toStringList();
    if (docks.contains(QStringLiteral("plot"))) SpectraPlotDock();
    if (docks.contains(QStringLiteral("browser"))) StudyBrowserDock();
    restoreState(settings.value(QStringLiteral("window/state")).toByteArray());
    FitScreen();
    if (settings.contains(QStringLiteral("form/study"))) {
        FormSelections sel;
        sel.study_id = settings.value(QStringLiteral("form/study")).toInt();
        sel.sensor_id = settings.value(QStringLiteral("form/sensor")).toInt();
        sel.smoothing = settings.value(QStringLiteral("form/smoothing")).toInt();
        sel.derivative_order = settings.value(QStringLiteral("form/derivativeOrder")).toInt();
        sel.derivative_method = settings.value(QStringLiteral("form/derivativeMethod")).toInt();
        sel.feature_space_type = settings.value(QStringLiteral("form/featureSpaceType")).toInt();
        sel.feature_space_id = settings.value(QStringLiteral("form/featureSpace")).toInt();
        sel.classifier = settings.value(QStringLiteral("form/classifier")).toInt();
        for (const StageDeclaration* stage : OptionalStages()) {
            const QString key = QStringLiteral("form/stage/") + QString::fromUtf8(stage->word);
            if (settings.contains(key))
                sel.stage_modes[static_cast<int>(stage->id)] = settings.value(key).toInt();
        }
        // The plot starts from its own remembered choices below, not from this change.
        restoring_ = true;
        Post([this, sel] { form_->RestoreSelections(sel); });
    }
    // Also when the selections could not be restored, the window goes on from here.
    Post({}, [this] {
        restoring_ = false;
        QSettings settings = OrvaneSettings();
        if (spectra_plot_) spectra_plot_->RestoreChoices(settings);
        remember_ = true;
    });
}

void MainWindow::SaveSettings() {
    QSettings settings = OrvaneSettings();
    settings.setValue(QStringLiteral("window/geometry"), saveGeometry());
    settings.setValue(QStringLiteral("window/state"), saveState());
    settings.setValue(QStringLiteral("window/splitter"), view_->SplitterState());
    QStringList docks;
    if (spectra_plot_) docks << QStringLiteral("plot");
    if (study_browser_) docks << QStringLiteral("browser");
    settings.setValue(QStringLiteral("window/docks"), docks);
    if (spectra_plot_) spectra_plot_->SaveChoices(settings);
    const FormSelections& sel = state_.selections;
    settings.setValue(QStringLiteral("form/study"), sel.study_id);
    settings.setValue(QStringLiteral("form/sensor"), sel.sensor_id);
    settings.setValue(QStringLiteral("form/smoothing"), sel.smoothing);
    settings.setValue(QStringLiteral("form/derivativeOrder"), sel.derivative_order);
    settings.setValue(QStringLiteral("form/derivativeMethod"), sel.derivative_method);
    settings.setValue(QStringLiteral("form/featureSpaceType"), sel.feature_space_type);
    settings.setValue(QStringLiteral("form/featureSpace"), sel.feature_space_id);
    settings.setValue(QStringLiteral("form/classifier"), sel.classifier);
    for (const auto& [stage, mode] : sel.stage_modes)
        settings.setValue(QStringLiteral("form/stage/") +
                              QString::fromUtf8(Declaration(static_cast<Stage>(stage)).word),
                          mode);
}

void MainWindow::OfferKeptReports(const std::vector<ReportJournal::Orphan>& kept) {
    // The report belongs to the work asked before until it is done.
    Post({}, [this, kept] { OfferNow(kept); });
}

void MainWindow::OfferNow(const std::vector<ReportJournal::Orphan>& kept) {
    for (const ReportJournal::Orphan& report : kept) {
        const bool empty = report.text.find_first_not_of(" \n-") == std::string::npos;
        if (empty || frontend_->Confirm("Orvane ended without closing its window last time; the "
                                        "report of that session was kept in " + report.path +
                                        ".\n\nShow it in the report window?"))
            doc_.RestoreKeptReport(report.path, report.text);
        else
            doc_.SetKeptReportAside(report.path);
    }
    ShowReportNow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing cancels a running job and lets the work end, so the database is left consistent.
    if (JobRunning()) {
        CancelJob();
        WaitForJob();
    }
    if (remember_) SaveSettings();
    // A normal end: the report's journal is not needed any more.
    doc_.CloseReportJournal();
    QMainWindow::closeEvent(event);
}

bool MainWindow::Settle(std::exception_ptr failure) {
    if (!failure) return true;
    try {
        std::rethrow_exception(failure);
    } catch (const Cancelled& e) {
        // The user asked for it: a report line, no error box.
        frontend_->Report(e.what());
        statusBar()->showMessage(QStringLiteral("Cancelled"), 5000);
    } catch (const ConnectionLost& e) {
        OfferReconnect(e.what());
    } catch (const AccessDenied& e) {
        frontend_->Error(form_->RefusalText(e, command_ ? command_ : job_command_));
    } catch (const OrvaneError& e) {
        frontend_->Error(WithHint(e.what(), MenuHint(e.GetRemedy())));
    } catch (const std::exception& e) {
        frontend_->Error(e.what());
    }
    return false;
}

void MainWindow::OfferReconnect(const std::string& what) {
    doc_.Report(what);
    statusBar()->showMessage(QStringLiteral("The connection to the database server was lost"));
    if (!frontend_->Confirm(what + "\n\nConnect to the server again?")) return;
    // Connecting waits on the server too, so it is done on the worker thread; before anything
    // queued, which needs the new connection.
    auto failure = std::make_shared<std::string>();
    Work reconnect;
    reconnect.work = [this, failure] {
        try {
            doc_.Space().Reconnect();
            doc_.LoadLibrary();
            doc_.Report("Connected again to " + doc_.Session().Db().Name() + " on " +
                        doc_.Session().Db().Host() + ".");
        } catch (const std::exception& e) {
            *failure = e.what();
        }
    };
    reconnect.done = [this, failure] {
        if (!failure->empty()) {
            frontend_->Error("Orvane could not connect again: " + *failure +
                             " Try again with any command once the server answers.");
            return;
        }
        statusBar()->showMessage(QStringLiteral("Connected again"), 5000);
        // Every view reads the database anew (the window is brought up to date after this).
        shown_study_ = -1;
        shown_chain_ = -1;
    };
    queue_.push_front(std::move(reconnect));
    if (!job_ && !in_done_)
        StartNext();
    else
        ShowPending();
}

bool MainWindow::LongJobQueued() const {
    if (job_ && job_long_) return true;
    return std::any_of(queue_.begin(), queue_.end(), [](const Work& w) { return w.job; });
}

bool MainWindow::Run(const std::function<void()>& action) {
    // The session belongs to a long job until it ends.
    if (LongJobQueued()) {
        statusBar()->showMessage(QStringLiteral("Busy: wait for the running job, or cancel it."),
                                 5000);
        return false;
    }
    // What follows a piece of work runs while the UI thread holds the connection; anywhere
    // else the work asked before comes first.
    if (!in_done_) WaitForPendingWork();
    if (job_) {
        statusBar()->showMessage(QStringLiteral("Busy: wait for the running job, or cancel it."),
                                 5000);
        return false;
    }
    return RunHere(action);
}

bool MainWindow::RunHere(const std::function<void()>& action) {
    std::exception_ptr failure;
    try {
        action();
    } catch (...) {
        failure = std::current_exception();
    }
    frontend_->EndProgress();
    const bool ok = Settle(failure);
    Refresh();
    return ok;
}

bool MainWindow::Post(std::function<void()> work, std::function<void()> done) {
    if (LongJobQueued()) {
        statusBar()->showMessage(QStringLiteral("Busy: wait for the running job, or cancel it."),
                                 5000);
        // The controls show again what the form holds, not the choice that was refused.
        view_->ClearPending();
        view_->Mirror(state_);
        return false;
    }
    Enqueue({std::move(work), std::move(done), false, command_});
    return true;
}

void MainWindow::Enqueue(Work piece) {
    // A mere follow-up with nothing before it needs no thread.
    if (!piece.work && !job_ && queue_.empty() && !in_done_) {
        if (piece.done) RunHere(piece.done);
        return;
    }
    queue_.push_back(std::move(piece));
    if (!job_ && !in_done_)
        StartNext();
    else
        ShowPending();
}

bool MainWindow::RunJob(std::function<void()> work, std::function<void()> done) {
    if (LongJobQueued()) {
        statusBar()->showMessage(QStringLiteral("Busy: wait for the running job, or cancel it."),
                                 5000);
        return false;
    }
    queue_.push_back({std::move(work), std::move(done), true, command_});
    if (!job_ && !in_done_)
        StartNext();
    else
        ShowPending();
    UpdateCommands();
    return true;
}

void MainWindow::ShowPending() {
    const bool quick = (job_ && !job_long_) ||
                       std::any_of(queue_.begin(), queue_.end(), [](const Work& w) { return !w.job; });
    if (quick && !busy_cursor_) QApplication::setOverrideCursor(Qt::BusyCursor);
    if (!quick && busy_cursor_) QApplication::restoreOverrideCursor();
    busy_cursor_ = quick;
    if (!quick) return;
    const int waiting = static_cast<int>(queue_.size());
    statusBar()->showMessage(waiting == 0 ? kWaitingNote + QStringLiteral("...")
                                          : kWaitingNote + QStringLiteral(" (%1 more queued)...")
                                                               .arg(waiting));
}

void MainWindow::StartNext() {
    if (job_) return;
    if (queue_.empty()) {
        // Everything asked is done: the controls show the form alone again.
        view_->ClearPending();
        view_->Mirror(state_);
        ShowPending();
        // The waiting note goes; what the outcome said (Cancelled, Connected again) stays.
        if (statusBar()->currentMessage().startsWith(kWaitingNote))
            statusBar()->showMessage(QStringLiteral("Ready"));
        return;
    }
    Work next = std::move(queue_.front());
    queue_.pop_front();
    job_long_ = next.job;
    job_failure_ = nullptr;
    job_done_ = std::move(next.done);
    job_command_ = next.command;
    job_state_taken_ = false;
    if (job_long_) {
        job_progress_ = frontend_->Progress();
        job_progress_.Reset();
    }
    Database& db = doc_.Session().Db();
    job_ = QThread::create([this, &db, work = std::move(next.work)] {
        try {
            // The connection is the worker's until the piece is done; the window takes it
            // back in JobEnded.
            db.Adopt();
            if (work) work();
        } catch (...) {
            job_failure_ = std::current_exception();
        }
        // What the window shows is copied here, while the form is still this thread's.
        try {
            job_state_ = form_->State();
            job_state_taken_ = true;
        } catch (...) {
        }
    });
    // Emitted on the worker's thread, handled on the window's: results reach widgets only here.
    connect(job_, &QThread::finished, this, &MainWindow::JobEnded, Qt::QueuedConnection);
    if (job_long_) {
        view_->SetFormEnabled(false);
        for (QDockWidget* dock : findChildren<QDockWidget*>())
            if (dock->widget()) dock->widget()->setEnabled(false);
        job_bar_->setValue(0);
        job_bar_->setFormat(QStringLiteral("%p%"));
        job_bar_->show();
        job_cancel_->setEnabled(true);
        job_cancel_->show();
        statusBar()->clearMessage();
        job_timer_->start();
    }
    ShowPending();
    UpdateCommands();
    // From here on the window sends nothing until the work is done.
    db.Release();
    job_->start();
}

void MainWindow::ShowJobProgress() {
    if (!job_) return;
    const QString title = QString::fromStdString(job_progress_.Title());
    job_bar_->setFormat(title.isEmpty() ? QStringLiteral("%p%") : title + QStringLiteral(" %p%"));
    job_bar_->setValue(static_cast<int>(job_progress_.Percent()));
}

void MainWindow::CancelJob() {
    if (!job_ || !job_long_) return;
    job_progress_.RequestCancel();
    job_cancel_->setEnabled(false);
    statusBar()->showMessage(QStringLiteral("Cancelling..."));
}

void MainWindow::WaitForJob() {
    if (in_done_) return;
    QEventLoop loop;
    const auto quit = connect(this, &MainWindow::jobEnded, &loop, &QEventLoop::quit);
    while (JobRunning()) loop.exec();
    disconnect(quit);
}

void MainWindow::WaitForPendingWork() {
    // What follows a piece of work holds the queue: nothing behind it can end meanwhile.
    if (in_done_) return;
    const auto pending = [this] {
        return (job_ && !job_long_) ||
               std::any_of(queue_.begin(), queue_.end(), [](const Work& w) { return !w.job; });
    };
    QEventLoop loop;
    const auto quit = connect(this, &MainWindow::jobEnded, &loop, &QEventLoop::quit);
    while (pending()) loop.exec();
    disconnect(quit);
}

void MainWindow::JobEnded() {
    if (!job_) return;
    job_->wait();
    job_->deleteLater();
    job_ = nullptr;
    doc_.Session().Db().Adopt();
    // Until the next piece starts below, the UI thread holds the connection and the form, also
    // while a message box of the outcome waits for the user.
    in_done_ = true;
    if (job_long_) {
        job_timer_->stop();
        job_bar_->hide();
        job_cancel_->hide();
        view_->SetFormEnabled(true);
        for (QDockWidget* dock : findChildren<QDockWidget*>())
            if (dock->widget()) dock->widget()->setEnabled(true);
        statusBar()->clearMessage();
    }
    job_long_ = false;
    frontend_->EndProgress();
    std::function<void()> done = std::move(job_done_);
    job_done_ = nullptr;
    const bool ok = Settle(job_failure_);
    job_failure_ = nullptr;
    job_command_ = 0;
    // The worker's copy, unless the failure's handling changed the form since (a reconnect).
    if (job_state_taken_ && ok)
        state_ = std::move(job_state_);
    else
        state_ = form_->State();
    Apply();
    // What follows the work (tables, plots) may fail too, and is reported the same way.
    if (ok && done) RunHere(done);
    in_done_ = false;
    StartNext();
    emit jobEnded();
}

namespace {

template <class Window>
Window* Raise(Window* window) {
    window->show();
    window->raise();
    return window;
}

}  // namespace

void MainWindow::RunCommand(int id) {
    if (!state_.CommandEnabled(id)) return;
    // A command that reads the database on this thread as it opens (a dialog, a dock) comes
    // after the work asked before it; those that queue their work need not wait.
    static const std::set<int> queued = {
        kCmdDeleteStudy, kCmdStudyReport, kCmdFeatureSpaceDelete, kCmdDeleteSensor,
        kCmdStudyBrowser, kCmdBuildLibrary, kCmdImportSpectra, kCmdPca,
        kCmdResultTables, kCmdAbout, kCmdHowToCite, kCmdExit, kCmdCreateStudy,
        kCmdImportSensor, kCmdSpeciesNames, kCmdMapImage, kCmdAbundanceSettings,
        kCmdWavebandFilterSetup, kCmdFeatureSpaceEdit, kCmdFeatureSpaceCopyEdit,
        kCmdFeatureSpaceNew, kCmdEndmemberSelection, kCmdOpen, kCmdSaveReport};
    if (queued.count(id) == 0 && FindAnalysisByMenuId(id) == nullptr) {
        WaitForPendingWork();
        if (!state_.CommandEnabled(id)) return;
    }
    if (handlers_.empty()) handlers_ = CommandHandlers();
    const auto handler = handlers_.find(id);
    command_ = id;
    if (handler != handlers_.end()) handler->second();
    command_ = 0;
    // A dock opened or a dialog's choice is kept at once, not only when the window closes.
    if (remember_) SaveSettings();
}

std::map<int, std::function<void()>> MainWindow::CommandHandlers() {
    std::map<int, std::function<void()>> handlers = {
        {kCmdOpen, [this] { OnOpenSpectrumFiles(); }},
        {kCmdLoadZProfile, [this] { OnLoadZProfile(); }},
        {kCmdSaveReport, [this] { OnSaveReportAs(); }},
        {kCmdSpectraPlot, [this] { Raise(SpectraPlotDock())->Replot(); }},
        {kCmdStudyBrowser, [this] { Raise(StudyBrowserDock())->Refresh(); }},
        {kCmdResultTables, [this] { Raise(ResultTablesDock()); }},
        {kCmdExit, [this] { close(); }},
        {kCmdImportSensor, [this] { Raise(ImportSensor()); }},
        {kCmdWavebandFilterSetup, [this] { WavebandFilter()->Open(); }},
        {kCmdFeatureSpaceDelete, [this] { Post([this] { form_->DeleteFeatureSpace(*frontend_); }); }},
        {kCmdDeleteSensor, [this] { Post([this] { form_->DeleteCurrentSensor(*frontend_); }); }},
        {kCmdExport, [this] { Export()->Open(); }},
        {kCmdBuildLibrary, [this] { RunJob([this] { form_->BuildLibrary(*frontend_); }); }},
        {kCmdCreateStudy, [this] { CreateStudy()->Open(); }},
        {kCmdDeleteStudy,
         [this] {
             Post([this] {
                 form_->DeleteCurrentStudy(*frontend_,
                                           "Click OK if you want to delete this study.");
             });
         }},
        {kCmdStudyReport, [this] { Post([this] { form_->StudyReport(*frontend_); }); }},
        {kCmdImportSpectra, [this] { RunJob([this] { form_->ImportSpectra(*frontend_); }); }},
        {kCmdIndependentSet, [this] { IndependentSet()->Open(); }},
        {kCmdPca, [this] { OnPca(); }},
        {kCmdScorePlot, [this] { OnShowLastScorePlot(); }},
        {kCmdSiteAccuracy, [this] { SiteAccuracy()->Open(); }},
        {kCmdCompareSensors, [this] { CompareSensorsDialog()->Open(); }},
        {kCmdMapImage, [this] { MapImage()->Open(); }},
        {kCmdMapAccuracy, [this] { MapAccuracyChoice()->Open(last_map_); }},
        {kCmdFeatureSpaceEdit, [this] { FeatureSpace()->Open(FeatureSpaceActions::kEdit); }},
        {kCmdFeatureSpaceCopyEdit,
         [this] { FeatureSpace()->Open(FeatureSpaceActions::kCopyAndEdit); }},
        {kCmdFeatureSpaceNew, [this] { FeatureSpace()->Open(FeatureSpaceActions::kNew); }},
        {kCmdEndmemberSelection, [this] { EndmemberSelection()->Open(); }},
        {kCmdAbundanceSettings, [this] { AbundanceSettings()->Open(); }},
        {kCmdUnmix,
         [this] {
             auto result = std::make_shared<UnmixResult>();
             const std::vector<int> elements = EndmemberSelection()->Model().Elements();
             RunJob(
                 [this, result, elements] {
                     *result =
                         Unmix(doc_.Loader(), doc_.Session(), *frontend_, &doc_.Output(), elements);
                 },
                 [this, result] { ResultTablesDock()->Show({UnmixingTable(*result)}); });
         }},
        {kCmdSpeciesNames,
         [this] {
             // Modal to the window as before, but the window goes on while the rows come.
             auto* names = new SpeciesNamesDialog(doc_.Session(), *frontend_, Poster(), this);
             names->setAttribute(Qt::WA_DeleteOnClose);
             names->Open();
         }},
        {kCmdAbout, [this] { AboutDialog(this).exec(); }},
        // Both stay open beside the window, one of each.
        {kCmdManual,
         [this] {
             std::string path;
             if (!Run([&] { path = ManualPath(); })) return;
             auto* manual = findChild<ManualWindow*>();
             if (!manual) manual = new ManualWindow(path, this);
             manual->show();
             manual->raise();
         }},
        {kCmdHowToCite,
         [this] {
             auto* citation = findChild<CitationDialog*>();
             if (!citation) citation = new CitationDialog(this);
             citation->show();
             citation->raise();
         }},
    };
    for (const Analysis& analysis : Analyses())
        handlers[analysis.menu_id] = [this, &analysis] { OnAnalysis(analysis); };
    return handlers;
}

void MainWindow::OnOpenSpectrumFiles() {
    // Each file on its own, so one that cannot be read does not keep out the others. The
    // loaded spectra are the worker's while work runs, so the files join them there.
    for (const std::string& path :
         frontend_->ChooseOpenFiles("Open", ReaderFileFilter(ReaderBands::kFieldGrid)))
        if (!Post([this, path] { doc_.LoadSpectrumFile(path); })) return;
}

void MainWindow::OnLoadZProfile() {
    const std::string path =
        frontend_->ChooseOpenFile("Load ENVI Z Profile",
                                  ReaderFileFilter(ReaderBands::kSensorBands));
    if (!path.empty()) Run([&] { doc_.LoadZProfile(path); });
}

void MainWindow::OnSaveReportAs() {
    // The output folder and the report are the worker's while work runs: the name is proposed
    // and the report written behind the work asked before.
    auto proposed = std::make_shared<std::string>();
    Post([this, proposed] { *proposed = doc_.ReportPath(); },
         [this, proposed] {
             const std::string path =
                 frontend_->ChooseSaveFile("Save Report Window Content", *proposed,
                                           "Text files (*.txt);;All files (*)");
             if (path.empty()) return;
             Post([this, path] { form_->SaveReport(path); },
                  [this, path] {
                      statusBar()->showMessage(
                          QString::fromStdString("Report saved to " + path), 5000);
                  });
         });
}

void MainWindow::OnAnalysis(const Analysis& analysis) {
    AnalysisValues values;
    if (!frontend_->ChooseAnalysisOptions(analysis, values)) return;
    auto tables = std::make_shared<std::vector<ResultTable>>();
    RunJob(
        [this, tables, values, &analysis] {
            *tables = analysis.run(doc_.Space(), *frontend_, values).tables;
        },
        [this, tables] {
            if (!tables->empty()) ResultTablesDock()->Show(*tables);
        });
}

void MainWindow::OnPca() {
    auto plot = std::make_shared<ScorePlotData>();
    RunJob([this, plot] { *plot = form_->RunPca(*frontend_); },
           [this, plot] {
               if (plot->Ready()) ShowScorePlot(*plot);
           });
}

ImportSensorDialog* MainWindow::ImportSensor() {
    if (!import_sensor_)
        import_sensor_ = new ImportSensorDialog(
            doc_.Session(), *form_, *frontend_, Poster(), Jobs(), this);
    return import_sensor_;
}

WavebandFilterDialog* MainWindow::WavebandFilter() {
    if (!waveband_filter_)
        waveband_filter_ = new WavebandFilterDialog(doc_.Session(), *frontend_, Poster(), this);
    return waveband_filter_;
}

FilterDetailsDialog* MainWindow::FilterDetails() {
    if (!filter_details_)
        filter_details_ = new FilterDetailsDialog(doc_.Session(), Poster(), this);
    return filter_details_;
}

ExportDialog* MainWindow::Export() {
    if (!export_) export_ = new ExportDialog(doc_, *frontend_, Runner(), Jobs(), this);
    return export_;
}

CreateStudyDialog* MainWindow::CreateStudy() {
    if (!create_study_) create_study_ = new CreateStudyDialog(*form_, *frontend_, Poster(), this);
    return create_study_;
}

IndependentSetDialog* MainWindow::IndependentSet() {
    if (!independent_set_) {
        independent_set_ = new IndependentSetDialog(doc_, *frontend_, Poster(), Jobs(), this);
        independent_set_->SetResultShown(
            [this](const std::vector<ResultTable>& tables) { ResultTablesDock()->Show(tables); });
    }
    return independent_set_;
}

SiteAccuracyDialog* MainWindow::SiteAccuracy() {
    if (!site_accuracy_)
        site_accuracy_ = new SiteAccuracyDialog(doc_, *form_, *frontend_, Runner(), Jobs(), this);
    return site_accuracy_;
}

SensorComparisonDialog* MainWindow::CompareSensorsDialog() {
    if (!sensor_comparison_) {
        sensor_comparison_ = new SensorComparisonDialog(doc_, *frontend_, Poster(), Jobs(), this);
        sensor_comparison_->SetResultShown([this](const SensorComparison& comparison) {
            ResultTablesDock()->Show({SensorComparisonTable(comparison)});
        });
    }
    return sensor_comparison_;
}

MapImageDialog* MainWindow::MapImage() {
    if (!map_image_) {
        map_image_ = new MapImageDialog(doc_, *frontend_, Jobs(), this);
        map_image_->SetResultShown([this](const MapImageResult& result) {
            last_map_ = result.class_path;
            ResultTablesDock()->Show({result.areas});
            Run([&] {
                auto* map = new MapWindow(this);
                map->setAttribute(Qt::WA_DeleteOnClose);
                map->ShowMap(result.class_path);
                map->show();
            });
        });
    }
    return map_image_;
}

MapAccuracyDialog* MainWindow::MapAccuracyChoice() {
    if (!map_accuracy_) {
        map_accuracy_ = new MapAccuracyDialog(doc_, *frontend_, Jobs(), this);
        map_accuracy_->SetResultShown(
            [this](const std::vector<ResultTable>& tables) { ResultTablesDock()->Show(tables); });
    }
    return map_accuracy_;
}

FeatureSpaceDialog* MainWindow::FeatureSpace() {
    if (!feature_space_)
        feature_space_ =
            new FeatureSpaceDialog(doc_.Session(), *form_, *frontend_, Poster(), this);
    return feature_space_;
}

SpectraPlotWindow* MainWindow::SpectraPlotDock() {
    if (!spectra_plot_) {
        // A plot replaced by a newer one stops without the status bar saying "Cancelling".
        // Its species follow the study also behind a long job, which keeps out the user's
        // requests only.
        const WorkPoster follow = [this](std::function<void()> work, std::function<void()> done) {
            Enqueue({std::move(work), std::move(done), false, command_});
            return true;
        };
        spectra_plot_ = new SpectraPlotWindow(
            doc_, *frontend_, Runner(), Jobs(), follow,
            [this] {
                if (job_long_) job_progress_.RequestCancel();
            },
            [this] { WaitForPendingWork(); }, this);
        PlaceDock(*this, spectra_plot_);
        spectra_plot_->RefreshSpecies();
        FitScreen();
        QTimer::singleShot(0, this, &MainWindow::FitScreen);
    }
    return spectra_plot_;
}

ResultTablesWindow* MainWindow::ResultTablesDock() {
    if (!result_tables_) {
        result_tables_ = new ResultTablesWindow(*frontend_, this);
        PlaceDock(*this, result_tables_);
    }
    return result_tables_;
}

StudyBrowserWindow* MainWindow::StudyBrowserDock() {
    if (!study_browser_) {
        study_browser_ = new StudyBrowserWindow(doc_, *form_, Poster(), this);
        PlaceDock(*this, study_browser_);
        FitScreen();
        QTimer::singleShot(0, this, &MainWindow::FitScreen);
        study_browser_->SetPlotRequest([this](const std::vector<int>& ids) {
            // The plot dock reads the study as it opens.
            WaitForPendingWork();
            SpectraPlotDock()->show();
            SpectraPlotDock()->raise();
            SpectraPlotDock()->ShowChosen(ids);
        });
        study_browser_->Refresh();
    }
    return study_browser_;
}

EndmemberSelectionDialog* MainWindow::EndmemberSelection() {
    if (!endmember_selection_)
        endmember_selection_ =
            new EndmemberSelectionDialog(doc_.Session(), Poster(), this);
    return endmember_selection_;
}

AbundanceSettingsDialog* MainWindow::AbundanceSettings() {
    if (!abundance_settings_)
        abundance_settings_ = new AbundanceSettingsDialog(doc_.Session(), Poster(), this);
    return abundance_settings_;
}

ScorePlotWindow* MainWindow::NewPlotWindow() {
    auto* window = new ScorePlotWindow(this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    plot_windows_.push_back(window);
    // A closed plot leaves the list, and the main window comes back to the front.
    connect(window, &QDialog::finished, this, [this, window] {
        plot_windows_.erase(std::remove(plot_windows_.begin(), plot_windows_.end(), window),
                            plot_windows_.end());
        raise();
        activateWindow();
    });
    return window;
}

void MainWindow::ShowScorePlot(const ScorePlotData& plot) {
    last_score_plot_ = plot;
    ScorePlotWindow* window = NewPlotWindow();
    window->show();
    window->ShowPlot(
        plot, [this](int x, int y) { return form_->PcaScorePlot(x, y); }, form_->PcaComponents(),
        Poster());
    window->raise();
}

void MainWindow::OnShowLastScorePlot() {
    if (!plot_windows_.empty()) {
        PlotWindow* window = plot_windows_.back();
        window->show();
        window->raise();
        window->activateWindow();
        return;
    }
    if (!last_score_plot_.Ready() || last_score_plot_.points.Nrows() == 0) {
        frontend_->Error("There is no score plot yet: run Statistics > PCA first.");
        return;
    }
    ShowScorePlot(last_score_plot_);
}

ActionRunner MainWindow::Runner() {
    return [this](const std::function<void()>& a) { return Run(a); };
}

WorkPoster MainWindow::Poster() {
    return [this](std::function<void()> work, std::function<void()> done) {
        return Post(std::move(work), std::move(done));
    };
}

JobRunner MainWindow::Jobs() {
    return [this](std::function<void()> work, std::function<void()> done) {
        return RunJob(std::move(work), std::move(done));
    };
}

}  // namespace orvane
