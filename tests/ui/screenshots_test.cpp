// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures the README shows, made from the window on the demo study in a throwaway
// database: the main window after a validated discriminant analysis, the spectra plot, the PCA
// score plot and its explained variance, the separability table and the sensor comparison. They go to ORVANE_SCREENSHOTS when it names a folder (scripts/screenshots
// sets docs/images), else to the build's artifacts.
#include <QDir>
#include <QListWidget>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

#include "forms/menu_command.h"
#include "forms/waveband_filter_setup.h"
#include "ui/plot_window.h"
#include "ui/result_tables_window.h"
#include "ui/sensor_comparison_dialog.h"
#include "ui/spectra_plot_window.h"
#include "ui/workbench.h"

namespace orvane {

class ScreenshotsTest : public QObject {
    Q_OBJECT

    test::TempDir settings_dir;

    static QString Folder() {
        const QString chosen = qEnvironmentVariable("ORVANE_SCREENSHOTS");
        return chosen.isEmpty() ? QStringLiteral(ORVANE_ARTIFACTS) : chosen;
    }

    // Saves a widget as painted; false when the picture is empty or cannot be written.
    static bool Shot(QWidget* widget, const char* name) {
        QTest::qWait(50);
        const QString path = Folder() + QLatin1Char('/') + QLatin1String(name);
        return QDir().mkpath(Folder()) && widget->grab().save(path) &&
               QFileInfo(path).size() > 1000;
    }

  private slots:
    void initTestCase() {
        // The remembered window settings go to a folder of the test's own.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(settings_dir.Path()));
    }

    void readmePictures() {
        test::Workbench w("uireadme");
        const std::vector<int> ids =
            w.ArrangeStudies({"sentinel2a_msi", "landsat8_oli", "enmap"}, {"Demo study"});
        w.SetStudyFolder(ids[0], test::SourcePath("examples/demo-study"), 15);
        w.Connect();
        w.Show();
        MainWindow& frame = *w.frame;
        MainForm& form = frame.Form();
        QVERIFY(frame.Run([&] { form.ImportSpectra(frame.Frontend()); }));
        const int sentinel = test::IndexOf(form.Sensors(), "Sentinel-2A MSI");
        QVERIFY(sentinel >= 0);
        QVERIFY(frame.Run([&] {
            form.SelectSensor(sentinel);
            form.SetFeatureSpaceType(1);
            form.SelectFeatureSpace(test::IndexOf(form.FeatureSpaces(), "Vegetation indices"));
        }));
        frame.Action(kCmdBuildLibrary)->trigger();
        frame.WaitForJob();
        const auto error = [&] { return frame.Frontend().LastError(); };
        QVERIFY2(error().empty(), error().c_str());

        frame.Frontend().SetAnalysisAnswer([](const Analysis&, AnalysisValues&) { return true; });
        frame.Action(kCmdSeparability)->trigger();
        frame.WaitForJob();
        QVERIFY2(error().empty(), error().c_str());
        ResultTablesWindow* tables = frame.ResultTablesDock();
        tables->setFloating(true);
        tables->resize(620, 300);
        tables->Tabs()->setCurrentWidget(tables->TableOf(QStringLiteral("JM Distance")));
        QVERIFY(Shot(tables, "separability-table.png"));

        w.RunAndWait(kCmdCompareSensors);
        SensorComparisonDialog* compare = frame.CompareSensorsDialog();
        for (int i = 0; i < compare->List()->count(); ++i) compare->List()->item(i)->setSelected(true);
        compare->accept();
        frame.WaitForJob();
        QVERIFY2(error().empty(), error().c_str());
        QVERIFY(tables->TableOf(QStringLiteral("Sensor Comparison")));
        tables->Tabs()->setCurrentWidget(tables->TableOf(QStringLiteral("Sensor Comparison")));
        tables->resize(900, 250);
        QVERIFY(Shot(tables, "sensor-comparison.png"));

        // The main window as a user sees it after a validated discriminant analysis.
        frame.Frontend().SetAnalysisAnswer([](const Analysis&, AnalysisValues& values) {
            values.Set("validate", 1);  // leave-one-out
            return true;
        });
        tables->setFloating(false);
        tables->hide();
        frame.Action(kCmdDiscriminantAnalysis)->trigger();
        frame.WaitForJob();
        QVERIFY2(error().empty(), error().c_str());
        tables->hide();
        frame.resize(1200, 760);
        QVERIFY(Shot(&frame, "main-window.png"));

        // Species means of the spectra without the water absorption bands and the noisy end.
        WavebandFilterSetup filter(w.doc->Session());
        filter.Show();
        filter.New(1350, 1450);
        filter.New(1800, 1950);
        filter.New(2400, 2499);
        filter.Ok();
        frame.Action(kCmdSpectraPlot)->trigger();
        SpectraPlotWindow* spectra = frame.SpectraPlotDock();
        const int filtered = spectra->StageList()->findText(QStringLiteral("Filtered"));
        QVERIFY(filtered >= 0);
        spectra->StageList()->setCurrentIndex(filtered);
        emit spectra->StageList()->activated(filtered);
        spectra->DetailsList()->setCurrentIndex(2);
        emit spectra->DetailsList()->activated(2);
        QVERIFY(QTest::qWaitFor([&] { return !spectra->Computing(); }, 60000));
        QVERIFY(!spectra->Plot().curves.empty());
        spectra->setFloating(true);
        spectra->resize(1000, 620);
        QVERIFY(Shot(spectra, "spectra-plot.png"));
        spectra->setFloating(false);
        spectra->hide();

        frame.Action(kCmdPca)->trigger();
        frame.WaitForJob();
        QVERIFY2(error().empty(), error().c_str());
        QCOMPARE(frame.PlotWindows().size(), size_t{1});
        auto* plot = qobject_cast<ScorePlotWindow*>(frame.PlotWindows().front());
        QVERIFY(plot && plot->isVisible());
        QVERIFY(Shot(plot, "score-plot.png"));
        plot->Views()->setCurrentWidget(plot->ScreeView());
        QVERIFY(Shot(plot, "explained-variance.png"));
    }
};

}  // namespace orvane

QTEST_MAIN(orvane::ScreenshotsTest)
#include "screenshots_test.moc"
