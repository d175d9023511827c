// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "base/frontend.h"
#include "forms/menu_command.h"
#include "study/sensor_import.h"
#include "support/mixing_study.h"
#include "support/study_rows.h"
#include "ui/abundance_settings_dialog.h"
#include "ui/endmember_selection_dialog.h"
#include "ui/workbench.h"

namespace orvane {
namespace {

using test::Items;

// grass, soil and a 0.7 / 0.3 mixture of them on the six-band sensor, all mixture species at
// first.
struct MixingWindow : test::Workbench {
    MixingWindow() : Workbench("mixingwindow") {
        test::InsertGrassSoilMixStudy(scratch.Admin(), "Mixing study");
        test::WriteMixingSensor(dir.File("six.txt"));
        {
            ProcessingSession session(scratch.Connect(), nullptr);
            SilentFrontend quiet;
            ImportSensor(session, quiet, dir.File("six.txt"), 0);
        }
        Connect();
        Show();
    }

    void Click(QWidget* dialog, const char* name) {
        auto* button = dialog->findChild<QPushButton*>(QString::fromLatin1(name));
        QVERIFY(button);
        button->click();
    }
    static void Pick(QListWidget* list, const QString& text) {
        const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        list->setCurrentItem(found.front());
    }
};

class MixingWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void DialogsStoreAndUnmixReports() {
        MixingWindow w;
        for (int id : {kCmdEndmemberSelection, kCmdAbundanceSettings, kCmdUnmix})
            QVERIFY(w.frame->Action(id)->isEnabled());

        w.frame->Action(kCmdEndmemberSelection)->trigger();
        EndmemberSelectionDialog* e = w.frame->EndmemberSelection();
        QVERIFY(e->isVisible());
        QCOMPARE(Items(e->Classes()), (QStringList{"grass", "mix", "soil"}));
        for (const char* name : {"grass", "soil"}) {
            MixingWindow::Pick(e->Classes(), QString::fromLatin1(name));
            w.Click(e, "toEndmembers");
        }
        QCOMPARE(Items(e->Classes()), QStringList{"mix"});
        QCOMPARE(Items(e->Endmembers()), (QStringList{"grass", "soil"}));
        w.Click(e, "ok");
        QVERIFY(!e->isVisible());

        w.frame->Action(kCmdAbundanceSettings)->trigger();
        AbundanceSettingsDialog* a = w.frame->AbundanceSettings();
        MixingWindow::Pick(a->Classes(), "mix");
        QCOMPARE(Items(a->Available()), (QStringList{"grass", "soil"}));
        for (const char* name : {"grass", "soil"}) {
            MixingWindow::Pick(a->Available(), QString::fromLatin1(name));
            w.Click(a, "add");
        }
        QCOMPARE(Items(a->Selected()), (QStringList{"grass", "soil"}));
        MixingWindow::Pick(a->Selected(), "grass");
        a->Abundance()->setText("0.7");
        w.Click(a, "save");
        QCOMPARE(a->Total()->text(), QStringLiteral("0.7"));
        MixingWindow::Pick(a->Selected(), "soil");
        w.Click(a, "complement");
        QCOMPARE(a->Abundance()->text(), QStringLiteral("0.300000"));
        w.Click(a, "save");
        QCOMPARE(a->Total()->text(), QStringLiteral("1"));

        w.frame->Action(kCmdUnmix)->trigger();
        QVERIFY(w.Report().contains(QStringLiteral("Spectral Unmixing")));
        QVERIFY(w.Report().contains(QStringLiteral("0.70  grass\n0.30  soil\n\nsimulated")));
    }
};

}  // namespace
}  // namespace orvane

QTEST_MAIN(orvane::MixingWindowTest)
#include "mixing_window_test.moc"
