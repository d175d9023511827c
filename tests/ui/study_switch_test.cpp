// SPDX-License-Identifier: GPL-3.0-or-later
// The window and its docks on one connection: switching the study while views compute never
// puts two threads on the connection, and a server that stops answering ends in a message.
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QSettings>
#include <QTreeWidget>
#include <QtTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include "base/config_file.h"
#include "base/report_journal.h"
#include "forms/menu_command.h"
#include "store/database.h"
#include "support/private_server.h"
#include "ui/plot_window.h"
#include "ui/qt_frontend.h"
#include "ui/spectra_plot_window.h"
#include "ui/study_browser_window.h"
#include "ui/workbench.h"

namespace orvane {

namespace {

using test::Choose;

// A study folder of two species, each one site of the demo study's files, under new names.
void WriteSmallStudy(const std::string& root) {
    const std::string demo = test::SourcePath("examples/demo-study");
    const std::pair<const char*, const char*> species[] = {{"AT", "KAURI"}, {"PH", "RIMU"}};
    for (const auto& [from, to] : species) {
        const std::string site = root + "/" + to + "/site01";
        std::filesystem::create_directories(site);
        for (const auto& file :
             std::filesystem::directory_iterator(demo + "/" + from + "/site01"))
            std::filesystem::copy_file(file.path(), site + "/" + file.path().filename().string());
    }
}

QStringList TopLevelTexts(const QTreeWidget* tree) {
    QStringList texts;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) texts << tree->topLevelItem(i)->text(0);
    return texts;
}

}  // namespace

class StudySwitchTest : public QObject {
    Q_OBJECT

    test::TempDir settings_dir;

  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(settings_dir.Path()));
    }

    // Switching the study with the spectra plot, the study browser, the result tables and a
    // PCA window open, while plots compute and wait on the server, 50 times with sensor and
    // feature-space changes between: the window stays, the connection is never shared, and
    // at the end every view shows the study the form shows.
    void switchingStudiesWhileViewsComputeNeverSharesTheConnection() {
        test::Workbench w("uiswitch");
        const std::vector<int> ids =
            w.ArrangeStudies({"landsat8_oli", "sentinel2a_msi"}, {"Demo study", "Dunes"});
        const std::string small = w.dir.Path() + "/dunes";
        WriteSmallStudy(small);
        Database& admin = w.scratch.Admin();
        w.SetStudyFolder(ids[0], test::SourcePath("examples/demo-study"));
        w.SetStudyFolder(ids[1], small);
        w.Connect();
        w.Show();
        MainWindow* frame = w.frame.get();
        QComboBox* studies = w.View().StudyList();
        QCOMPARE(studies->count(), 2);
        for (int i : {1, 0}) {
            Choose(studies, i);
            QVERIFY(frame->Run([&] { frame->Form().ImportSpectra(frame->Frontend()); }));
        }
        QVERIFY(w.Count("select count(*) from spectrum") > 149);

        // As a user opens them: each once the one before has drawn.
        for (int command : {kCmdSpectraPlot, kCmdStudyBrowser, kCmdResultTables}) {
            QVERIFY(frame->Action(command)->isEnabled());
            frame->Action(command)->trigger();
            QVERIFY(test::Idle(*frame));
        }
        QStringList docks;
        for (const QDockWidget* dock : frame->findChildren<QDockWidget*>()) docks << dock->windowTitle();
        docks.sort();
        QCOMPARE(docks, (QStringList{"Result Tables", "Spectra Plot", "Study Browser"}));
        w.TriggerAndWait(kCmdPca);
        QVERIFY(test::Idle(*frame));
        QCOMPARE(static_cast<int>(frame->PlotWindows().size()), 1);
        SpectraPlotWindow* plot = frame->SpectraPlotDock();
        QVERIFY(test::Idle(*frame));
        QVERIFY(!plot->Plot().curves.empty());

        QComboBox* sensors = w.View().SensorList();
        QComboBox* spaces = w.View().FeatureSpaceList();
        int switched = 0;
        for (int i = 0; i < 50; ++i) {
            if (i % 5 == 0) {
                // The plot's computation waits on the server: a switch meets a running job.
                test::SpectrumTableHold hold(admin);
                plot->Replot();
                QVERIFY(frame->JobRunning());
                Choose(studies, 1 - studies->currentIndex());
                Choose(sensors, i % sensors->count());
                hold.Release();
            }
            // Mostly the user waits for the views, sometimes not.
            if (i % 3 != 0) QVERIFY(test::Idle(*frame));
            const int before = w.doc->Session().StudyId();
            Choose(studies, 1 - studies->currentIndex());
            if (w.doc->Session().StudyId() != before) ++switched;
            Choose(sensors, (i / 2) % sensors->count());
            if (spaces->count() > 1) Choose(spaces, i % spaces->count());
        }
        QVERIFY2(switched >= 25, qPrintable(QString::number(switched)));
        QVERIFY(test::Idle(*frame));
        QVERIFY(QTest::qWaitFor([plot] { return !plot->Computing(); }, 60000));
        QVERIFY(test::Idle(*frame));

        const QString report = w.Report();
        QVERIFY2(!report.contains(QStringLiteral("out of sync")), qPrintable(report.right(2000)));
        QVERIFY2(!report.contains(QStringLiteral("in use by another task")),
                 qPrintable(report.right(2000)));
        QVERIFY2(!report.contains(QStringLiteral("refused the request")),
                 qPrintable(report.right(2000)));
        QVERIFY(frame->isVisible());

        // Every view shows the study the form shows.
        const bool on_dunes = w.doc->Session().StudyId() == ids[1];
        QCOMPARE(studies->currentText(), QString::fromLatin1(on_dunes ? "Dunes" : "Demo study"));
        const QStringList expected =
            on_dunes ? QStringList{"KAURI", "RIMU"} : QStringList{"AT", "GS", "OPS", "PH"};
        QCOMPARE(test::Items(plot->SpeciesList()), expected);
        std::set<std::string> plotted;
        for (const auto& group : plot->Plot().groups) plotted.insert(group.name);
        QVERIFY(!plotted.empty());
        for (const std::string& name : plotted)
            QVERIFY2(expected.contains(QString::fromStdString(name).section(' ', 0, 0)),
                     name.c_str());
        const QStringList browsed = TopLevelTexts(frame->StudyBrowserDock()->Tree());
        QCOMPARE(browsed.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(browsed[i].startsWith(expected[i]), qPrintable(browsed.join(',')));
    }

    // A server that stops answering during a selection: within the configured time the
    // window says so and offers to connect again; once the server answers, it does.
    void aServerThatStopsAnsweringEndsInAMessageNotAFreeze() {
        test::PrivateServer server;
        QVERIFY2(server.Running(), server.Log().c_str());
        {
            std::ofstream config(server.Config(), std::ios::app);
            config << "timeout 3\n";
        }
        {
            ConfigFile file(server.Config());
            file.Open();
            ProcessingSession session(file);
            test::InsertStudy(session.Db(), "North");
            test::InsertStudy(session.Db(), "South");
        }
        auto doc = std::make_unique<WorkbenchDocument>(server.Config());
        auto frame = std::make_unique<MainWindow>(*doc);
        frame->Frontend().SetMessageBoxes(false);
        QStringList questions;
        bool reconnect = false;
        frame->Frontend().SetConfirmAnswer([&](const std::string& question) {
            questions << QString::fromStdString(question);
            return reconnect;
        });
        frame->show();
        frame->InitialUpdate();
        frame->WaitForPendingWork();
        QComboBox* studies = frame->View()->StudyList();
        QCOMPARE(studies->count(), 2);
        const QString target = studies->itemText(1);

        QVERIFY(server.Freeze());
        const auto start = std::chrono::steady_clock::now();
        Choose(studies, 1);
        const double waited =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        server.Thaw();
        QVERIFY2(waited < 3 + 5, qPrintable(QString::number(waited)));
        QVERIFY2(waited >= 2.5, qPrintable(QString::number(waited)));
        QCOMPARE(questions.size(), 1);
        QVERIFY2(questions[0].contains(QStringLiteral("did not answer within 3 s")),
                 qPrintable(questions[0]));
        QVERIFY(questions[0].contains(QStringLiteral("Connect to the server again?")));

        // Declined: the next command fails at once with the same offer, nothing hangs.
        Choose(studies, 1);
        QCOMPARE(questions.size(), 2);
        reconnect = true;
        Choose(studies, 1);
        QVERIFY(doc->ReportText().Text().find("Connected again") != std::string::npos);
        Choose(studies, 1);
        QCOMPARE(studies->currentText(), target);
        QCOMPARE(doc->Session().StudyId(), studies->currentData().toInt());
        frame.reset();
        doc.reset();
    }

    // The window's settings are written as they change, so that a crash loses none of them.
    void settingsAreKeptAsTheyChange() {
        test::Workbench w("uisettings");
        w.ArrangeStudies({"landsat8_oli"}, {"North", "South"});
        w.Connect();
        w.Show();
        w.frame->RestoreSettings();
        QComboBox* studies = w.View().StudyList();
        const int other = 1 - studies->currentIndex();
        Choose(studies, other);
        QCOMPARE(OrvaneSettings().value(QStringLiteral("form/study")).toInt(),
                 studies->itemData(other).toInt());
        w.frame->RunCommand(kCmdStudyBrowser);
        QVERIFY(OrvaneSettings()
                    .value(QStringLiteral("window/docks"))
                    .toStringList()
                    .contains(QStringLiteral("browser")));
    }

    // The report is written to a journal as it grows: a run that ends without closing leaves
    // it, the next start offers it back, and a normal close removes it.
    void theReportOutlivesACrashAndIsOfferedAgain() {
        test::TempDir home;
        const std::string folder = home.Path() + "/reports";
        test::Workbench w("uijournal");
        w.ArrangeStudies({"landsat8_oli"}, {"Kaimai ridge"});
        w.Connect();
        w.doc->KeepReportIn(std::make_unique<ReportJournal>(folder));
        w.Show();
        w.doc->Report("Entry before the crash");
        // Not closed: as after a crash, the file stays once nothing holds it.
        w.frame.reset();
        w.doc.reset();
        const auto orphans = ReportJournal::Orphans(folder);
        QCOMPARE(static_cast<int>(orphans.size()), 1);
        QVERIFY(orphans[0].text.find("Entry before the crash") != std::string::npos);

        w.Connect();
        w.doc->KeepReportIn(std::make_unique<ReportJournal>(folder));
        QStringList asked;
        w.frame->Frontend().SetConfirmAnswer([&](const std::string& q) {
            asked << QString::fromStdString(q);
            return true;
        });
        w.Show();
        w.frame->OfferKeptReports(orphans);
        QCOMPARE(asked.size(), 1);
        QVERIFY(w.Report().contains(QStringLiteral("Entry before the crash")));
        QVERIFY(!std::filesystem::exists(orphans[0].path));
        // A normal close: no journal is left to offer.
        w.frame->close();
        QVERIFY(ReportJournal::Orphans(folder).empty());
        QCOMPARE(static_cast<int>(std::distance(std::filesystem::directory_iterator(folder),
                                                std::filesystem::directory_iterator())),
                 0);

        // Declined, a kept report is set aside under another name: not offered again, not lost.
        {
            ReportJournal left(folder);
            left.Append("Entry of a second crash");
        }
        const auto second = ReportJournal::Orphans(folder);
        QCOMPARE(static_cast<int>(second.size()), 1);
        // The window goes before the document it shows.
        w.frame.reset();
        w.doc.reset();
        w.Connect();
        w.frame->Frontend().SetConfirmAnswer([](const std::string&) { return false; });
        w.Show();
        w.frame->OfferKeptReports(second);
        std::string aside = second[0].path;
        aside.replace(aside.rfind(".journal"), std::string::npos, ".txt");
        QVERIFY(test::FileText(aside).find("Entry of a second crash") != std::string::npos);
        QVERIFY(w.Report().contains(QString::fromStdString(aside)));
        QVERIFY(!w.Report().contains(QStringLiteral("Entry of a second crash")));
        QVERIFY(ReportJournal::Orphans(folder).empty());
    }
};

}  // namespace orvane

QTEST_MAIN(orvane::StudySwitchTest)
#include "study_switch_test.moc"
