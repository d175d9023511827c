// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QButtonGroup>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTreeWidget>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QtTest>
#include <set>

#include "chain/classifiers.h"
#include "export/export_formats.h"
#include "forms/menu_command.h"
#include "ui/create_study_dialog.h"
#include "ui/export_dialog.h"
#include "ui/feature_space_dialog.h"
#include "ui/filter_details_dialog.h"
#include "ui/import_sensor_dialog.h"
#include "ui/spectra_plot_window.h"
#include "ui/study_browser_window.h"
#include "ui/waveband_filter_dialog.h"
#include "ui/workbench.h"

namespace orvane {
namespace {

using test::Items;

// A scratch database with the given sensors, the starter feature spaces and two studies, and
// the main window on it after start-up. Confirm questions are recorded and answered from
// `confirm`; the band ranges a dialog asks for come from `bands`, the values it offered are kept.
struct Window : test::Workbench {
    explicit Window(const std::string& tag,
                    std::vector<std::string> sensors = {"landsat8_oli", "sentinel2a_msi"})
        : Workbench(tag) {
        studies = ArrangeStudies(sensors, {"Kaimai ridge", "Coastal dunes"});
        Connect();
        frame->Frontend().SetConfirmAnswer([this](const std::string& question) {
            questions << QString::fromStdString(question);
            return confirm;
        });
        Show();
    }

    bool AnswerBand(int& lower, int& upper) {
        offered.append({lower, upper});
        if (bands.isEmpty()) return false;
        std::tie(lower, upper) = bands.takeFirst();
        return true;
    }
    FeatureSpaceDialog* OpenFeatureSpace(int command) {
        RunAndWait(command);
        frame->FeatureSpace()->SetBandEditor([this](int& l, int& u) { return AnswerBand(l, u); });
        return frame->FeatureSpace();
    }
    const std::string& LastError() { return frame->Frontend().LastError(); }

    std::vector<int> studies;
    bool confirm = false;
    QStringList questions;
    QList<std::pair<int, int>> bands;
    QList<std::pair<int, int>> offered;
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    // Both combo boxes list every registered choice with its id as item data, so a row is
    // tied to its classifier or format by that id, never by its position.
    void everyRegisteredClassifierAndFormatIsOfferedByItsId() {
        Window w("uiregistry");
        QComboBox* classifiers = w.View().ClassifierList();
        QCOMPARE(classifiers->count(), static_cast<int>(ClassifierRegistry().size()));
        for (const ClassifierEntry& c : ClassifierRegistry()) {
            const int row = classifiers->findData(static_cast<int>(c.kind));
            QVERIFY2(row >= 0, c.word);
            QCOMPARE(classifiers->itemText(row), QString::fromUtf8(c.label));
            test::Choose(classifiers, row);
            QCOMPARE(QString::fromStdString(w.LastError()), QString());
            QVERIFY2(w.doc->Session().ClassifierInUse() == c.kind, c.word);
            QCOMPARE(w.frame->Form().Selections().classifier, static_cast<int>(c.kind));
        }

        w.frame->RunCommand(kCmdExport);
        ExportDialog* dialog = w.frame->Export();
        QComboBox* formats = dialog->Format();
        QCOMPARE(formats->count(), static_cast<int>(ExportFormatRegistry().size()));
        for (const ExportFormatEntry& f : ExportFormatRegistry()) {
            const int row = formats->findData(static_cast<int>(f.id));
            QVERIFY2(row >= 0, f.word);
            QCOMPARE(formats->itemText(row), QString::fromUtf8(f.label));
            formats->setCurrentIndex(row);
            QCOMPARE(dialog->Model().settings.format, static_cast<int>(f.id));
        }
        // Numbers and ids reach the model; a species mean has no ids, so their box is off.
        QCOMPARE(dialog->NumberFormat()->currentIndex(), static_cast<int>(ExportSettings::kScientific));
        dialog->NumberFormat()->setCurrentIndex(ExportSettings::kPlain);
        QCOMPARE(dialog->Model().settings.number_format, static_cast<int>(ExportSettings::kPlain));
        dialog->Ids()->setChecked(true);
        QVERIFY(dialog->Model().RunSettings().ids);
        dialog->DetailsGroup()->button(kSpeciesMean)->click();
        QVERIFY(!dialog->Ids()->isEnabled());
        QVERIFY(!dialog->Model().RunSettings().ids);
        dialog->DetailsGroup()->button(kSiteMean)->click();
        QVERIFY(dialog->Ids()->isEnabled() && dialog->Ids()->isChecked());
        dialog->reject();
    }

    void startUpFillsTheSelectorsAndTheMenusAndANewFeatureSpaceJoins() {
        Window w("uistart");
        WorkbenchView& v = w.View();
        QCOMPARE(Items(v.StudyList()), (QStringList{"Kaimai ridge", "Coastal dunes"}));
        QCOMPARE(v.SensorList()->count(), 2);
        QCOMPARE(Items(v.FeatureSpaceList()),
                 (QStringList{"Full range curvature", "VNIR-SWIR curvature"}));
        QCOMPARE(v.LibraryStatus()->text(), QStringLiteral("Not Ready"));
        QCOMPARE(v.DerivativeOrder()->maximum(), 30);
        for (QAbstractButton* b : v.MethodGroup()->buttons()) QVERIFY(!b->isEnabled());
        QCOMPARE(w.frame->windowTitle(), QString::fromStdString("Orvane \u2014 Kaimai ridge (" +
                                                                w.scratch.Params().host + ")"));

        QStringList menus;
        for (QAction* a : w.frame->menuBar()->actions()) menus << a->text();
        // Every top-level menu has its Alt letter.
        QCOMPARE(menus, (QStringList{"&File", "&Library", "&Database", "&Chain Settings",
                                     "&Statistics", "Spectral &Mixing", "&View", "&Help"}));
        // Nothing that classifies runs before a library is built; the tooltip says so.
        const std::set<int> needs_library = {kCmdDiscriminantAnalysis, kCmdIndependentSet,
                                             kCmdSiteAccuracy, kCmdSeparability};
        for (const MenuCommand& c : MenuCommands()) {
            QAction* action = w.frame->Action(c.id);
            QVERIFY(action);
            const bool library = needs_library.count(c.id) > 0;
            QCOMPARE(action->isEnabled(), c.built && !library);
            if (c.built && library)
                QVERIFY(action->toolTip().startsWith(QStringLiteral("Library Not Ready")));
        }
        auto* tools = w.frame->findChild<QToolBar*>(QStringLiteral("standardToolBar"));
        QVERIFY(tools);
        // The owner of the database is no lab account, so an admin; the status bar says so.
        auto* account = w.frame->findChild<QLabel*>(QStringLiteral("accountRole"));
        QVERIFY(account);
        QCOMPARE(account->text(), QString::fromStdString(w.scratch.Params().user + " (admin)"));
        QCOMPARE(tools->actions(),
                 (QList<QAction*>{w.frame->Action(kCmdOpen), w.frame->Action(kCmdSaveReport)}));

        // A new feature space joins the list as the current one; what storing refuses and
        // keeps is the core's and the form's.
        const int listed = w.View().FeatureSpaceList()->count();
        FeatureSpaceDialog* dialog = w.OpenFeatureSpace(kCmdFeatureSpaceNew);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Edit a new DI Feature Space"));
        QVERIFY(!dialog->Dimension()->isEnabled());

        w.bands = {{500, 600}, {700, 800}, {650, 720}};
        w.Click(dialog, "new");
        w.Click(dialog, "new");
        dialog->List()->setCurrentRow(1);
        w.Click(dialog, "modify");
        QCOMPARE(w.offered.value(2), (std::pair<int, int>{700, 800}));  // the chosen range
        QCOMPARE(Items(dialog->List()), (QStringList{"500 - 600 nm", "650 - 720 nm"}));
        QCOMPARE(dialog->Dimension()->value(), 2);

        w.Click(dialog, "ok");
        QVERIFY2(dialog->isVisible(), "without a name nothing is stored");
        dialog->Name()->setText(QStringLiteral("Red edge"));
        w.Click(dialog, "ok");
        QVERIFY(!dialog->isVisible());
        QCOMPARE(w.View().FeatureSpaceList()->count(), listed + 1);
        QCOMPARE(w.View().FeatureSpaceList()->currentText(), QStringLiteral("Red edge"));
        QCOMPARE(w.Count("select count(*) from band_range r join feature_space f on "
                         "r.feature_space_id = f.feature_space_id where f.name = 'Red edge' and "
                         "r.band1 = 650 and r.band2 = 720"),
                 1);

        dialog = w.OpenFeatureSpace(kCmdFeatureSpaceEdit);
        QCOMPARE(dialog->Name()->text(), QStringLiteral("Red edge"));
        dialog->Name()->setText(QStringLiteral("Renamed"));
        w.Click(dialog, "cancel");
        QCOMPARE(w.View().FeatureSpaceList()->currentText(), QStringLiteral("Red edge"));
        QCOMPARE(w.Count("select count(*) from feature_space where name = 'Renamed'"), 0);
    }

    void withoutSensorsProcessingWaitsForAnImportAndTheReportIsSaved() {
        Window w("uisensor", {});
        QVERIFY(w.Report().contains(QStringLiteral("There is no sensor in the database")));
        QVERIFY(!w.frame->Action(kCmdLoadZProfile)->isEnabled());
        QCOMPARE(Items(w.View().FeatureSpaceList()), QStringList{"No feature spaces of this type"});
        w.frame->RunCommand(kCmdImportSensor);
        ImportSensorDialog* dialog = w.frame->ImportSensor();
        QVERIFY(dialog->isVisible());
        dialog->InputFile()->setText(
            QString::fromStdString(test::SourcePath("data/sensors/landsat8_oli.txt")));
        dialog->accept();
        QVERIFY(!dialog->isVisible());
        w.frame->WaitForPendingWork();
        QVERIFY(w.frame->Action(kCmdLoadZProfile)->isEnabled());
        QCOMPARE(w.View().SensorList()->currentText(), QStringLiteral("Landsat 8 OLI"));
        QCOMPARE(w.View().FeatureSpaceList()->count(), 2);
        QCOMPARE(w.View().ReportWindow()->verticalScrollBar()->value(),
                 w.View().ReportWindow()->verticalScrollBar()->maximum());

        // A file that is not a sensor definition is reported and stores nothing.
        w.frame->RunCommand(kCmdImportSensor);
        dialog->InputFile()->setText(QString::fromStdString(w.dir.File("missing.txt")));
        dialog->accept();
        w.frame->WaitForPendingWork();
        QVERIFY(!w.frame->Frontend().LastError().empty());
        QCOMPARE(w.Count("select count(*) from sensor"), 1);

        // An image's usable bands become a sensor on the worker thread, named as asked.
        w.frame->RunCommand(kCmdImportSensor);
        QVERIFY(!dialog->SensorName()->isEnabled());
        dialog->FromImage()->setChecked(true);
        QVERIFY(dialog->SensorName()->isEnabled());
        QVERIFY(!dialog->TypeGroup()->button(0)->isEnabled());
        dialog->InputFile()->setText(
            QString::fromStdString(test::TestData("imagery/enmap_potsdam_tile_64_0.tif")));
        dialog->SensorName()->setText(QStringLiteral("EnMAP tile"));
        dialog->accept();
        w.frame->WaitForJob();
        QVERIFY(Items(w.View().SensorList()).contains(QStringLiteral("EnMAP tile")));
        QCOMPARE(w.Count("select count(*) from sensor_element e join sensor s using (sensor_id) "
                         "where s.name = 'EnMAP tile'"),
                 218);
        QVERIFY(w.Report().contains(QStringLiteral("6 bands hold no value in any pixel")));
        dialog->FromImage()->setChecked(false);

        // Saving the report asks where, proposing the output folder.
        std::string proposed;
        const std::string chosen = w.dir.Path() + "/chosen report.txt";
        w.frame->Frontend().SetSaveFileAnswer([&](const std::string& p) {
            proposed = p;
            return chosen;
        });
        w.TriggerAndSettle(kCmdSaveReport);
        QCOMPARE(proposed, w.dir.Path() + "/output/report_window_output.txt");
        QFile file(QString::fromStdString(chosen));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), w.Report());
    }

    void chainSettingsDialogsStoreTheirRowsAndRefreshTheChain() {
        Window w("uichain");
        w.RunAndWait(kCmdWavebandFilterSetup);
        WavebandFilterDialog* dialog = w.frame->WavebandFilter();
        QVERIFY(dialog->isVisible());
        w.bands = {{1350, 1450}, {1800, 1950}, {1790, 1960}};
        dialog->SetBandEditor([&](int& lower, int& upper) { return w.AnswerBand(lower, upper); });
        auto click = [&](const char* name) { Window::Click(dialog, name); };
        click("new");
        click("new");
        dialog->List()->setCurrentRow(1);
        click("modify");
        QCOMPARE(dialog->List()->item(1)->text(), QStringLiteral("1790 - 1960 nm"));
        click("ok");
        QVERIFY(!dialog->isVisible());
        QCOMPARE(w.Count("select count(*) from waveband_filter_range"), 2);
        QVERIFY(!HasValue(w.doc->Session().FilterMask().Value(1400)));

        // Cancel leaves the stored ranges alone.
        w.RunAndWait(kCmdWavebandFilterSetup);
        dialog->List()->setCurrentRow(0);
        click("delete");
        click("cancel");
        QCOMPARE(w.Count("select count(*) from waveband_filter_range"), 2);

        // The smoothing entry reaches the form: one row for it, its details dialog edits it.
        const std::string stored = Sql(
            "select filter_size * 100 + polynomial_order from smoothing_filter sf, "
            "smoothing_filter_type t where sf.sf_type_id = t.sf_type_id and t.type = 1 and "
            "sf.study_id = %i",
            w.studies[0]);
        QComboBox* smoothing = w.View().SmoothingList();
        QTest::keyClick(smoothing, Qt::Key_Down);
        w.frame->WaitForPendingWork();
        QCOMPARE(smoothing->currentText(), QStringLiteral("Savitzky-Golay (MW)"));
        QCOMPARE(w.Count(stored), 3104);
        QTest::keyClick(smoothing, Qt::Key_Up);
        QTest::keyClick(smoothing, Qt::Key_Down);
        w.frame->WaitForPendingWork();
        // The row of "none" and the one of the entry.
        QCOMPARE(w.Count(Sql("select count(*) from smoothing_filter where study_id = %i",
                             w.studies[0])),
                 2);

        QTest::mouseClick(w.View().SmoothingEdit(), Qt::LeftButton);
        w.frame->WaitForPendingWork();
        FilterDetailsDialog* details = w.frame->FilterDetails();
        QVERIFY(details->isVisible());
        QCOMPARE(details->SizeField()->value(), 31);
        QCOMPARE(details->OrderField()->value(), 4);
        // Raising the order raises the smallest size to the next odd number above it.
        details->SizeField()->setValue(5);
        details->OrderField()->setValue(6);
        QCOMPARE(details->SizeField()->minimum(), 7);
        QCOMPARE(details->SizeField()->value(), 7);
        details->SizeField()->setValue(20);
        details->accept();
        w.frame->WaitForPendingWork();
        QVERIFY2(details->isVisible(), "an even size is refused and the dialog stays open");
        QVERIFY(!w.frame->Frontend().LastError().empty());
        details->SizeField()->setValue(21);
        details->OrderField()->setValue(2);
        details->accept();
        w.frame->WaitForPendingWork();
        QVERIFY(!details->isVisible());
        QCOMPARE(w.Count(stored), 2102);
    }

    void createdStudyBecomesCurrentImportsItsFolderAndIsDeletedOnlyWhenConfirmed() {
        Window w("uicreate");
        w.frame->RunCommand(kCmdCreateStudy);
        CreateStudyDialog* dialog = w.frame->CreateStudy();
        QCOMPARE(dialog->MinSamples()->value(), 15);

        // A refused field keeps the dialog and what was typed, and stores nothing.
        dialog->accept();
        QVERIFY(!dialog->OkButton()->isEnabled());
        w.frame->WaitForPendingWork();
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->OkButton()->isEnabled());
        QVERIFY(!w.LastError().empty());
        QCOMPARE(w.Count("select count(*) from study"), 2);

        const std::string root = w.dir.File("field data of the tussock grassland plots");
        test::WriteKauriFolder(root);
        dialog->Name()->setText(QStringLiteral("Tussock 'upper' plots"));
        dialog->DataPath()->setText(QString::fromStdString(root));
        QCOMPARE(dialog->PathStatus()->text(), QString::fromStdString(root.substr(0, 35) + "..."));
        dialog->MinSamples()->setValue(1);
        dialog->accept();
        w.frame->WaitForPendingWork();
        QVERIFY2(!dialog->isVisible(), w.LastError().c_str());
        QCOMPARE(Items(w.View().StudyList()),
                 (QStringList{"Kaimai ridge", "Coastal dunes", "Tussock 'upper' plots"}));
        QCOMPARE(w.View().StudyList()->currentText(), QStringLiteral("Tussock 'upper' plots"));
        const int id = w.doc->Session().StudyId();

        w.TriggerAndWait(kCmdImportSpectra);
        QCOMPARE(w.Count(Sql("select count(*) from spectrum where study_id = %i", id)), 1);

        w.TriggerAndSettle(kCmdStudyReport);
        QVERIFY(w.Report().contains(QStringLiteral("Number of spectra:\n1")));

        // The browser keeps the species and site the user opened when a spectrum is disabled.
        w.RunAndWait(kCmdStudyBrowser);
        QTreeWidget* tree = w.frame->StudyBrowserDock()->Tree();
        QTreeWidgetItem* site = tree->topLevelItem(0)->child(0);
        tree->topLevelItem(0)->setExpanded(true);
        site->setExpanded(true);
        site->child(0)->setSelected(true);
        w.frame->StudyBrowserDock()->DisableSelected(true);
        w.frame->WaitForPendingWork();
        site = tree->topLevelItem(0)->child(0);
        QVERIFY(tree->topLevelItem(0)->isExpanded() && site->isExpanded());
        QCOMPARE(site->child(0)->checkState(0), Qt::Unchecked);
        w.frame->StudyBrowserDock()->Refresh();
        w.frame->WaitForPendingWork();
        QVERIFY(tree->topLevelItem(0)->child(0)->isExpanded());

        // Deleting asks first and moves every component to a remaining study.
        w.confirm = false;
        w.TriggerAndSettle(kCmdDeleteStudy);
        QCOMPARE(w.questions.size(), 1);
        QCOMPARE(w.questions[0],
                 QStringLiteral("Warning: \nThe study 'Tussock 'upper' plots' including all "
                                "spectral data will be deleted!\nClick OK if you want to delete "
                                "this study."));
        QCOMPARE(w.Count("select count(*) from study"), 3);
        QCOMPARE(w.View().StudyList()->currentText(), QStringLiteral("Tussock 'upper' plots"));

        w.confirm = true;
        w.TriggerAndSettle(kCmdDeleteStudy);
        QCOMPARE(w.Count(Sql("select count(*) from study where study_id = %i", id)), 0);
        QCOMPARE(Items(w.View().StudyList()), (QStringList{"Kaimai ridge", "Coastal dunes"}));
        // The remaining study is current in every component, chain controls included.
        const int kept = w.View().StudyList()->currentData().toInt();
        QCOMPARE(w.doc->Session().StudyId(), kept);
        QVERIFY(w.doc->Session().SmoothingFilterId() > 0);

        // The last study too: the form is left without one and its commands disabled.
        for (int i = 0; i < 2; ++i) {
            w.TriggerAndSettle(kCmdDeleteStudy);
        }
        QCOMPARE(w.View().StudyList()->count(), 0);
        QCOMPARE(w.doc->Session().StudyId(), 0);
        QVERIFY(!w.frame->Action(kCmdImportSpectra)->isEnabled());
        QVERIFY(w.frame->Action(kCmdCreateStudy)->isEnabled());
    }

    // Alt and a letter reach one thing only: the menus' letters are not taken by the form or
    // the docks, and within each menu every entry has its own.
    void accessLettersAreUniqueAcrossTheWindowAndItsMenus() {
        Window w("uikeys");
        w.frame->RunCommand(kCmdSpectraPlot);
        w.frame->RunCommand(kCmdStudyBrowser);
        QMap<QKeySequence, QString> owners;
        auto take = [&](const QString& text, const QString& owner) {
            const QKeySequence key = QKeySequence::mnemonic(text);
            if (key.isEmpty()) return;
            QVERIFY2(!owners.contains(key), qPrintable(owner + " takes the letter of " +
                                                       owners.value(key)));
            owners.insert(key, owner);
        };
        for (QAction* a : w.frame->menuBar()->actions()) take(a->text(), a->text());
        for (QWidget* widget : w.frame->findChildren<QWidget*>()) {
            // A dialog is a window of its own, with letters of its own.
            if (qobject_cast<QDialog*>(widget->window())) continue;
            if (auto* label = qobject_cast<QLabel*>(widget); label && label->buddy())
                take(label->text(), label->text());
            else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                take(button->text(), button->text());
            else if (auto* group = qobject_cast<QGroupBox*>(widget))
                take(group->title(), group->title());
        }
        QVERIFY(owners.contains(QKeySequence(QStringLiteral("Alt+D"))));
        QCOMPARE(owners.value(QKeySequence(QStringLiteral("Alt+D"))), QStringLiteral("&Database"));

        std::function<void(QMenu*)> walk = [&](QMenu* menu) {
            QSet<QKeySequence> letters;
            for (QAction* a : menu->actions()) {
                if (a->isSeparator()) continue;
                const QKeySequence key = QKeySequence::mnemonic(a->text());
                QVERIFY2(!key.isEmpty(), qPrintable(a->text() + " has no access letter"));
                QVERIFY2(!letters.contains(key), qPrintable(a->text() + " repeats a letter"));
                letters.insert(key);
                if (a->menu()) walk(a->menu());
            }
        };
        for (QAction* a : w.frame->menuBar()->actions()) walk(a->menu());

        // "..." marks the commands that ask for more before they run, and only those.
        const std::map<int, bool> asks = {
            {kCmdOpen, true},           {kCmdExport, true},      {kCmdCreateStudy, true},
            {kCmdEndmemberSelection, true}, {kCmdSeparability, true}, {kCmdFeatureSpaceNew, true},
            {kCmdWavebandFilterSetup, true}, {kCmdBuildLibrary, false}, {kCmdUnmix, false},
            {kCmdStudyReport, false},   {kCmdSpectraPlot, false}};
        for (const auto& [id, dialog] : asks)
            QVERIFY2(w.frame->Action(id)->text().endsWith(QStringLiteral("...")) == dialog,
                     qPrintable(w.frame->Action(id)->text()));
    }

    // The window stays within the screen and a small one scrolls the form instead of
    // squeezing it.
    void windowFitsTheScreenAndTheFormScrolls() {
        Window w("uisize");
        const QSize room = w.frame->screen()->availableGeometry().size();
        QVERIFY(w.frame->frameGeometry().width() <= room.width());
        QVERIFY(w.frame->frameGeometry().height() <= room.height());
        // A geometry from a larger screen, then the plot dock.
        w.frame->resize(room * 2);
        w.frame->RunCommand(kCmdSpectraPlot);
        QTest::qWait(20);
        QVERIFY2(w.frame->frameGeometry().height() <= room.height(),
                 qPrintable(QString::number(w.frame->frameGeometry().height())));
        QVERIFY2(w.frame->frameGeometry().width() <= room.width(),
                 qPrintable(QStringLiteral("%1 (at least %2) of %3")
                                .arg(w.frame->frameGeometry().width())
                                .arg(w.frame->minimumSizeHint().width())
                                .arg(room.width())));

        w.frame->SpectraPlotDock()->close();
        QTest::qWait(20);
        w.frame->resize(640, 420);
        QTest::qWait(20);
        QCOMPARE(w.frame->size(), QSize(640, 420));
        QGroupBox* processing = nullptr;
        for (QGroupBox* box : w.frame->findChildren<QGroupBox*>())
            if (box->title() == QStringLiteral("Processing")) processing = box;
        QVERIFY(processing);
        QVERIFY2(processing->height() >= processing->minimumSizeHint().height(),
                 qPrintable(QString::number(processing->height())));
        // Not a check: the small window as the user sees it.
        QVERIFY(QDir().mkpath(QStringLiteral(ORVANE_ARTIFACTS)));
        QVERIFY(w.frame->grab().save(QStringLiteral(ORVANE_ARTIFACTS "/main-window-small.png")));
    }
};

}  // namespace orvane

QTEST_MAIN(orvane::MainWindowTest)
#include "main_window_test.moc"
