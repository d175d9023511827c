// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>
#include <memory>

#include "base/frontend.h"
#include "chain/processing_session.h"
#include "export/export_spectra.h"
#include "forms/menu_command.h"
#include "forms/workbench_document.h"
#include "study/sensor_import.h"
#include "support/feature_study.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"
#include "support/workbench_rows.h"
#include "ui/export_dialog.h"
#include "ui/independent_set_dialog.h"
#include "ui/main_window.h"
#include "ui/name_type_dialog.h"
#include "ui/plot_window.h"
#include "ui/separability_dialog.h"
#include "ui/site_accuracy_dialog.h"
#include "ui/workbench.h"
#include "ui/workbench_view.h"

namespace orvane {
namespace {

using test::Items;

QString ReadFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(file.readAll());
}

// Three species of known features in "Library study" (and the same folders, classified alike,
// in "Independent study"), the three-band sensor and the NTBI feature space over them, and
// the main window on it with the NTBI type chosen.
struct LibraryWindow : test::Workbench {
    explicit LibraryWindow(const std::string& tag) : Workbench(tag) {
        Database& db = scratch.Admin();
        study = test::InsertAlphaBetaStudy(db, "Library study");
        other = test::InsertAlphaBetaStudy(db, "Independent study");
        for (int s : {study, other})
            test::InsertFeatureSpecies(db, s, "gamma",
                                       {{1, {{0.5, -0.3}, {0.6, -0.2}, {0.55, -0.35}}}});
        test::InsertPairFeatureSpace(db);
        const std::string sensor = dir.File("three_bands.txt");
        test::WriteThreeBandSensor(sensor);
        {
            ProcessingSession session(scratch.Connect(), nullptr);
            SilentFrontend quiet;
            ImportSensor(session, quiet, sensor, 0);
        }
        Connect();
        frame->Frontend().SetNameTypeAnswer([this](int& name_type) {
            ++name_type_questions;
            name_type = NameTypeDialog::kFolder;
            return answer_name_type;
        });
        Show();
        frame->Run([&] { frame->Form().SetFeatureSpaceType(1); });
    }

    QString Status() { return frame->View()->LibraryStatus()->text(); }
    void Build() { frame->Action(kCmdBuildLibrary)->trigger(); }

    int study = 0;
    int other = 0;
    bool answer_name_type = true;
    int name_type_questions = 0;
};

}  // namespace

class AnalysisWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void buildingTheLibraryMakesItReadyForThisConfigurationOnly() {
        LibraryWindow w("uilibrary");
        QCOMPARE(w.frame->View()->FeatureSpaceList()->currentText(), QStringLiteral("pairs"));
        QCOMPARE(w.Status(), QStringLiteral("Not Ready"));
        QVERIFY(w.frame->Action(kCmdBuildLibrary)->isEnabled());
        w.Build();
        QVERIFY2(w.frame->Frontend().LastError().empty(), w.frame->Frontend().LastError().c_str());
        QCOMPARE(w.Status(), QStringLiteral("Ready"));
        QVERIFY(w.Report().contains(QStringLiteral("New library built and reloaded")));
        QVERIFY(!w.frame->Frontend().Progress()->isVisible());

        // The status follows every reload: another feature-space type has no library, the
        // other study neither, and coming back finds the built one again.
        w.frame->Run([&] { w.frame->Form().SetFeatureSpaceType(0); });
        QCOMPARE(w.Status(), QStringLiteral("Not Ready"));
        w.frame->Run([&] { w.frame->Form().SetFeatureSpaceType(1); });
        QCOMPARE(w.Status(), QStringLiteral("Ready"));
        w.frame->Run([&] { w.frame->Form().SelectStudy(1); });
        QCOMPARE(w.Status(), QStringLiteral("Not Ready"));
        // Whatever classifies is disabled and says why, with the menu command that mends it.
        for (int id : {kCmdDiscriminantAnalysis, kCmdIndependentSet, kCmdSiteAccuracy}) {
            QVERIFY(!w.frame->Action(id)->isEnabled());
            const QString tip = w.frame->Action(id)->toolTip();
            QVERIFY(tip.startsWith(QStringLiteral("Library Not Ready")));
            QVERIFY(tip.endsWith(QStringLiteral("build it (Library > Build).")));
        }
        QVERIFY(w.frame->View()->IndivClassify()->toolTip().contains(QStringLiteral("No spectra")));
        w.frame->Run([&] { w.frame->Form().SelectStudy(0); });
        QCOMPARE(w.Status(), QStringLiteral("Ready"));
        QVERIFY(w.frame->Action(kCmdDiscriminantAnalysis)->isEnabled());
    }

    void indivClassifyRanksTheSelectedSpectraInListOrder() {
        LibraryWindow w("uiclassify");
        const std::string file = test::TestData("asd/as6/v6sample00000.asd");
        for (int i = 0; i < 3; ++i) w.doc->LoadSpectrumFile(file);
        w.frame->Run([] {});
        WorkbenchView& v = *w.frame->View();
        QCOMPARE(v.LoadedSpectra()->count(), 3);
        QVERIFY2(!v.IndivClassify()->isEnabled(), "no library is loaded yet");
        w.Build();
        QVERIFY(v.IndivClassify()->isEnabled());

        const int before = w.Report().count(QStringLiteral("->"));
        v.LoadedSpectra()->item(2)->setSelected(true);
        v.LoadedSpectra()->item(0)->setSelected(true);
        QTest::mouseClick(v.IndivClassify(), Qt::LeftButton);
        QVERIFY2(w.frame->Frontend().LastError().empty(), w.frame->Frontend().LastError().c_str());
        // Two rankings of the three classes each.
        QCOMPARE(w.Report().count(QStringLiteral("->")) - before, 6);
    }

    void discriminantAnalysisAsksForTheNameTypeAndWritesTheErrorMatrix() {
        LibraryWindow w("uida");
        w.Build();
        const std::string matrix = w.Output("Error Matrix.csv");

        w.answer_name_type = false;
        const QString before = w.Report();
        w.frame->Action(kCmdDiscriminantAnalysis)->trigger();
        QCOMPARE(w.name_type_questions, 1);
        QVERIFY2(!QFile::exists(QString::fromStdString(matrix)), "Cancel runs nothing");
        QCOMPARE(w.Report(), before);

        w.answer_name_type = true;
        w.frame->Action(kCmdDiscriminantAnalysis)->trigger();
        QVERIFY2(w.frame->Frontend().LastError().empty(), w.frame->Frontend().LastError().c_str());
        const QStringList lines = ReadFile(matrix).split(QLatin1Char('\n'));
        QCOMPARE(lines.value(0), QStringLiteral(",alpha,beta,gamma,Row Total,User Accuracy"));
        QVERIFY(w.Report().contains(QStringLiteral("Overall Accuracy: ")));
        QVERIFY(!w.frame->Frontend().Progress()->isVisible());
    }

    void independentSetDialogRunsOnlyForAChosenStudy() {
        LibraryWindow w("uiindep");
        w.Build();
        w.frame->RunCommand(kCmdIndependentSet);
        IndependentSetDialog* dialog = w.frame->IndependentSet();
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(),
                 QStringLiteral("Discriminant Analysis using independent Dataset"));
        QCOMPARE(Items(dialog->List()), QStringList{"Independent study"});

        dialog->accept();
        QVERIFY2(dialog->isVisible(), "OK without a study keeps the dialog open");
        QCOMPARE(w.name_type_questions, 0);

        dialog->List()->setCurrentRow(0);
        dialog->accept();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(w.name_type_questions, 1);
        QVERIFY2(w.frame->Frontend().LastError().empty(), w.frame->Frontend().LastError().c_str());
        QVERIFY(w.Report().contains(QStringLiteral("Library Accuracy Check")));
        QVERIFY(QFile::exists(QString::fromStdString(w.Output("Error Matrix.csv"))));

        // Without another study the placeholder is offered, and choosing it does nothing.
        w.scratch.Admin().Execute(Sql("delete from study where study_id = %i", w.other));
        w.frame->RunCommand(kCmdIndependentSet);
        QCOMPARE(Items(dialog->List()), QStringList{"No other studies found!"});
        dialog->List()->setCurrentRow(0);
        dialog->accept();
        QVERIFY(dialog->isVisible());
        QCOMPARE(w.name_type_questions, 1);
    }

    void siteAccuracyDialogChecksTheChosenClassAndClosesInAnyCase() {
        LibraryWindow w("uisite");
        w.Build();
        w.frame->RunCommand(kCmdSiteAccuracy);
        SiteAccuracyDialog* dialog = w.frame->SiteAccuracy();
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Site Accuracy"));
        QCOMPARE(Items(dialog->List()), (QStringList{"alpha", "beta", "gamma"}));

        dialog->List()->setCurrentRow(1);
        dialog->accept();
        QVERIFY(!dialog->isVisible());
        QVERIFY2(w.frame->Frontend().LastError().empty(), w.frame->Frontend().LastError().c_str());
        QVERIFY(w.Report().contains(QStringLiteral("Site Accuracy Check for beta")));

        const QString before = w.Report();
        w.frame->RunCommand(kCmdSiteAccuracy);
        dialog->List()->clearSelection();
        dialog->accept();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(w.Report(), before);
    }

    void exportDialogStartsWithTheDefaultsAndWritesTheirFile() {
        LibraryWindow w("uiexport");
        w.frame->RunCommand(kCmdExport);
        ExportDialog* dialog = w.frame->Export();
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("File Export"));
        QCOMPARE(dialog->StageGroup()->checkedId(), 3);
        QCOMPARE(dialog->Format()->currentText(), QStringLiteral("csv"));
        // The interpolation follows the stage, the offset value its check box.
        dialog->StageGroup()->button(0)->click();
        QVERIFY(!dialog->Interpolate()->isEnabled());
        dialog->StageGroup()->button(3)->click();
        QVERIFY(dialog->Interpolate()->isEnabled());
        QVERIFY(!dialog->OffsetValue()->isEnabled());
        dialog->Offset()->click();
        QVERIFY(dialog->OffsetValue()->isEnabled());
        dialog->Offset()->click();

        dialog->accept();
        QVERIFY(!dialog->isVisible());
        QVERIFY2(w.frame->Frontend().LastError().empty(), w.frame->Frontend().LastError().c_str());
        const std::string name =
            ExportFileName(w.doc->Session(), "Library study", ExportSettings());
        const QStringList lines =
            ReadFile(w.Output(name + ".csv")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1 + 4 + 4 + 3);
        QVERIFY(lines[0].startsWith(QStringLiteral("species,")));
        QVERIFY(lines[1].startsWith(QStringLiteral("alpha,")));
        QVERIFY(w.Report().contains(QStringLiteral("Exported 3 species")));

        // OK only hides the dialog: the next showing has the same choices.
        dialog->Format()->setCurrentIndex(0);
        dialog->accept();
        w.frame->RunCommand(kCmdExport);
        QCOMPARE(dialog->Format()->currentText(), QStringLiteral("arff"));
    }

    void separabilityAsksForNamesAndDistancesAndWritesItsTable() {
        LibraryWindow w("uiseparability");
        QVERIFY2(!w.frame->Action(kCmdSeparability)->isEnabled(), "a library must be Ready");
        w.Build();
        QVERIFY(w.frame->Action(kCmdSeparability)->isEnabled());
        bool answer = false;
        int questions = 0;
        w.frame->Frontend().SetSeparabilityAnswer([&](SeparabilitySettings& settings) {
            ++questions;
            settings.distance = SeparabilitySettings::kB;
            return answer;
        });
        w.frame->Action(kCmdSeparability)->trigger();
        QCOMPARE(questions, 1);
        QVERIFY2(!QFile::exists(QString::fromStdString(w.Output("B output.csv"))),
                 "Cancel runs nothing");
        answer = true;
        w.frame->Action(kCmdSeparability)->trigger();
        QVERIFY2(w.frame->Frontend().LastError().empty(), w.frame->Frontend().LastError().c_str());
        QCOMPARE(ReadFile(w.Output("B output.csv")).section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral(",alpha,beta,gamma,"));
        QVERIFY(w.Report().contains(QStringLiteral("Using B distance")));
    }

    void pcaOpensTheScorePlotAndOffersThePctFeatureSpaces() {
        LibraryWindow w("uipca");
        w.scratch.Admin().Execute(
            "insert into feature_space (name, description, dimension, fs_type_id, build_date) "
            "values ('PCT 2', '', 2, (select fs_type_id from feature_space_type where type = 2), "
            "current_timestamp(6))");
        w.frame->Run([&] { w.frame->Form().SetFeatureSpaceType(2); });
        QCOMPARE(w.frame->View()->FeatureSpaceList()->currentText(),
                 QString::fromLatin1(MainForm::kNoFeatureSpace));

        w.frame->Action(kCmdPca)->trigger();
        QVERIFY2(w.frame->Frontend().LastError().empty(), w.frame->Frontend().LastError().c_str());
        QVERIFY(w.Report().contains(QStringLiteral("PCA output written to file:")));
        QCOMPARE(w.frame->View()->FeatureSpaceList()->currentText(), QStringLiteral("PCT 2"));
        QCOMPARE(w.Status(), QStringLiteral("Not Ready"));
        QCOMPARE(w.frame->PlotWindows().size(), size_t{1});
        PlotWindow* plot = w.frame->PlotWindows().front();
        QVERIFY(plot->isVisible());
        QCOMPARE(plot->windowTitle(), QStringLiteral("PCA Score Plot of study 'Library study'"));
        QCOMPARE(plot->Scene().points.size(), size_t{11});

        // A rerun opens a second window; a closed one leaves the list.
        w.frame->Action(kCmdPca)->trigger();
        QCOMPARE(w.frame->PlotWindows().size(), size_t{2});
        plot->close();
        QCOMPARE(w.frame->PlotWindows().size(), size_t{1});
    }
};

}  // namespace orvane

QTEST_MAIN(orvane::AnalysisWindowTest)
#include "analysis_window_test.moc"
