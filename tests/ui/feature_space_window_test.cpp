// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include "forms/menu_command.h"
#include "ui/feature_space_dialog.h"
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
    // What storing refuses and keeps is the core's and the form's; here the dialog reaches them.
    void newFeatureSpaceBecomesCurrentAndCancelStoresNothing() {
        Window w("uifsnew");
        const int listed = w.List()->count();
        FeatureSpaceDialog* dialog = w.Open(kCmdFeatureSpaceNew);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Edit a new DI Feature Space"));
        QVERIFY(!dialog->Dimension()->isEnabled());

        w.answers = {{500, 600}, {700, 800}, {650, 720}};
        w.Click(dialog, "new");
        w.Click(dialog, "new");
        // "New" opens with the values of the previous definition, "Modify" with the chosen one.
        QCOMPARE(w.offered.value(1), (std::pair<int, int>{500, 600}));
        dialog->List()->setCurrentRow(1);
        w.Click(dialog, "modify");
        QCOMPARE(w.offered.value(2), (std::pair<int, int>{700, 800}));
        QCOMPARE(Items(dialog->List()), (QStringList{"500 - 600 nm", "650 - 720 nm"}));
        QCOMPARE(dialog->Dimension()->value(), 2);

        w.Click(dialog, "ok");
        QVERIFY2(dialog->isVisible(), "without a name nothing is stored");
        dialog->Name()->setText(QStringLiteral("Red edge"));
        w.Click(dialog, "ok");
        QVERIFY(!dialog->isVisible());
        QCOMPARE(w.List()->count(), listed + 1);
        QCOMPARE(w.List()->currentText(), QStringLiteral("Red edge"));
        QCOMPARE(w.Count("select count(*) from band_range r join feature_space f on "
                         "r.feature_space_id = f.feature_space_id where f.name = 'Red edge' and "
                         "r.band1 = 650 and r.band2 = 720"),
                 1);

        dialog = w.Open(kCmdFeatureSpaceEdit);
        QCOMPARE(dialog->Name()->text(), QStringLiteral("Red edge"));
        dialog->Name()->setText(QStringLiteral("Renamed"));
        w.Click(dialog, "cancel");
        QCOMPARE(w.List()->currentText(), QStringLiteral("Red edge"));
        QCOMPARE(w.Count("select count(*) from feature_space where name = 'Renamed'"), 0);
    }
};

}  // namespace orvane

QTEST_MAIN(orvane::FeatureSpaceWindowTest)
#include "feature_space_window_test.moc"
