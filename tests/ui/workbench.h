// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/frontend.h"
#include "chain/processing_session.h"
#include "forms/workbench_document.h"
#include "study/sensor_import.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"
#include "support/workbench_rows.h"
#include "ui/main_window.h"
#include "ui/workbench_view.h"

namespace orvane::test {

inline QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

// Chooses a list's entry as the user's click does, and lets the work it queued be done.
inline void Choose(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
    if (auto* frame = qobject_cast<MainWindow*>(list->window())) frame->WaitForPendingWork();
}

// Waits, letting events through, until the window's queued work is done.
inline bool Idle(MainWindow& frame) {
    return QTest::qWaitFor([&frame] { return !frame.JobRunning(); }, 60000);
}

// The row of a form's list that shows `text`, or -1.
inline int IndexOf(const FormList& list, const std::string& text) {
    for (int i = 0; i < list.Count(); ++i)
        if (list.items[static_cast<size_t>(i)].text == text) return i;
    return -1;
}

// A folder holding the species "kauri", one spectrum file in each of `sites`.
inline std::string WriteKauriFolder(const std::string& root,
                                    const std::vector<std::string>& sites = {"site1"}) {
    for (const std::string& site : sites) {
        std::filesystem::create_directories(root + "/kauri/" + site);
        std::filesystem::copy_file(TestData("asd/as6/v6sample00000.asd"),
                                   root + "/kauri/" + site + "/v6sample00000.asd");
    }
    return root;
}

inline QStringList Items(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
    return items;
}

// Holds the spectrum table from another connection, so that a plot's computation waits on
// the server while the test acts; given back on Release, or after ten seconds in any case.
class SpectrumTableHold {
  public:
    explicit SpectrumTableHold(Database& admin) : admin_(admin) {
        admin_.Execute("lock tables spectrum write");
        thread_ = std::thread([this] {
            std::unique_lock<std::mutex> lock(mutex_);
            released_.wait_for(lock, std::chrono::seconds(10), [this] { return release_; });
            admin_.Adopt();
            admin_.Execute("unlock tables");
        });
    }
    ~SpectrumTableHold() { Release(); }
    void Release() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            release_ = true;
        }
        released_.notify_one();
        if (thread_.joinable()) thread_.join();
        admin_.Adopt();
    }

  private:
    Database& admin_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable released_;
    bool release_ = false;
};

// The main window on a scratch database. The test arranges rows, calls Open (the document
// connects and the frame is built, message boxes off), may script the frame's questions, then
// Show runs the start-up of the form.
struct Workbench {
    explicit Workbench(const std::string& tag) : scratch(tag) {}

    // Sensors of data/sensors, the starter feature spaces and one study per name.
    std::vector<int> ArrangeStudies(const std::vector<std::string>& sensors,
                                    const std::vector<std::string>& names) {
        ImportSensors(scratch, sensors);
        LoadSeedFeatureSpaces(scratch.Admin());
        std::vector<int> ids;
        for (const std::string& name : names) ids.push_back(InsertStudyWithChainRows(scratch.Admin(), name));
        return ids;
    }
    // A sensor definition imported before the window connects.
    void ImportSensorFile(const std::string& path) {
        ProcessingSession session(scratch.Connect(), nullptr);
        SilentFrontend quiet;
        ImportSensor(session, quiet, path, 0);
    }
    void Connect() {
        doc = std::make_unique<WorkbenchDocument>(scratch.WriteConfig(dir.Path()));
        frame = std::make_unique<MainWindow>(*doc);
        frame->Frontend().SetMessageBoxes(false);
    }
    void Show() {
        frame->show();
        frame->InitialUpdate();
        frame->WaitForPendingWork();
    }

    // Triggers a command and waits for the job it may start to end.
    void TriggerAndWait(int command_id) {
        frame->Action(command_id)->trigger();
        frame->WaitForJob();
    }
    // Clicks a dialog's button by its object name.
    static void Click(QWidget* dialog, const char* name) {
        QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromLatin1(name)),
                          Qt::LeftButton);
        // What the click queued is done before the test goes on.
        if (auto* frame = qobject_cast<MainWindow*>(dialog->parentWidget()))
            frame->WaitForPendingWork();
    }
    // Points a study at a folder of spectra (and its minimum of spectra per class, when given).
    void SetStudyFolder(int study, const std::string& path, int min_samples = 0) {
        Database& admin = scratch.Admin();
        admin.Execute(Sql("update study set datapath = '%s' where study_id = %i",
                          admin.Escape(path).c_str(), study));
        if (min_samples > 0)
            admin.Execute(Sql("update study set min_no_of_spec_per_endmember = %i where "
                              "study_id = %i",
                              min_samples, study));
    }
    // Triggers a command's action and lets the work it queued be done.
    void TriggerAndSettle(int command_id) {
        frame->Action(command_id)->trigger();
        frame->WaitForPendingWork();
    }
    // Runs a command and lets the work it queued be done, as a dialog's rows.
    void RunAndWait(int command_id) {
        frame->RunCommand(command_id);
        frame->WaitForPendingWork();
    }
    int Count(const std::string& sql) { return test::Count(scratch.Admin(), sql); }
    WorkbenchView& View() { return *frame->View(); }
    QString Report() { return View().ReportWindow()->toPlainText(); }
    std::string Output(const std::string& name) { return dir.Path() + "/output/" + name; }

    ScratchDatabase scratch;
    TempDir dir;
    std::unique_ptr<WorkbenchDocument> doc;
    std::unique_ptr<MainWindow> frame;
};

}  // namespace orvane::test
