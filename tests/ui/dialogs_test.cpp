// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogs as a user meets them: what they open with, where the focus is, the units they
// show, what they say instead of a message box, and the Help menu.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include "base/version.h"
#include "forms/help_texts.h"
#include "forms/menu_command.h"
#include "ui/create_study_dialog.h"
#include "ui/filter_details_dialog.h"
#include "ui/help_dialogs.h"
#include "ui/site_accuracy_dialog.h"
#include "ui/spectra_plot_window.h"
#include "ui/waveband_filter_dialog.h"
#include "ui/wavelength_pair_dialog.h"
#include "ui/workbench.h"

namespace orvane {
namespace {

using test::Items;

struct Window : test::Workbench {
    explicit Window(const std::string& tag) : Workbench(tag) {
        studies = ArrangeStudies({"landsat8_oli"}, {"Kaimai ridge", "Coastal dunes"});
        Connect();
        Show();
    }
    const std::string& LastError() { return frame->Frontend().LastError(); }
    std::vector<int> studies;
};

// What the band dialog showed when it opened, and the keys typed into it.
struct Typed {
    bool visible = false;
    bool focus_in_first = false;
    QString first, second;
    bool ok_enabled = true;
};

// Types `first`, Tab, `second`, Return into the band dialog once it runs, as a user would.
void TypeIntoBandDialog(WavelengthPairDialog* band, Typed& seen, const QString& first,
                        const QString& second) {
    QTimer::singleShot(0, band, [band, &seen, first, second] {
        seen.visible = band->isVisible();
        // The window's focus widget: the one that takes the keys once the dialog is active.
        seen.focus_in_first = band->focusWidget() == band->FirstField();
        seen.first = band->FirstField()->cleanText();
        seen.second = band->SecondField()->cleanText();
        seen.ok_enabled = band->OkButton()->isEnabled();
        if (first.isEmpty()) {
            band->reject();
            return;
        }
        // Keys go where the dialog's focus is, and Tab moves it as it would on a screen.
        const auto focused = [band]() -> QWidget* {
            QWidget* f = band->focusWidget();
            return f ? f : band;
        };
        QTest::keyClicks(focused(), first);
        QTest::keyClick(focused(), Qt::Key_Tab);
        QTest::keyClicks(focused(), second);
        QTest::keyClick(focused(), Qt::Key_Return);
        // A dialog that did not take the keys must not hang the test.
        if (band->isVisible()) band->reject();
    });
}

class DialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void wavebandRangeOpensEmptyWithTheFocusInLower() {
        Window w("uiband");
        w.RunAndWait(kCmdWavebandFilterSetup);
        WavebandFilterDialog* dialog = w.frame->WavebandFilter();
        WavelengthPairDialog* band = dialog->BandDialog();
        for (QSpinBox* field : {band->FirstField(), band->SecondField()}) {
            QCOMPARE(field->minimum(), 350);
            QCOMPARE(field->maximum(), 2500);
            QCOMPARE(field->suffix(), QStringLiteral(" nm"));
        }

        // Two ranges typed one after the other: each New opens empty, Lower first.
        const QStringList ranges[] = {{"1350", "1450"}, {"1800", "1950"}};
        QStringList expected;
        for (const QStringList& range : ranges) {
            Typed seen;
            TypeIntoBandDialog(band, seen, range[0], range[1]);
            test::Workbench::Click(dialog, "new");
            QVERIFY(seen.visible);
            QVERIFY(seen.focus_in_first);
            QCOMPARE(seen.first, QString());
            QCOMPARE(seen.second, QString());
            QVERIFY2(!seen.ok_enabled, "OK waits for both wavelengths");
            QVERIFY2(w.LastError().empty(), w.LastError().c_str());
            expected << range[0] + " - " + range[1] + " nm";
            QCOMPARE(Items(dialog->List()), expected);
        }

        // Modify offers the selected range, again with the focus in Lower.
        dialog->List()->setCurrentRow(0);
        Typed seen;
        TypeIntoBandDialog(band, seen, QString(), QString());
        test::Workbench::Click(dialog, "modify");
        QVERIFY(seen.focus_in_first);
        QCOMPARE(seen.first, QStringLiteral("1350"));
        QCOMPARE(seen.second, QStringLiteral("1450"));
        QVERIFY(seen.ok_enabled);
        dialog->reject();
    }

    void checkedSpeciesWithNoneCheckedSaysSoWithoutAMessage() {
        Window w("uinocheck");
        w.frame->RunCommand(kCmdSpectraPlot);
        SpectraPlotWindow* plot = w.frame->SpectraPlotDock();
        w.frame->WaitForJob();
        QTRY_VERIFY(!plot->Computing());
        test::Choose(plot->SelectionList(), 2);
        w.frame->WaitForJob();
        QTRY_VERIFY(!plot->Computing());
        QVERIFY2(w.LastError().empty(), w.LastError().c_str());
        QVERIFY(plot->SpeciesList()->isEnabled());
        QVERIFY(plot->Plot().title.find("No species are checked") != std::string::npos);
        for (const char* name : {"savePng", "saveSvg"}) {
            auto* save = plot->findChild<QPushButton*>(QString::fromLatin1(name));
            QVERIFY(!save->isEnabled());
            QVERIFY(save->toolTip().startsWith(QStringLiteral("No species are checked")));
        }
    }

    void creatingAStudyAsksForNoSpeciesOfTheFormerOne() {
        Window w("uinewstudy");
        w.SetStudyFolder(w.studies[0], test::WriteKauriFolder(w.dir.File("kaimai")));
        w.frame->Form().RefreshStudyList();
        w.frame->Run([&] { w.frame->Form().SelectStudy(0); });
        w.TriggerAndWait(kCmdImportSpectra);
        QVERIFY2(w.LastError().empty(), w.LastError().c_str());
        // The import ends with the command line's summary.
        QVERIFY2(w.Report().contains(
                     QStringLiteral("Added 1 species, 1 sites and 1 spectra; 0 skipped")),
                 qPrintable(w.Report()));

        w.frame->RunCommand(kCmdSpectraPlot);
        SpectraPlotWindow* plot = w.frame->SpectraPlotDock();
        QTRY_VERIFY(!plot->Computing());
        test::Choose(plot->SelectionList(), 2);
        QCOMPARE(Items(plot->SpeciesList()), QStringList{"kauri"});
        plot->SpeciesList()->item(0)->setCheckState(Qt::Checked);
        QTRY_VERIFY(!plot->Computing());
        w.frame->WaitForJob();
        QCOMPARE(plot->Plot().curves.size(), size_t{1});

        w.frame->RunCommand(kCmdCreateStudy);
        CreateStudyDialog* dialog = w.frame->CreateStudy();
        QCOMPARE(dialog->MinSamples()->suffix(), QStringLiteral(" spectra"));
        dialog->Name()->setText(QStringLiteral("Tussock plots"));
        dialog->DataPath()->setText(QString::fromStdString(test::WriteKauriFolder(w.dir.File("tussock"))));
        dialog->accept();
        w.frame->WaitForPendingWork();
        QVERIFY2(!dialog->isVisible(), w.LastError().c_str());
        w.frame->WaitForJob();
        QTRY_VERIFY(!plot->Computing());
        w.frame->WaitForJob();
        // Shown again on the new study, the plot asks for none of the former one's species.
        w.frame->RunCommand(kCmdSpectraPlot);
        QTRY_VERIFY(!plot->Computing());
        w.frame->WaitForJob();
        QVERIFY2(w.LastError().empty(), w.LastError().c_str());
        QVERIFY(!w.Report().contains(QStringLiteral("has no species folder")));
        QVERIFY(plot->Plot().title.find("No species are checked") != std::string::npos);
        // The title follows the new study.
        QCOMPARE(w.frame->windowTitle(),
                 QString::fromStdString("Orvane \u2014 Tussock plots (" + w.scratch.Params().host +
                                        ")"));
    }

    void siteAccuracySaysWhatToChoose() {
        Window w("uisite");
        SiteAccuracyDialog* dialog = w.frame->SiteAccuracy();
        dialog->Open();
        auto* explanation = dialog->findChild<QLabel*>(QStringLiteral("explanation"));
        QVERIFY(explanation);
        QCOMPARE(explanation->text(), QString::fromStdString(SiteAccuracyExplanation()));
        QVERIFY(!dialog->OkButton()->isEnabled());
        QCOMPARE(dialog->OkButton()->toolTip(), QString::fromLatin1(kSiteAccuracyNoChoice));
        dialog->reject();
    }

    void filterSizeShowsItsUnit() {
        Window w("uiunits");
        QComboBox* smoothing = w.View().SmoothingList();
        QTest::keyClick(smoothing, Qt::Key_Down);
        w.frame->WaitForPendingWork();
        QTest::mouseClick(w.View().SmoothingEdit(), Qt::LeftButton);
        w.frame->WaitForPendingWork();
        FilterDetailsDialog* details = w.frame->FilterDetails();
        QVERIFY2(details->isVisible(), w.LastError().c_str());
        QCOMPARE(details->SizeField()->suffix(), QStringLiteral(" nm"));
        QCOMPARE(details->SizeField()->text(), QStringLiteral("31 nm"));
        details->reject();
        // The derivative runs on the sensor's bands.
        details->Open(FilterDetailsDialog::Target::kDerivative);
        w.frame->WaitForPendingWork();
        if (details->isVisible()) QCOMPARE(details->SizeField()->suffix(), QStringLiteral(" bands"));
    }

    void helpOffersTheManualAndHowToCite() {
        Window w("uihelp");
        QCOMPARE(w.frame->windowTitle(),
                 QString::fromStdString("Orvane \u2014 Kaimai ridge (" + w.scratch.Params().host +
                                        ")"));
        QMenu* help = nullptr;
        for (QAction* a : w.frame->menuBar()->actions())
            if (a->text() == QStringLiteral("&Help")) help = a->menu();
        QVERIFY(help);
        QStringList entries;
        for (QAction* a : help->actions()) entries << a->text();
        QCOMPARE(entries, (QStringList{"Orvane &Manual", "How to &Cite...", "&About Orvane..."}));

        w.frame->Action(kCmdManual)->trigger();
        auto* manual = w.frame->findChild<ManualWindow*>();
        QVERIFY2(manual && manual->isVisible(), w.LastError().c_str());
        // Rendered, not shown as Markdown source.
        const QString text = manual->Browser()->toPlainText();
        QVERIFY(text.contains(QStringLiteral("Orvane")));
        QVERIFY(!text.contains(QStringLiteral("](docs/")));
        QVERIFY(!text.startsWith(QStringLiteral("# ")));

        w.frame->Action(kCmdHowToCite)->trigger();
        auto* citation = w.frame->findChild<CitationDialog*>();
        QVERIFY(citation && citation->isVisible());
        QVERIFY(citation->Text()->toPlainText().contains(QString::fromLatin1(kOrvaneVersion)));
    }
};

}  // namespace
}  // namespace orvane

QTEST_MAIN(orvane::DialogsTest)
#include "dialogs_test.moc"
