// SPDX-License-Identifier: GPL-3.0-or-later
#include <qcustomplot.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSettings>
#include <QTreeWidget>
#include <QtTest>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "forms/menu_command.h"
#include "forms/waveband_filter_setup.h"
#include "ui/figure_size_dialog.h"
#include "ui/qt_frontend.h"
#include "ui/spectra_plot_window.h"
#include "ui/study_browser_window.h"
#include "ui/workbench.h"

namespace orvane {

namespace {
// Plots are computed on the worker thread: true once the last request is drawn.
bool Drawn(const SpectraPlotWindow* plot) {
    return QTest::qWaitFor([plot] { return !plot->Computing(); }, 60000);
}

using test::Choose;
}  // namespace

// One window on the demo study for every case: importing its 149 spectra is the slow part.
class SpectraWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::Workbench> w;
    test::TempDir settings_dir;

  private slots:
    void initTestCase() {
        // The remembered settings go to a folder of the test's own.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(settings_dir.Path()));
        w = std::make_unique<test::Workbench>("uispectra");
        const std::vector<int> ids = w->ArrangeStudies({"landsat8_oli"}, {"Demo study"});
        w->SetStudyFolder(ids[0], test::SourcePath("examples/demo-study"), 15);
        w->Connect();
        w->Show();
        WavebandFilterSetup filter(w->doc->Session());
        filter.Show();
        filter.New(1350, 1450);
        filter.New(1800, 1950);
        filter.New(2400, 2499);
        filter.Ok();
        QVERIFY(w->frame->Run([&] { w->frame->Form().ImportSpectra(w->frame->Frontend()); }));
        QCOMPARE(w->Count("select count(*) from spectrum"), 149);
    }

    void cleanupTestCase() { w.reset(); }

    void plotDrawsMeanBandsWithGapsAndSavesPictures() {
        w->frame->Action(kCmdSpectraPlot)->trigger();
        SpectraPlotWindow* plot = w->frame->SpectraPlotDock();
        QVERIFY(plot->isVisible());
        const int filtered = plot->StageList()->findText(QStringLiteral("Filtered"));
        Choose(plot->StageList(), filtered);
        // Chosen while the first choice computes: only the newest is drawn.
        Choose(plot->DetailsList(), 2);
        QVERIFY(Drawn(plot));

        // Four species, each a mean curve over a shaded band between two graphs.
        QCustomPlot* canvas = plot->Canvas();
        QCOMPARE(canvas->graphCount(), 12);
        QCPGraph* upper = canvas->graph(1);
        QCOMPARE(upper->channelFillGraph(), canvas->graph(0));
        QVERIFY(upper->brush().style() != Qt::NoBrush);
        QCPGraph* mean = canvas->graph(8);  // the curves come after all bands
        QVERIFY(std::isnan(mean->data()->at(1400 - 350)->value));  // an excluded band is a gap
        QVERIFY(!std::isnan(mean->data()->at(1000 - 350)->value));
        const QString colour = QString::fromStdString(plot->Plot().groups[0].colour);
        QCOMPARE(mean->pen().color(), QColor(colour));  // the first species' colour

        plot->setFloating(true);
        plot->resize(1000, 620);
        QTest::qWait(50);

        // Saving asks where, proposing the output folder.
        std::string proposed;
        w->frame->Frontend().SetSaveFileAnswer([&](const std::string& p) {
            proposed = p;
            return w->dir.Path() + "/picture" + p.substr(p.size() - 4);
        });
        // Then the figure's size, proposing the one chosen last: both pictures have it, the PNG
        // at its resolution, whatever the dock's size.
        std::vector<std::string> proposed_sizes;
        FigureSizeDialog::SetScriptedAnswer([&](FigureSize& size) {
            proposed_sizes.push_back(size.Text());
            size = ParseFigureSize("84x56mm", 192);
            return true;
        });
        plot->findChild<QPushButton*>(QStringLiteral("savePng"))->click();
        w->frame->WaitForPendingWork();
        QCOMPARE(proposed, w->Output("Demo study_filtered_species_mean.png"));
        plot->findChild<QPushButton*>(QStringLiteral("saveSvg"))->click();
        w->frame->WaitForPendingWork();
        FigureSizeDialog::SetScriptedAnswer({});
        QCOMPARE(proposed_sizes.size(), size_t{2});
        QCOMPARE(proposed_sizes[1], std::string("84x56mm"));
        QCOMPARE(FigureSizeDialog::Remembered(FigureSize()).dpi, 192);
        // 84 mm x 56 mm at 192 dpi: 635 x 423 pixels, a layout of 318 x 212 CSS pixels.
        const QImage png(QString::fromStdString(w->dir.Path() + "/picture.png"));
        QCOMPARE(png.size(), QSize(635, 423));
        QCOMPARE(png.dotsPerMeterX(), 7559);
        const std::string svg = test::FileText(w->dir.Path() + "/picture.svg");
        QVERIFY(svg.find("<path class=\"band\"") != std::string::npos);
        QVERIFY(svg.find("width=\"84mm\" height=\"56mm\" viewBox=\"0 0 318 212\"") !=
                std::string::npos);
        QVERIFY(w->Report().contains(QStringLiteral("(84x56mm, 192 dpi)")));
        plot->setFloating(false);
    }

    // The curves are computed on the worker thread: while they wait for the server the window
    // answers and its choices stay open; a newer choice replaces the running computation
    // without a word, and Cancel ends it as cancelled, with an empty plot and no error.
    void aLongPlotLeavesTheWindowAnsweringAndTheNewestChoiceWins() {
        SpectraPlotWindow* plot = w->frame->SpectraPlotDock();
        QVERIFY(Drawn(plot));
        Choose(plot->DetailsList(), kEverySpectrum);
        QVERIFY(Drawn(plot));
        Database& admin = w->scratch.Admin();
        {
            test::SpectrumTableHold hold(admin);
            bool answered_while_computing = false;
            QTimer::singleShot(200, w->frame.get(),
                               [&] { answered_while_computing = w->frame->JobRunning(); });
            Choose(plot->StageList(), 0);  // raw
            QVERIFY(w->frame->JobRunning());
            QTRY_VERIFY_WITH_TIMEOUT(answered_while_computing, 5000);
            QVERIFY(plot->DetailsList()->isEnabled());
            QVERIFY(!plot->findChild<QPushButton*>(QStringLiteral("savePng"))->isEnabled());
            Choose(plot->DetailsList(), kSiteMean);
            hold.Release();
            QVERIFY(Drawn(plot));
        }
        QCOMPARE(w->frame->Frontend().LastError(), std::string());
        QVERIFY2(plot->Plot().title.find("site means") != std::string::npos,
                 plot->Plot().title.c_str());
        QVERIFY(!plot->Plot().curves.empty());
        QVERIFY(!w->Report().contains(QStringLiteral("cancelled")));
        QVERIFY(plot->findChild<QPushButton*>(QStringLiteral("savePng"))->isEnabled());

        {
            test::SpectrumTableHold hold(admin);
            Choose(plot->StageList(), 1);  // filtered
            QVERIFY(w->frame->JobRunning());
            QTest::mouseClick(w->frame->findChild<QPushButton*>(QStringLiteral("jobCancel")),
                              Qt::LeftButton);
            hold.Release();
            QVERIFY(Drawn(plot));
        }
        QCOMPARE(w->frame->Frontend().LastError(), std::string());
        QVERIFY(w->Report().contains(QStringLiteral("cancelled: plot")));
        QVERIFY(plot->Plot().curves.empty());
        QCOMPARE(plot->Canvas()->graphCount(), 0);

        Choose(plot->DetailsList(), kSpeciesMean);
        QVERIFY(Drawn(plot));
        QCOMPARE(plot->Canvas()->graphCount(), 12);
    }

    void browserToggleDisablesAndPlotsTheChosenSpectra() {
        w->frame->Form().SetFeatureSpaceType(1);
        w->TriggerAndWait(kCmdBuildLibrary);
        w->frame->Form().RefreshLibraryStatus();
        QVERIFY(w->View().LibraryStatus()->text().startsWith(QStringLiteral("Ready (")));

        w->TriggerAndSettle(kCmdStudyBrowser);
        StudyBrowserWindow* browser = w->frame->StudyBrowserDock();
        QTreeWidgetItem* spectrum = browser->Tree()->topLevelItem(0)->child(0)->child(0);
        const int id = spectrum->text(StudyBrowser::kId).toInt();
        spectrum->setCheckState(0, Qt::Unchecked);
        w->frame->WaitForPendingWork();
        QCOMPARE(w->Count(Sql("select disabled from spectrum where spectrum_id = %i", id)), 1);
        QCOMPARE(w->View().LibraryStatus()->text(), QStringLiteral("Not Ready"));
        spectrum = browser->Tree()->topLevelItem(0)->child(0)->child(0);
        QCOMPARE(spectrum->checkState(0), Qt::Unchecked);

        // "Plot" with a site selected shows its spectra, the disabled one too.
        const int in_site = browser->Tree()->topLevelItem(0)->child(0)->childCount();
        browser->Tree()->topLevelItem(0)->child(0)->setSelected(true);
        browser->findChild<QPushButton*>(QStringLiteral("browserPlot"))->click();
        SpectraPlotWindow* plot = w->frame->SpectraPlotDock();
        QVERIFY(Drawn(plot));
        QCOMPARE(plot->SourceList()->currentIndex(), static_cast<int>(SpectraPlotForm::kChosen));
        QCOMPARE(static_cast<int>(plot->Plot().curves.size()), in_site);

        spectrum->setCheckState(0, Qt::Checked);
        w->frame->WaitForPendingWork();
        QCOMPARE(w->Count("select count(*) from spectrum where disabled = 1"), 0);
    }

    // What the plot shows follows the chain without choosing its stage again, and what the
    // change reset is in the report.
    void chainChangesRedrawThePlotAndSayWhatTheyReset() {
        w->TriggerAndWait(kCmdBuildLibrary);
        QVERIFY(w->View().LibraryStatus()->text().startsWith(QStringLiteral("Ready (")));
        SpectraPlotWindow* plot = w->frame->SpectraPlotDock();
        auto choose = [plot](QComboBox* list, int index) {
            Choose(list, index);
            return Drawn(plot);
        };
        QVERIFY(choose(plot->SourceList(), SpectraPlotForm::kStudy));
        QVERIFY(choose(plot->StageList(), plot->StageList()->findText(QStringLiteral("Derived"))));
        QCOMPARE(plot->Plot().y_label, std::string("Reflectance"));

        QVERIFY(w->frame->Run([&] { w->frame->Form().SetDerivativeOrder(1); }));
        QVERIFY(Drawn(plot));
        QCOMPARE(plot->Plot().y_label, std::string("Derivative of order 1"));
        const std::string& report = w->doc->ReportText().Text();
        QVERIFY2(report.find("Not Ready because the derivative order changed to 1.") !=
                     std::string::npos,
                 report.c_str());
        QVERIFY(w->frame->Run([&] { w->frame->Form().SetDerivativeOrder(0); }));
        QVERIFY(Drawn(plot));
        QCOMPARE(plot->Plot().y_label, std::string("Reflectance"));

        // A new waveband filter range is a gap at once.
        QVERIFY(choose(plot->StageList(), plot->StageList()->findText(QStringLiteral("Filtered"))));
        QCPGraph* mean = plot->Canvas()->graph(8);
        QVERIFY(!std::isnan(mean->data()->at(1000 - 350)->value));
        QVERIFY(w->frame->Run([&] {
            WavebandFilterSetup filter(w->doc->Session());
            filter.Show();
            filter.New(990, 1010);
            filter.Ok();
        }));
        QVERIFY(Drawn(plot));
        mean = plot->Canvas()->graph(8);
        QVERIFY(std::isnan(mean->data()->at(1000 - 350)->value));
    }

    // (Before the cases whose second window takes the session's chain listener.)
    // Whether the optional stages are on shows on the form, and the plot's list marks the
    // stage that is off; the title follows what was computed.
    void theChainsOptionalStagesShowOnTheFormAndInThePlot() {
        w->frame->Action(kCmdSpectraPlot)->trigger();
        SpectraPlotWindow* plot = w->frame->SpectraPlotDock();
        QVERIFY(plot);
        QVERIFY(Drawn(plot));
        const QLabel* status = w->View().StageStatus();
        int at = -1;
        const std::vector<StageDeclaration> stages = PlotStages();
        for (size_t i = 0; i < stages.size(); ++i)
            if (stages[i].id == Stage::kContinuumRemoved) at = static_cast<int>(i);
        QVERIFY(at >= 0);
        const int was = plot->StageList()->currentIndex();
        const struct {
            int mode;
            const char* status;
            const char* listed;
            const char* title_end;
        } cases[] = {
            {1, "Splice Correction: off, Continuum Removal: on", "Continuum Removed",
             " - Continuum Removed"},
            {0, "Splice Correction: off, Continuum Removal: off", "Continuum Removed (off)",
             " - Filtered (no smoothing; Continuum Removal off)"},
        };
        for (const auto& c : cases) {
            QVERIFY(w->frame->Run(
                [&] { w->frame->Form().SetStageMode(Stage::kContinuumRemoved, c.mode); }));
            QCOMPARE(status->text(), QString::fromLatin1(c.status));
            QCOMPARE(plot->StageList()->itemText(at), QString::fromLatin1(c.listed));
            Choose(plot->StageList(), at);
            QVERIFY(Drawn(plot));
            const std::string& title = plot->Plot().title;
            const std::string end = c.title_end;
            QVERIFY2(title.size() > end.size() && title.substr(title.size() - end.size()) == end,
                     title.c_str());
        }
        // The next cases expect the stage they left.
        Choose(plot->StageList(), was);
        QVERIFY(Drawn(plot));
    }

    void windowRemembersAndOpensSeveralFiles() {
        w->frame->RestoreSettings();  // nothing stored yet; from now on it is kept
        w->frame->Run([&] {
            w->frame->Form().SetDerivativeOrder(2);
            w->frame->Form().SelectClassifier(2);
        });
        QVERIFY(Drawn(w->frame->SpectraPlotDock()));
        const FormSelections before = w->frame->Form().Selections();
        w->frame->close();

        MainWindow again(*w->doc);
        again.Frontend().SetMessageBoxes(false);
        again.show();
        again.InitialUpdate();
        again.RestoreSettings();
        again.WaitForPendingWork();
        const FormSelections after = again.Form().Selections();
        QCOMPARE(after.derivative_order, 2);
        QCOMPARE(after.classifier, 2);
        QCOMPARE(after.feature_space_id, before.feature_space_id);
        QVERIFY(again.SpectraPlotDock());  // the docks open again as they were
        // ... with the plot's choices of the last run, drawn.
        SpectraPlotWindow* plot = again.SpectraPlotDock();
        QVERIFY(Drawn(plot));
        QCOMPARE(plot->StageList()->currentText(), QStringLiteral("Filtered"));
        QCOMPARE(plot->DetailsList()->currentIndex(), 2);
        QCOMPARE(plot->Form().StageWord(), std::string("filtered"));
        QCOMPARE(static_cast<int>(plot->Plot().groups.size()), 4);

        // Several files at once; one that cannot be read does not keep out the others.
        again.Frontend().SetOpenFilesAnswer([] {
            return std::vector<std::string>{
                test::SourcePath("examples/demo-study/GS/site01/gs00001.asd"),
                test::SourcePath("examples/demo-study/no-such-file.asd"),
                test::SourcePath("examples/demo-study/GS/site01/gs00002.asd")};
        });
        again.Action(kCmdOpen)->trigger();
        again.WaitForPendingWork();
        QListWidget* loaded = again.View()->LoadedSpectra();
        QCOMPARE(loaded->count(), 2);
        QVERIFY(!again.Frontend().LastError().empty());
        const QString second = loaded->item(1)->text();
        loaded->item(0)->setSelected(true);
        again.View()->RemoveLoaded()->click();
        again.WaitForPendingWork();
        QCOMPARE(test::Items(loaded), QStringList{second});
        QCOMPARE(w->doc->LoadedSpectra().size(), size_t{1});
    }

    // Settings written before the stage words were kept hold the stage's position in the list
    // of that time: position 2 was the smoothed stage, whatever stages came since.
    void olderSettingsKeepThePlotStage() {
        {
            QSettings settings = OrvaneSettings();
            settings.remove(QStringLiteral("plot/stageWord"));
            settings.setValue(QStringLiteral("plot/stage"), 2);
        }
        MainWindow again(*w->doc);
        again.Frontend().SetMessageBoxes(false);
        again.InitialUpdate();
        again.RestoreSettings();
        again.WaitForPendingWork();
        QVERIFY(again.SpectraPlotDock());
        QVERIFY(Drawn(again.SpectraPlotDock()));
        QCOMPARE(again.SpectraPlotDock()->StageList()->currentText(), QStringLiteral("Smoothed"));
    }

};

}  // namespace orvane

QTEST_MAIN(orvane::SpectraWindowTest)
#include "spectra_window_test.moc"
