// SPDX-License-Identifier: GPL-3.0-or-later
#include <QComboBox>
#include <QDockWidget>
#include <QGroupBox>
#include <QHeaderView>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTreeWidget>
#include <QtTest>

#include "forms/menu_command.h"
#include "ui/result_tables_window.h"
#include "ui/spectra_plot_window.h"
#include "ui/study_browser_window.h"
#include "ui/workbench.h"

namespace orvane {
namespace {

// A study of one species folder with two sites, imported from the window, then every dock
// opened the way the user opens them.
struct Window : test::Workbench {
    explicit Window(const std::string& tag) : Workbench(tag) {
        const std::vector<int> studies = ArrangeStudies({"landsat8_oli"}, {"Kaimai ridge"});
        SetStudyFolder(studies[0], test::WriteKauriFolder(dir.File("field data"), {"site1", "site12"}));
        Connect();
        Show();
        imported = frame->Run([&] { frame->Form().ImportSpectra(frame->Frontend()); });
    }
    bool imported = false;
    void OpenEveryDock() {
        // The plot is drawn by a job, during which the other commands wait.
        for (int command : {kCmdSpectraPlot, kCmdStudyBrowser, kCmdResultTables}) {
            // A dock's refresh may start the plot's job again; its commands wait for it.
            frame->WaitForJob();
            QTRY_VERIFY2_WITH_TIMEOUT(frame->Form().CommandEnabled(command),
                                      qPrintable(QString::number(command)), 20000);
            frame->RunCommand(command);
            frame->WaitForJob();
        }
        QTest::qWait(20);
    }
    QList<QDockWidget*> Docks() {
        return {frame->SpectraPlotDock(), frame->StudyBrowserDock(), frame->ResultTablesDock()};
    }
    // Brings each dock to the front in turn and calls `check` with it shown.
    template <typename Check>
    void EachDockInFront(Check check) {
        for (QDockWidget* dock : Docks()) {
            dock->raise();
            QTRY_VERIFY2_WITH_TIMEOUT(dock->isVisible(), qPrintable(dock->windowTitle()), 5000);
            QTest::qWait(20);
            check(dock);
        }
    }
};

QGroupBox* Processing(QWidget* frame) {
    for (QGroupBox* box : frame->findChildren<QGroupBox*>())
        if (box->title() == QStringLiteral("Processing")) return box;
    return nullptr;
}

// The width a combo box has for the text of its current item.
int TextRoom(const QComboBox* combo) {
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    return combo->style()
        ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
        .width();
}

// Every shown combo box whose entries do not all fit, as "name: entry".
QStringList ClippedCombos(QWidget* frame) {
    QStringList clipped;
    for (QComboBox* combo : frame->findChildren<QComboBox*>()) {
        if (!combo->isVisible()) continue;
        const QFontMetrics metrics(combo->font());
        // The label is drawn a pixel in from either side of the field.
        const int room = TextRoom(combo) - 2;
        for (int i = 0; i < combo->count(); ++i)
            if (metrics.horizontalAdvance(combo->itemText(i)) > room)
                clipped << combo->objectName() + QStringLiteral(": ") + combo->itemText(i);
    }
    return clipped;
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT

  private slots:
    // The smallest window with every dock open fits a 1024 by 700 screen; at that size and
    // at the default size the whole Processing form shows without scrolling.
    void everyDockOpenFitsALaptopAndLeavesTheFormWhole() {
        Window w("uilayoutsize");
        w.frame->resize(1200, 760);
        QTest::qWait(20);
        w.OpenEveryDock();
        const QSize least = w.frame->minimumSizeHint();
        QVERIFY2(least.width() <= 1024 && least.height() <= 700,
                 qPrintable(QStringLiteral("%1 x %2").arg(least.width()).arg(least.height())));

        auto* scroll = w.frame->findChild<QScrollArea*>(QStringLiteral("processingScroll"));
        QGroupBox* processing = Processing(w.frame.get());
        QVERIFY(scroll && processing);
        for (const QSize size : {QSize(1200, 760), QSize(1024, 700)}) {
            w.frame->resize(size);
            QTest::qWait(20);
            QCOMPARE(w.frame->size(), size);
            w.EachDockInFront([&](QDockWidget* dock) {
                const QString where = QStringLiteral("%1x%2, %3")
                                          .arg(size.width())
                                          .arg(size.height())
                                          .arg(dock->windowTitle());
                // The layout settles in posted events, later on a busy machine.
                QTRY_VERIFY2_WITH_TIMEOUT(!scroll->verticalScrollBar()->isVisible(),
                                          qPrintable(where), 5000);
                QTRY_VERIFY2_WITH_TIMEOUT(
                    processing->height() >= processing->sizeHint().height(),
                    qPrintable(where + QStringLiteral(": %1").arg(processing->height())), 5000);
                // Every field lies inside what the scroll area shows of the form.
                const QRect shown = scroll->viewport()->rect();
                for (QWidget* field : processing->findChildren<QWidget*>()) {
                    if (!field->isVisible()) continue;
                    const QRect at(field->mapTo(scroll->viewport(), QPoint(0, 0)), field->size());
                    QVERIFY2(shown.contains(at),
                             qPrintable(where + QStringLiteral(": ") + field->objectName()));
                }
            });
        }
    }

    // Docks the user dragged apart (the browser on the right, the plot beside the tables
    // below, as earlier versions placed them) still fit a laptop screen.
    void docksDraggedApartStillFitALaptop() {
        Window w("uilayoutapart");
        w.OpenEveryDock();
        w.frame->addDockWidget(Qt::RightDockWidgetArea, w.frame->StudyBrowserDock());
        w.frame->addDockWidget(Qt::BottomDockWidgetArea, w.frame->SpectraPlotDock());
        w.frame->splitDockWidget(w.frame->SpectraPlotDock(), w.frame->ResultTablesDock(),
                                 Qt::Horizontal);
        QTest::qWait(20);
        for (QDockWidget* dock : w.Docks()) QVERIFY(dock->isVisible());
        QVERIFY(w.frame->tabifiedDockWidgets(w.frame->SpectraPlotDock()).isEmpty());
        const QSize least = w.frame->minimumSizeHint();
        QVERIFY2(least.width() <= 1024 && least.height() <= 700,
                 qPrintable(QStringLiteral("%1 x %2").arg(least.width()).arg(least.height())));
    }

    // No combo box cuts an entry off, in the form or in any dock, from a laptop's width up.
    void noComboCutsItsText() {
        Window w("uilayoutcombo");
        w.OpenEveryDock();
        for (const QSize size : {QSize(1024, 700), QSize(1600, 1000)}) {
            w.frame->resize(size);
            QTest::qWait(20);
            w.EachDockInFront([&](QDockWidget* dock) {
                const QStringList clipped = ClippedCombos(w.frame.get());
                QVERIFY2(clipped.isEmpty(),
                         qPrintable(QStringLiteral("%1x%2, %3: ")
                                        .arg(size.width())
                                        .arg(size.height())
                                        .arg(dock->windowTitle()) +
                                    clipped.join(QStringLiteral("; "))));
            });
        }
    }

    // Each column holds what its header names, with units, and is as wide as its widest
    // text, in rows the user has not opened yet too.
    void studyBrowserColumnsMatchTheirHeadersAndFit() {
        Window w("uilayoutbrowser");
        QVERIFY2(w.imported, w.frame->Frontend().LastError().c_str());
        QCOMPARE(w.Count("select count(*) from spectrum"), 2);
        w.OpenEveryDock();
        w.frame->resize(1600, 1000);
        StudyBrowserWindow* browser = w.frame->StudyBrowserDock();
        browser->raise();
        QTest::qWait(20);
        QTreeWidget* tree = browser->Tree();
        QStringList headers;
        for (int c = 0; c < tree->columnCount(); ++c) headers << tree->headerItem()->text(c);
        QCOMPARE(headers, (QStringList{"Spectrum", "Enabled", "Id", "Captured",
                                       QStringLiteral("Latitude (\u00b0)"),
                                       QStringLiteral("Longitude (\u00b0)"), "Altitude (m)",
                                       "File"}));
        const auto column = [&](const char* header) {
            return static_cast<int>(headers.indexOf(QString::fromUtf8(header)));
        };

        QCOMPARE(tree->topLevelItemCount(), 1);
        QTreeWidgetItem* species = tree->topLevelItem(0);
        QVERIFY(!species->isExpanded());
        QTreeWidgetItem* site = species->child(1);
        QTreeWidgetItem* spectrum = site->child(0);
        const int id = w.Count("select max(spectrum_id) from spectrum");
        // Row, column, the text it must hold (an empty one for a column that does not apply).
        const struct {
            QTreeWidgetItem* row;
            const char* header;
            QString text;
        } cells[] = {
            {species, "Spectrum", "kauri"},
            {species, "Enabled", "2 of 2"},
            {species, "Id", ""},
            {site, "Spectrum", "site 12"},
            {site, "Enabled", "1 of 1"},
            {site, "Id", ""},
            {spectrum, "Spectrum", "spectrum 0"},
            {spectrum, "Enabled", "yes"},
            {spectrum, "Id", QString::number(id)},
        };
        for (const auto& cell : cells)
            QVERIFY2(cell.row->text(column(cell.header)) == cell.text,
                     qPrintable(QString::fromUtf8(cell.header) + QStringLiteral(": ") +
                                cell.row->text(column(cell.header))));
        QVERIFY(QDateTime::fromString(spectrum->text(column("Captured")),
                                      QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                    .isValid());
        QCOMPARE(site->text(column("Captured")), spectrum->text(column("Captured")));

        // Every column but the last (which takes the rest of the width) fits its header and
        // every text under it, the first with the indentation and check box of its depth.
        const QFontMetrics metrics(tree->font());
        const QFontMetrics header_metrics(tree->header()->font());
        const int check = tree->style()->pixelMetric(QStyle::PM_IndicatorWidth);
        for (int c = 0; c < tree->columnCount(); ++c) {
            const int width = tree->header()->sectionSize(c);
            QVERIFY2(header_metrics.horizontalAdvance(headers[c]) < width, qPrintable(headers[c]));
            std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item,
                                                                  int depth) {
                int need = metrics.horizontalAdvance(item->text(c));
                if (c == 0) need += (depth + 1) * tree->indentation() + (depth == 2 ? check : 0);
                QVERIFY2(need <= width, qPrintable(headers[c] + QStringLiteral(": ") +
                                                  item->text(c) +
                                                  QStringLiteral(" %1 > %2").arg(need).arg(width)));
                for (int i = 0; i < item->childCount(); ++i) walk(item->child(i), depth + 1);
            };
            if (c + 1 < tree->columnCount()) walk(species, 0);
        }
    }
};

}  // namespace orvane

QTEST_MAIN(orvane::LayoutTest)
#include "layout_test.moc"
