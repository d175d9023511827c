// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>
#include <memory>

#include "forms/menu_command.h"
#include "forms/workbench_document.h"
#include "chain/processing_session.h"
#include "support/scratch_database.h"
#include "support/workbench_rows.h"
#include "ui/feature_space_dialog.h"
#include "ui/main_window.h"
#include "ui/workbench_view.h"
#include "ui/workbench.h"

namespace orvane {
namespace {

using test::Items;

// One sensor, the starter feature spaces and one study, the main window on it, and the
// waveband definition answered from `answers` (the values it was opened with are kept).
struct Window : test::Workbench {
    explicit Window(const std::string& tag) : Workbench(tag) {
        ArrangeStudies({"landsat8_oli"}, {"Kaimai ridge"});
        Connect();
        Show();
    }

    FeatureSpaceDialog* Open(int command) {
        frame->RunCommand(command);
        FeatureSpaceDialog* dialog = frame->FeatureSpace();
        dialog->SetBandEditor([this](int& wavelength1, int& wavelength2) {
            offered.append({wavelength1, wavelength2});
            if (answers.isEmpty()) return false;
            std::tie(wavelength1, wavelength2) = answers.takeFirst();
            return true;
        });
        return dialog;
    }
    void Click(FeatureSpaceDialog* dialog, const char* name) {
        QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromLatin1(name)),
                          Qt::LeftButton);
    }
    QComboBox* List() { return frame->View()->FeatureSpaceList(); }

    QList<std::pair<int, int>> answers;
    QList<std::pair<int, int>> offered;
};

}  // namespace

class FeatureSpaceWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void newFeatureSpaceJoinsTheFormsListAsTheCurrentOne() {
        Window w("uifsnew");
        const QStringList before = Items(w.List());
        FeatureSpaceDialog* dialog = w.Open(kCmdFeatureSpaceNew);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Edit a new DI Feature Space"));
        QCOMPARE(dialog->ListBox()->title(), QStringLiteral("Band Ranges [nm]"));
        QVERIFY(!dialog->Dimension()->isEnabled());
        QVERIFY(dialog->Name()->text().isEmpty());
        QCOMPARE(dialog->Description()->maxLength(), 254);

        w.answers = {{500, 600}, {700, 800}, {650, 720}};
        w.Click(dialog, "new");
        w.Click(dialog, "new");
        // "New" opens with the values of the previous definition.
        QCOMPARE(w.offered.value(1), (std::pair<int, int>{500, 600}));
        dialog->List()->setCurrentRow(1);
        w.Click(dialog, "modify");
        QCOMPARE(w.offered.value(2), (std::pair<int, int>{700, 800}));
        QCOMPARE(Items(dialog->List()), (QStringList{"500 - 600 nm", "650 - 720 nm"}));
        QCOMPARE(dialog->Dimension()->value(), 2);

        // Without a name nothing is stored and the dialog stays.
        w.Click(dialog, "ok");
        QVERIFY(dialog->isVisible());
        QCOMPARE(w.Count("select count(*) from feature_space where name = ''"), 0);

        dialog->Name()->setText(QStringLiteral("Red edge"));
        w.Click(dialog, "ok");
        QVERIFY(!dialog->isVisible());
        QVERIFY(Items(w.List()).contains(QStringLiteral("Red edge")));
        QCOMPARE(Items(w.List()).size(), before.size() + 1);
        QCOMPARE(w.List()->currentText(), QStringLiteral("Red edge"));
        QCOMPARE(w.Count("select count(*) from band_range r join feature_space f on "
                         "r.feature_space_id = f.feature_space_id where f.name = 'Red edge' and "
                         "r.band1 = 650 and r.band2 = 720"),
                 1);
    }

    // What a copy stores is the core's and the form's; the window's part is that Cancel
    // stores nothing.
    void cancelStoresNothing() {
        Window w("uifscancel");
        const QStringList listed = Items(w.List());
        FeatureSpaceDialog* dialog = w.Open(kCmdFeatureSpaceEdit);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Edit an existing DI Feature Space"));
        dialog->Name()->setText(QStringLiteral("Renamed"));
        w.Click(dialog, "cancel");
        QCOMPARE(Items(w.List()), listed);
        QCOMPARE(w.Count("select count(*) from feature_space where name = 'Renamed'"), 0);
    }
};

}  // namespace orvane

QTEST_MAIN(orvane::FeatureSpaceWindowTest)
#include "feature_space_window_test.moc"
