// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>
#include <fstream>
#include <set>

#include "export/export_spectra.h"
#include "forms/menu_command.h"
#include "support/cli_runner.h"
#include "support/feature_study.h"
#include "support/mixing_study.h"
#include "support/study_rows.h"
#include "spectra/spectrum.h"
#include "stats/separability.h"
#include "ui/abundance_settings_dialog.h"
#include "ui/analysis_dialog.h"
#include "ui/endmember_selection_dialog.h"
#include "ui/export_dialog.h"
#include "ui/independent_set_dialog.h"
#include "ui/map_image_dialog.h"
#include "ui/map_window.h"
#include "ui/plot_window.h"
#include "ui/result_tables_window.h"
#include "ui/site_accuracy_dialog.h"
#include "ui/species_names_dialog.h"
#include "ui/workbench.h"

namespace orvane {
namespace {

using test::Items;

QString FirstLine(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(file.readLine()).trimmed();
}

// Three species of known features in "Library study" (and the same folders in "Independent
// study"), the three-band sensor and the NTBI feature space over them, and the main window on
// it with the NTBI type chosen. The name-type question is counted and answered from `answer`.
struct LibraryWindow : test::Workbench {
    explicit LibraryWindow(const std::string& tag) : Workbench(tag) {
        Database& db = scratch.Admin();
        for (const char* name : {"Library study", "Independent study"})
            test::InsertFeatureSpecies(db, test::InsertAlphaBetaStudy(db, name), "gamma",
                                       {{1, {{0.5, -0.3}, {0.6, -0.2}, {0.55, -0.35}}}});
        test::InsertPairFeatureSpace(db);
        test::WriteThreeBandSensor(dir.File("three_bands.txt"));
        ImportSensorFile(dir.File("three_bands.txt"));
        Connect();
        frame->Frontend().SetNameTypeAnswer([this](int& name_type) {
            ++questions;
            name_type = kFolderName;
            return answer;
        });
        frame->Frontend().SetAnalysisAnswer([this](const Analysis&, AnalysisValues& chosen) {
            ++questions;
            chosen.Set("validate", validation);
            return answer;
        });
        Show();
        SetType(1);
    }

    void SetType(int type) {
        frame->Run([&] { frame->Form().SetFeatureSpaceType(type); });
    }
    QString Status() { return frame->View()->LibraryStatus()->text(); }
    QAction* Action(int id) { return frame->Action(id); }
    const std::string& Error() { return frame->Frontend().LastError(); }
    void ExpectNoError() { QVERIFY2(Error().empty(), Error().c_str()); }

    bool answer = true;
    int validation = 0;  // resubstitution
    int questions = 0;
};

// grass, soil and a 0.7 / 0.3 mixture of them on the six-band sensor, all mixture species at
// first.
struct MixingWindow : test::Workbench {
    MixingWindow() : Workbench("mixingwindow") {
        test::InsertGrassSoilMixStudy(scratch.Admin(), "Mixing study");
        test::WriteMixingSensor(dir.File("six.txt"));
        ImportSensorFile(dir.File("six.txt"));
        Connect();
        Show();
    }

    static void Pick(QListWidget* list, const QString& text) {
        const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        list->setCurrentItem(found.front());
        // What the choice reads is done on the worker thread before the test goes on.
        if (auto* frame = qobject_cast<MainWindow*>(list->window()->parentWidget()))
            frame->WaitForPendingWork();
    }
};

bool IsBlack(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 64; }
bool IsWhite(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) > 240; }

// The surface as painted, at device pixels of the layout.
QImage Grab(PlotWindow& window) {
    QPixmap pixmap = window.Surface()->grab();
    pixmap.setDevicePixelRatio(1.0);
    return pixmap.toImage().scaled(window.Surface()->size());
}

const std::vector<PlotPoint> kPoints = {{0, -1}, {2.5, 0.4}, {5, 1}, {7.5, -0.2}, {10, 0.7}};

}  // namespace

class AnalysisWindowTest : public QObject {
    Q_OBJECT

  private slots:
    // Statistics > Map Image: the image through the library on the worker thread, the map with
    // its legend, saved as PNG, and the class areas in the Result Tables dock.
    void mapImageShowsTheMapWithItsLegendAndAreas() {
        test::Workbench w("uimap");
        const std::string config = w.scratch.WriteConfig(w.dir.Path());
        const std::string tile = test::TestData("imagery/enmap_potsdam_tile_64_0.tif");
        for (std::vector<std::string> words :
             {std::vector<std::string>{"study", "create", "--name", "Demo study", "--path",
                                       test::SourcePath("examples/demo-study")},
              {"--study", "Demo study", "import"},
              {"--study", "Demo study", "sensor", "import", "--from-image", tile, "--name", "EnMAP tile"},
              {"--study", "Demo study", "--sensor", "EnMAP tile", "--derivative", "1", "pca"},
              {"--study", "Demo study", "--sensor", "EnMAP tile", "feature-space", "new",
               "--fs-type", "PCT", "--name", "PCT 5", "--dimension", "5"}}) {
            words.insert(words.begin(), {"--config", config});
            const test::CliOutcome r = test::RunCliWords(words);
            QVERIFY2(r.rc == 0, r.err.c_str());
        }
        w.Connect();
        w.Show();
        MainForm& form = w.frame->Form();
        w.frame->Run([&] {
            form.SelectSensor(test::IndexOf(form.Sensors(), "EnMAP tile"));
            form.SetDerivativeOrder(1);
            form.SetFeatureSpaceType(kFeaturePCT);
            form.SelectFeatureSpace(test::IndexOf(form.FeatureSpaces(), "PCT 5"));
        });
        const auto error = [&] { return w.frame->Frontend().LastError(); };
        w.TriggerAndWait(kCmdBuildLibrary);
        QVERIFY2(error().empty(), error().c_str());

        w.frame->RunCommand(kCmdMapImage);
        MapImageDialog* dialog = w.frame->MapImage();
        QVERIFY(dialog->isVisible());
        dialog->accept();
        QVERIFY2(dialog->isVisible(), "OK without an image keeps the dialog open");
        const std::string refused = error();
        QCOMPARE(refused, std::string("Choose the image to map."));
        const std::string out = w.dir.File("classes.tif");
        dialog->ImageField()->setText(QString::fromStdString(tile));
        dialog->ClassesField()->setText(QString::fromStdString(out));
        dialog->ThresholdKind()->setCurrentIndex(2);
        QVERIFY(dialog->ThresholdValue()->isEnabled());
        dialog->accept();
        w.frame->WaitForJob();
        QCOMPARE(error(), refused);
        QVERIFY(!dialog->isVisible());
        QTRY_VERIFY(w.frame->findChild<MapWindow*>());
        MapWindow* map = w.frame->findChild<MapWindow*>();
        QCOMPARE(test::Items(map->Legend()),
                 (QStringList{"AT", "GS", "OPS", "PH", "Unclassified or no data: transparent"}));
        QCOMPARE(map->MapImage().size(), QSize(32, 32));
        const std::string png = w.dir.File("map.png");
        QVERIFY(map->SavePng(png));
        // The map enlarged to 512 pixels, the legend beside it.
        QVERIFY(QImage(QString::fromStdString(png)).width() > 512 + 100);
        QTableWidget* areas = w.frame->ResultTablesDock()->TableOf(QStringLiteral("Map Areas"));
        QVERIFY(areas);
        QCOMPARE(areas->verticalHeaderItem(4)->text(), QStringLiteral("Unclassified"));
        QVERIFY(w.Report().contains(QStringLiteral("Species map of ")));

        // Its accuracy against the tile's land-cover labels, classes mapped by a table.
        const std::string mapping = w.dir.File("mapping.csv");
        std::ofstream(mapping) << "reference,map\n1,AT\n2,GS\n3,OPS\n4,PH\n5,\n6,\n";
        w.frame->RunCommand(kCmdMapAccuracy);
        MapAccuracyDialog* accuracy = w.frame->MapAccuracyChoice();
        QCOMPARE(accuracy->MapField()->text().toStdString(), out);
        accuracy->ReferenceField()->setText(QString::fromStdString(
            test::TestData("imagery/labels/enmap_potsdam_tile_64_0.tif")));
        accuracy->ClassesField()->setText(QString::fromStdString(mapping));
        accuracy->accept();
        w.frame->WaitForJob();
        QCOMPARE(error(), refused);
        QVERIFY(w.frame->ResultTablesDock()->TableOf(QStringLiteral("Map Error Matrix")));
    }

    // A declared analysis's dialog: every option a group, k-fold's K usable only while k-fold
    // is chosen, and the values as the command line would read them.
    void analysisDialogShowsTheDeclaredOptions() {
        AnalysisDialog dialog(*FindAnalysis("da"), nullptr);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Discriminant Analysis"));
        QSpinBox* folds = dialog.CountBox("validate");
        QVERIFY(folds && !folds->isEnabled());
        QCOMPARE(dialog.Values().Get("validate"), 0);
        QCOMPARE(dialog.Values().Get("names"), static_cast<int>(kFolderName));
        dialog.Group("validate")->button(1)->click();
        QCOMPARE(dialog.Values().Get("validate"), 1);
        dialog.Group("validate")->button(2)->click();
        QVERIFY(folds->isEnabled());
        folds->setValue(3);
        QCOMPARE(dialog.Values().Count("validate"), 3);
        AnalysisDialog separability(*FindAnalysis("separability"), nullptr);
        QCOMPARE(separability.windowTitle(), QStringLiteral("JM/B Distance"));
        QCOMPARE(separability.Group("distance")->checkedId(),
                 static_cast<int>(SeparabilitySettings::kBoth));
        QVERIFY(!separability.CountBox("distance"));
    }

    void buildingTheLibraryMakesItReadyAndLetsLoadedSpectraBeClassified() {
        LibraryWindow w("uilibrary");
        const std::string file = test::TestData("asd/as6/v6sample00000.asd");
        for (int i = 0; i < 3; ++i) w.doc->LoadSpectrumFile(file);
        w.frame->Run([] {});
        WorkbenchView& v = w.View();
        QCOMPARE(w.Status(), QStringLiteral("Not Ready"));
        QVERIFY(!v.IndivClassify()->isEnabled());
        w.TriggerAndWait(kCmdBuildLibrary);
        w.ExpectNoError();
        QVERIFY2(w.Status().startsWith(QStringLiteral("Ready (")), qPrintable(w.Status()));
        QVERIFY(w.Report().contains(QStringLiteral("New library built and reloaded")));
        QVERIFY(!w.frame->findChild<QProgressBar*>(QStringLiteral("jobProgress"))->isVisible());
        QVERIFY(w.Action(kCmdDiscriminantAnalysis)->isEnabled());

        const int before = w.Report().count(QStringLiteral("->"));
        v.LoadedSpectra()->item(2)->setSelected(true);
        v.LoadedSpectra()->item(0)->setSelected(true);
        QTest::mouseClick(v.IndivClassify(), Qt::LeftButton);
        w.frame->WaitForPendingWork();
        w.ExpectNoError();
        QCOMPARE(w.Report().count(QStringLiteral("->")) - before, 6);  // two rankings of three
        // Each ranking opens with its verdict.
        QCOMPARE(w.Report().count(QStringLiteral("] classified as ")), 2);

        // The status follows every reload.
        w.SetType(0);
        QCOMPARE(w.Status(), QStringLiteral("Not Ready"));
        w.SetType(1);
        QVERIFY2(w.Status().startsWith(QStringLiteral("Ready (")), qPrintable(w.Status()));
        // In the other study whatever classifies is disabled and names the command that mends it.
        w.frame->Run([&] { w.frame->Form().SelectStudy(1); });
        const QString tip = w.Action(kCmdSiteAccuracy)->toolTip();
        QVERIFY2(tip.startsWith("Library Not Ready") && tip.endsWith("build it (Library > Build)."),
                 qPrintable(tip));
    }

    // The analyses, the export and the PCA on one built library: each asks first, runs on OK
    // and nothing on Cancel.
    // Names set in the dialog label the results; a species without one shows its folder, and
    // the report says so.
    // A build runs on the worker thread: while it waits for a study another program holds,
    // the window keeps handling events with the session's commands disabled, and Cancel ends
    // it as cancelled (a report line, no error) with nothing stored.
    void aLongBuildLeavesTheWindowAnsweringAndCancelsWithoutAnError() {
        LibraryWindow w("uicancel");
        Database& db = w.scratch.Admin();
        // Another program holds the study.
        db.Execute(
            Sql("insert into study_lock (study_id, token, account, host, pid, expires_at) "
                "values (%i, 'elsewhere', 'ana', 'field-laptop', 4242, now(6) + interval "
                "1 hour)",
                w.doc->Session().StudyId()));

        w.Action(kCmdBuildLibrary)->trigger();
        QVERIFY(w.frame->JobRunning());
        bool answered_while_running = false;
        QTimer::singleShot(200, w.frame.get(),
                           [&] { answered_while_running = w.frame->JobRunning(); });
        QTRY_VERIFY_WITH_TIMEOUT(answered_while_running, 5000);
        auto* bar = w.frame->findChild<QProgressBar*>(QStringLiteral("jobProgress"));
        auto* cancel = w.frame->findChild<QPushButton*>(QStringLiteral("jobCancel"));
        QVERIFY(bar && bar->isVisible() && cancel && cancel->isVisible());
        for (int id : {kCmdBuildLibrary, kCmdImportSpectra, kCmdExport, kCmdPca})
            QVERIFY2(!w.Action(id)->isEnabled(), "a second job would share the session");
        QVERIFY(w.Action(kCmdAbout)->isEnabled());
        QVERIFY(!w.View().StudyList()->isEnabled());
        QVERIFY(w.View().ReportWindow()->isEnabled());
        QVERIFY(!w.frame->Run([] {}));
        QVERIFY(QDir().mkpath(QStringLiteral(ORVANE_ARTIFACTS)));
        QVERIFY(w.frame->grab().save(QStringLiteral(ORVANE_ARTIFACTS "/job-running.png")));

        QTest::mouseClick(cancel, Qt::LeftButton);
        w.frame->WaitForJob();
        db.Execute("delete from study_lock");
        QVERIFY(!w.frame->JobRunning());
        w.ExpectNoError();
        QVERIFY2(w.Report().contains(QStringLiteral("cancelled while waiting for study")),
                 qPrintable(w.Report()));
        QCOMPARE(w.Status(), QStringLiteral("Not Ready (build cancelled)"));
        QCOMPARE(w.Count("select count(*) from library"), 0);
        QVERIFY(!bar->isVisible() && !cancel->isVisible());
        QVERIFY(w.View().StudyList()->isEnabled());
        QVERIFY(w.Action(kCmdBuildLibrary)->isEnabled());

        w.TriggerAndWait(kCmdBuildLibrary);
        w.ExpectNoError();
        QVERIFY2(w.Status().startsWith(QStringLiteral("Ready (")), qPrintable(w.Status()));
    }

    void speciesNamesDialogStoresEditsAndResultsFallBackToFolders() {
        LibraryWindow w("uinames");
        QVERIFY(w.Action(kCmdSpeciesNames)->isEnabled());
        // The dialog shows at once and takes OK once its rows are read on the worker thread.
        const auto open = [&] {
            w.frame->RunCommand(kCmdSpeciesNames);
            SpeciesNamesDialog* shown = nullptr;
            for (SpeciesNamesDialog* d : w.frame->findChildren<SpeciesNamesDialog*>())
                if (d->isVisible()) shown = d;
            return shown;
        };
        {
            // Closed, the dialog goes.
            QPointer<SpeciesNamesDialog> dialog = open();
            QVERIFY(dialog);
            w.frame->WaitForPendingWork();
            QVERIFY(dialog->Filled() && dialog->OkButton()->isEnabled());
            QTableWidget* t = dialog->Table();
            QCOMPARE(t->rowCount(), 3);
            QCOMPARE(t->item(0, 0)->text(), QStringLiteral("alpha"));
            QVERIFY(!(t->item(0, 0)->flags() & Qt::ItemIsEditable));
            t->item(0, 2)->setText(QStringLiteral("Alpha prima"));
            t->item(1, 1)->setText(QStringLiteral("B\tC"));
            dialog->accept();
            w.frame->WaitForPendingWork();
            QVERIFY(dialog->isVisible());
            QVERIFY2(dialog->Refusal().find("control character") != std::string::npos,
                     dialog->Refusal().c_str());
            QCOMPARE(t->item(1, 1)->text(), QStringLiteral("B\tC"));  // the edit is kept
            // The first row was stored before the refusal: OK again stores only the second.
            t->item(1, 1)->setText(QStringLiteral("Bee"));
            dialog->accept();
            w.frame->WaitForPendingWork();
            QVERIFY(!dialog || !dialog->isVisible());
            QCOMPARE(w.frame->Frontend().LastError(), std::string());
        }
        SpeciesNamesDialog* reopened = open();
        QVERIFY(reopened);
        w.frame->WaitForPendingWork();
        QCOMPARE(reopened->Table()->item(0, 2)->text(), QStringLiteral("Alpha prima"));
        QCOMPARE(reopened->Table()->item(1, 1)->text(), QStringLiteral("Bee"));
        reopened->reject();

        w.TriggerAndWait(kCmdBuildLibrary);
        w.frame->Frontend().SetAnalysisAnswer([](const Analysis&, AnalysisValues& values) {
            values.Set("names", kLatinName);
            return true;
        });
        w.TriggerAndWait(kCmdDiscriminantAnalysis);
        w.ExpectNoError();
        QCOMPARE(FirstLine(w.Output("Error Matrix.csv")),
                 QStringLiteral(",Alpha prima,beta,gamma,Row Total,User Accuracy"));
        QVERIFY(w.Report().contains(QStringLiteral(
            "2 of 3 species have no Latin name; their folder names are shown instead: beta, "
            "gamma.")));
    }

    void analysisDialogsExportAndPcaRunOnTheLibrary() {
        LibraryWindow w("uianalyses");
        w.TriggerAndWait(kCmdBuildLibrary);
        const std::string matrix = w.Output("Error Matrix.csv");

        w.answer = false;
        w.TriggerAndWait(kCmdDiscriminantAnalysis);
        QCOMPARE(w.questions, 1);
        QVERIFY2(!QFile::exists(QString::fromStdString(matrix)), "Cancel runs nothing");
        w.answer = true;
        w.TriggerAndWait(kCmdDiscriminantAnalysis);
        w.ExpectNoError();
        QCOMPARE(FirstLine(matrix), QStringLiteral(",alpha,beta,gamma,Row Total,User Accuracy"));
        QVERIFY(w.Report().contains(QStringLiteral("% (resubstitution)")));
        // The window shows the same matrix as a table, classified as down, reference across.
        QTableWidget* grid = w.frame->ResultTablesDock()->TableOf(QStringLiteral("Error Matrix"));
        QVERIFY(grid && w.frame->ResultTablesDock()->isVisible());
        QCOMPARE(grid->horizontalHeaderItem(0)->text(), QStringLiteral("alpha"));
        QCOMPARE(grid->verticalHeaderItem(3)->text(), QStringLiteral("Column Total"));
        QCOMPARE(grid->verticalHeaderItem(4)->text(), QStringLiteral("Producer's Accuracy"));
        QVERIFY(grid->item(0, 4)->text().endsWith(QStringLiteral(" %")));
        w.frame->ResultTablesDock()->CopyCurrent();
        QVERIFY(QApplication::clipboard()->text().startsWith(
            QStringLiteral("Classified as \\ Reference\talpha\tbeta\tgamma\tRow Total")));
        const std::string saved = w.Output("table.csv");
        QVERIFY(w.frame->ResultTablesDock()->SaveCurrent(saved));
        QCOMPARE(FirstLine(saved),
                 QStringLiteral("Classified as \\ Reference,alpha,beta,gamma,Row Total,"
                                "User's Accuracy"));
        w.validation = 1;  // leave-one-out
        w.TriggerAndWait(kCmdDiscriminantAnalysis);
        w.ExpectNoError();
        QVERIFY(QFile::exists(QString::fromStdString(w.Output("Error Matrix (leave-one-out).csv"))));
        QVERIFY(w.Report().contains(QStringLiteral("Discriminant Analysis (leave-one-out)")));

        w.RunAndWait(kCmdIndependentSet);
        IndependentSetDialog* independent = w.frame->IndependentSet();
        QCOMPARE(Items(independent->List()), QStringList{"Independent study"});
        independent->accept();
        QVERIFY2(independent->isVisible(), "OK without a study keeps the dialog open");
        independent->List()->setCurrentRow(0);
        independent->accept();
        w.frame->WaitForJob();
        QVERIFY(!independent->isVisible());
        QCOMPARE(w.questions, 4);
        w.ExpectNoError();
        QVERIFY(w.Report().contains(QStringLiteral("Library Accuracy Check")));
        // Its error matrix has a tab of its own, saying which study validated the library.
        QTableWidget* independent_table =
            w.frame->ResultTablesDock()->TableOf(QStringLiteral("Independent Set"));
        QVERIFY(independent_table);
        QCOMPARE(independent_table->horizontalHeaderItem(0)->text(), QStringLiteral("alpha"));
        QVERIFY(w.frame->ResultTablesDock()->TableOf(QStringLiteral("Error Matrix")));
        w.frame->ResultTablesDock()->CopyCurrent();
        QVERIFY(QApplication::clipboard()->text().contains(
            QStringLiteral("Validation\tindependent set: study 'Independent study'")));

        w.frame->RunCommand(kCmdSiteAccuracy);
        SiteAccuracyDialog* site = w.frame->SiteAccuracy();
        QCOMPARE(Items(site->List()), (QStringList{"alpha", "beta", "gamma"}));
        site->List()->setCurrentRow(1);
        site->accept();
        w.frame->WaitForJob();
        QVERIFY(!site->isVisible());
        QVERIFY(w.Report().contains(QStringLiteral("Site Accuracy Check for beta")));

        bool separate = false;
        w.frame->Frontend().SetAnalysisAnswer([&](const Analysis&, AnalysisValues& values) {
            values.Set("distance", SeparabilitySettings::kB);
            return separate;
        });
        const std::string table = w.Output("B output.csv");
        w.TriggerAndWait(kCmdSeparability);
        QVERIFY2(!QFile::exists(QString::fromStdString(table)), "Cancel runs nothing");
        separate = true;
        w.TriggerAndWait(kCmdSeparability);
        w.ExpectNoError();
        QCOMPARE(FirstLine(table), QStringLiteral(",alpha,beta,gamma,"));
        for (const char* title : {"JM Distance", "B Distance"}) {
            QTableWidget* distances = w.frame->ResultTablesDock()->TableOf(QString::fromLatin1(title));
            QVERIFY2(distances, title);
            QCOMPARE(distances->rowCount() - 1, 3);  // three classes and the scale's note
            QCOMPARE(distances->item(1, 1)->text(), QStringLiteral("-"));
            QVERIFY2(distances->item(0, 1)->background().style() != Qt::NoBrush,
                     "a distance is coloured on the scale");
            // The scale's note is a sentence longer than its row is wide: the row shows it all.
            const int note = distances->rowCount() - 1;
            int width = 0;
            for (int c = 0; c < distances->columnCount(); ++c) width += distances->columnWidth(c);
            const QRect text = distances->fontMetrics().boundingRect(
                QRect(0, 0, width - 8, 10000), Qt::TextWordWrap, distances->item(note, 0)->text());
            QVERIFY2(text.height() > distances->fontMetrics().height(), "the note wraps");
            QVERIFY2(distances->rowHeight(note) >= text.height(),
                     qPrintable(QString::number(distances->rowHeight(note))));
        }
        QCOMPARE(w.frame->ResultTablesDock()->Tabs()->currentIndex(),
                 w.frame->ResultTablesDock()->Tabs()->indexOf(
                     w.frame->ResultTablesDock()->TableOf(QStringLiteral("JM Distance"))));

        // The export dialog starts from its form's defaults and writes their file.
        w.frame->RunCommand(kCmdExport);
        ExportDialog* dialog = w.frame->Export();
        QCOMPARE(dialog->StageGroup()->checkedId(), 3);
        QCOMPARE(dialog->Format()->currentText(), QStringLiteral("csv"));
        dialog->StageGroup()->button(0)->click();  // the form disables what the stage excludes
        QVERIFY(!dialog->Interpolate()->isEnabled());
        dialog->StageGroup()->button(3)->click();

        dialog->accept();
        w.frame->WaitForJob();
        QVERIFY(!dialog->isVisible());
        w.ExpectNoError();
        const std::string name =
            ExportFileName(w.doc->Session(), "Library study", ExportSettings());
        QVERIFY(FirstLine(w.Output(name + ".csv")).startsWith(QStringLiteral("species,")));
        QVERIFY(w.Report().contains(QStringLiteral("Exported 3 species")));

        // OK only hides the dialog: the next showing has the same choices.
        dialog->Format()->setCurrentIndex(0);
        dialog->accept();
        w.frame->WaitForJob();
        w.frame->RunCommand(kCmdExport);
        QCOMPARE(dialog->Format()->currentText(), QStringLiteral("arff"));

        // Each principal component analysis opens a score plot and offers the PCT spaces.
        w.scratch.Admin().Execute(
            "insert into feature_space (name, description, dimension, fs_type_id, build_date) "
            "values ('PCT 2', '', 2, (select fs_type_id from feature_space_type where type = 2), "
            "current_timestamp(6))");
        w.SetType(2);
        w.TriggerAndWait(kCmdPca);
        w.ExpectNoError();
        QVERIFY(w.Report().contains(QStringLiteral("PCA output written to file:")));
        QCOMPARE(w.View().FeatureSpaceList()->currentText(), QStringLiteral("PCT 2"));
        QCOMPARE(w.frame->PlotWindows().size(), size_t{1});
        PlotWindow* plot = w.frame->PlotWindows().front();
        QVERIFY(plot->isVisible());
        QCOMPARE(plot->windowTitle(), QStringLiteral("PCA Score Plot of study 'Library study'"));
        QCOMPARE(plot->Scene().points.size(), size_t{11});
        // Species colours with a legend, and each axis titled with its explained variance.
        const PlotScene scene = plot->Scene();
        QVERIFY(!scene.legend.empty());
        QCOMPARE(std::set<std::string>(scene.point_colours.begin(), scene.point_colours.end())
                     .size(),
                 scene.legend.size());
        const QRegularExpression share(QStringLiteral("^PC(\\d) \\(\\d+\\.\\d %\\)$"));
        QCOMPARE(share.match(QString::fromStdString(scene.x_title.text)).captured(1),
                 QStringLiteral("1"));
        QCOMPARE(share.match(QString::fromStdString(scene.y_title.text)).captured(1),
                 QStringLiteral("2"));
        QVERIFY(w.Report().contains(QStringLiteral("PCA: feature space changed from ")));
        // Another pair of components, chosen in the window.
        auto* score = qobject_cast<ScorePlotWindow*>(plot);
        QVERIFY(score);
        QVERIFY(score->XComponent()->isEnabled());
        score->XComponent()->setValue(3);
        w.frame->WaitForPendingWork();
        QCOMPARE(share.match(QString::fromStdString(plot->Scene().x_title.text)).captured(1),
                 QStringLiteral("3"));

        // The explained variance of the same analysis: bars in percent and the cumulative line
        // up to the axis's top, saved and copied as the view shown.
        score->Views()->setCurrentWidget(score->ScreeView());
        const ScreeScene scree = score->ScreeSceneShown();
        QVERIFY(!scree.bars.empty());
        QCOMPARE(static_cast<int>(scree.cumulative.back().y), scree.axes[1].y2);
        QCOMPARE(scree.labels[5].text, std::string("100 %"));
        const std::string scree_svg = w.Output("scree.svg");
        QVERIFY(score->SaveSvg(scree_svg));
        QVERIFY(test::FileText(scree_svg).find("<polyline ") != std::string::npos);
        QVERIFY(score->SavePng(w.Output("scree.png")));
        QCOMPARE(QImage(QString::fromStdString(w.Output("scree.png"))).size(),
                 score->ScreeView()->size());
        // Right-click offers Copy and both saves on either view; Ctrl+C copies the view shown.
        for (QWidget* view : {score->Surface(), score->ScreeView()}) {
            QCOMPARE(view->contextMenuPolicy(), Qt::ActionsContextMenu);
            QCOMPARE(view->actions(), (QList<QAction*>{score->CopyAction(), score->SavePngAction(),
                                                       score->SaveSvgAction()}));
        }
        QVERIFY(score->SavePngAction()->text().endsWith(QStringLiteral("…")));
        QApplication::clipboard()->clear();
        score->CopyAction()->trigger();
        QCOMPARE(QApplication::clipboard()->image().size(), score->ScreeView()->size());
        score->Views()->setCurrentWidget(score->Surface());
        QApplication::clipboard()->clear();
        QApplication::setActiveWindow(score);  // the offscreen platform activates no window itself
        QTest::mouseClick(score->Surface(), Qt::LeftButton);  // a click gives the plot the focus
        QCOMPARE(QApplication::focusWidget(), score->Surface());
        QTest::keyClick(score->Surface(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->image().size(), score->Surface()->size());

        w.TriggerAndWait(kCmdPca);
        QCOMPARE(w.frame->PlotWindows().size(), size_t{2});
        plot->close();
        QCOMPARE(w.frame->PlotWindows().size(), size_t{1});
        // Closed (Escape closes it too), the last score plot comes back from the View menu.
        w.frame->PlotWindows().front()->close();
        QVERIFY(w.frame->PlotWindows().empty());
        w.Action(kCmdScorePlot)->trigger();
        QCOMPARE(w.frame->PlotWindows().size(), size_t{1});
        QVERIFY(w.frame->PlotWindows().front()->isVisible());
        QCOMPARE(w.frame->PlotWindows().front()->Scene().points.size(), size_t{11});
    }

    void mixingDialogsStoreAndUnmixReports() {
        MixingWindow w;
        // The remembered choices go to a folder of the test's own.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(w.dir.Path()));
        w.TriggerAndSettle(kCmdEndmemberSelection);
        EndmemberSelectionDialog* e = w.frame->EndmemberSelection();
        QCOMPARE(Items(e->Classes()), (QStringList{"grass", "mix", "soil"}));
        // Cancel takes back what was moved.
        auto* box = e->findChild<QDialogButtonBox*>();
        QVERIFY(box && box->button(QDialogButtonBox::Ok) && box->button(QDialogButtonBox::Cancel));
        MixingWindow::Pick(e->Classes(), QStringLiteral("grass"));
        w.Click(e, "toEndmembers");
        QCOMPARE(Items(e->Endmembers()), (QStringList{"grass"}));
        box->button(QDialogButtonBox::Cancel)->click();
        QVERIFY(!e->isVisible());
        w.TriggerAndSettle(kCmdEndmemberSelection);
        QCOMPARE(Items(e->Classes()), (QStringList{"grass", "mix", "soil"}));
        QVERIFY(Items(e->Endmembers()).isEmpty());
        for (const char* name : {"grass", "soil"}) {
            MixingWindow::Pick(e->Classes(), QString::fromLatin1(name));
            w.Click(e, "toEndmembers");
        }
        QCOMPARE(Items(e->Endmembers()), (QStringList{"grass", "soil"}));
        // The current sensor's elements, 1, 2, 3 and 6 checked; a change is kept at once in
        // the window's settings, as the command line's --elements takes it, and Unmix uses it.
        QListWidget* elements = e->ElementList();
        QCOMPARE(elements->count(), 6);
        QStringList checked;
        for (int i = 0; i < elements->count(); ++i) {
            QVERIFY(elements->item(i)->flags() & Qt::ItemIsUserCheckable);
            if (elements->item(i)->checkState() == Qt::Checked)
                checked << elements->item(i)->text().section(QLatin1Char(' '), 0, 0);
        }
        QCOMPARE(checked, (QStringList{"1", "2", "3", "6"}));
        QCOMPARE(elements->item(2)->text(), QStringLiteral("3  (650 nm)"));
        elements->item(5)->setCheckState(Qt::Unchecked);
        QCOMPARE(OrvaneSettings().value(QStringLiteral("unmixing/elements")).toString(),
                 QStringLiteral("1,2,3"));
        QVERIFY(e->ElementsNote()->text().contains(QStringLiteral("elements 1, 2 and 3 of")));
        w.Click(e, "ok");
        QVERIFY(!e->isVisible());

        w.frame->Action(kCmdAbundanceSettings)->trigger();
        AbundanceSettingsDialog* a = w.frame->AbundanceSettings();
        QVERIFY(a->isVisible());
        w.frame->WaitForPendingWork();
        MixingWindow::Pick(a->Classes(), "mix");
        QCOMPARE(Items(a->Available()), (QStringList{"grass", "soil"}));
        // The moves of both dialogs are icons that say what they do.
        for (const auto& [dialog, name] : {std::pair<QWidget*, const char*>{e, "toEndmembers"},
                                           {e, "toClasses"}, {a, "add"}, {a, "remove"}}) {
            auto* move = dialog->findChild<QPushButton*>(QString::fromLatin1(name));
            QVERIFY(move->text().isEmpty() && !move->icon().isNull() && !move->toolTip().isEmpty());
        }
        for (const char* name : {"grass", "soil"}) {
            MixingWindow::Pick(a->Available(), QString::fromLatin1(name));
            w.Click(a, "add");
        }
        // Cancel drops what was recorded; the database is as it was.
        w.Click(a, "cancel");
        QVERIFY(!a->isVisible());
        QCOMPARE(w.Count("select count(*) from mixture"), 0);
        w.TriggerAndSettle(kCmdAbundanceSettings);
        MixingWindow::Pick(a->Classes(), "mix");
        QVERIFY(Items(a->Selected()).isEmpty());
        for (const char* name : {"grass", "soil"}) {
            MixingWindow::Pick(a->Available(), QString::fromLatin1(name));
            w.Click(a, "add");
        }
        MixingWindow::Pick(a->Selected(), "grass");
        a->Abundance()->setText("0.7");
        w.Click(a, "save");
        QCOMPARE(a->Total()->text(), QStringLiteral("0.7"));
        QVERIFY(a->Note()->text().contains(QStringLiteral("add up to 0.7, not 1")));
        MixingWindow::Pick(a->Selected(), "soil");
        w.Click(a, "complement");
        QCOMPARE(a->Abundance()->text(), QStringLiteral("0.3"));
        QVERIFY(a->Note()->text().contains(QStringLiteral("in the field only: Save stores it")));
        w.Click(a, "save");
        QCOMPARE(a->Total()->text(), QStringLiteral("1"));
        QCOMPARE(a->Note()->text(), QString());
        QCOMPARE(w.Count("select count(*) from mixture"), 0);
        w.Click(a, "ok");
        QVERIFY(!a->isVisible());
        QCOMPARE(w.Count("select count(*) from mixture"), 2);

        w.TriggerAndWait(kCmdUnmix);
        QVERIFY(w.Report().contains(QStringLiteral(
            "0.70  grass\n0.30  soil\nresidual RMSE over sensor elements 1, 2, 3: 0.000000\n"
            "\nsimulated")));
        QVERIFY(QFile::exists(QString::fromStdString(w.Output("unmixing.csv"))));
        QTableWidget* unmixed = w.frame->ResultTablesDock()->TableOf(QStringLiteral("Unmixing"));
        QVERIFY(unmixed);
        QCOMPARE(unmixed->horizontalHeaderItem(0)->text(), QStringLiteral("grass"));
        QCOMPARE(unmixed->item(0, 0)->text(), QStringLiteral("0.7000"));
        QCOMPARE(unmixed->horizontalHeaderItem(3)->text(), QStringLiteral("Residual RMSE"));
        QCOMPARE(unmixed->item(0, 3)->text(), QStringLiteral("0.000000"));
        QCOMPARE(unmixed->horizontalHeaderItem(4)->text(), QStringLiteral("Outside 0-1"));
        QCOMPARE(unmixed->item(0, 4)->text(), QString());
    }

    // A score plot draws a filled marker at every point; the plain window draws axes only, and
    // nothing before its data is ready.
    void scorePlotDrawsMarkersAndThePlainWindowAxesOnly() {
        ScorePlotWindow window;
        window.AddItem(kPoints);
        window.SetTitle("Scores");
        window.SetDataReady(true);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QImage image = Grab(window);
        const PlotScene scene = window.Scene();
        QCOMPARE(scene.width, image.width());
        QCOMPARE(static_cast<int>(scene.points.size()), static_cast<int>(kPoints.size()));
        for (const PlotPoint& p : scene.points) {
            const int x = static_cast<int>(p.x) + 2;
            const int y = static_cast<int>(p.y) + 2;
            QVERIFY2(IsBlack(image, x, y), qPrintable(QString("marker at %1,%2").arg(x).arg(y)));
            // The marker is five pixels wide, not a smear across the plot.
            QVERIFY2(!IsBlack(image, x + 8, y) || !IsBlack(image, x - 8, y),
                     qPrintable(QString("beside %1,%2").arg(x).arg(y)));
        }
        const PixelLine& x_axis = scene.axes.at(0);
        QVERIFY(IsBlack(image, (x_axis.x1 + x_axis.x2) / 2, x_axis.y1));
        QVERIFY(IsBlack(image, 0, image.height() / 2));
        QVERIFY(IsWhite(image, x_axis.x1 + 3, x_axis.y1 - 3));

        PlotWindow plain;
        plain.AddItem(kPoints);
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        image = Grab(plain);
        QVERIFY2(!IsWhite(image, image.width() / 2, image.height() / 2), "drawn before ready");
        plain.SetDataReady(true);
        image = Grab(plain);
        QVERIFY(plain.Scene().points.empty());
        for (const PlotPoint& p : scene.points)
            QVERIFY(IsWhite(image, static_cast<int>(p.x) + 2, static_cast<int>(p.y) + 2));
        const PlotScene plain_scene = plain.Scene();
        const PixelLine& plain_axis = plain_scene.axes.at(0);
        QVERIFY(IsBlack(image, plain_axis.x1, plain_axis.y1));
    }
};

}  // namespace orvane

QTEST_MAIN(orvane::AnalysisWindowTest)
#include "analysis_window_test.moc"
