// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QtTest>
#include <filesystem>

#include "forms/menu_command.h"
#include "ui/create_study_dialog.h"
#include "ui/workbench.h"

namespace orvane {
namespace {

using test::Items;

// A scratch database with one sensor, the starter feature spaces and one study, and the main
// window on it; Confirm questions are recorded and answered from `confirm`.
struct Window : test::Workbench {
    explicit Window(const std::string& tag) : Workbench(tag) {
        ArrangeStudies({"landsat8_oli"}, {"Kaimai ridge"});
        Connect();
        frame->Frontend().SetConfirmAnswer([this](const std::string& question) {
            questions << QString::fromStdString(question);
            return confirm;
        });
        Show();
    }

    const std::string& LastError() { return frame->Frontend().LastError(); }

    bool confirm = false;
    QStringList questions;
};

// A species folder with one site holding one field spectrum file.
void WriteStudyFolder(const std::string& root) {
    namespace fs = std::filesystem;
    fs::create_directories(root + "/kauri/site1");
    fs::copy_file(test::TestData("asd/as6/v6sample00000.asd"),
                  root + "/kauri/site1/v6sample00000.asd");
}

}  // namespace

class StudyWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void createdStudyBecomesCurrentAndImportsItsFolder() {
        Window w("uicreate");
        w.frame->RunCommand(kCmdCreateStudy);
        CreateStudyDialog* dialog = w.frame->CreateStudy();
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->MinSamples()->value(), 15);

        // A refused field keeps the dialog and what was typed, and stores nothing.
        dialog->accept();
        QVERIFY(dialog->isVisible());
        QVERIFY(!w.LastError().empty());
        QCOMPARE(w.Count("select count(*) from study"), 1);

        const std::string root = w.dir.File("field data of the tussock grassland plots");
        WriteStudyFolder(root);
        dialog->Name()->setText(QStringLiteral("Tussock 'upper' plots"));
        dialog->Description()->setText(QStringLiteral("Spring survey"));
        dialog->DataPath()->setText(QString::fromStdString(root));
        QCOMPARE(dialog->PathStatus()->text(), QString::fromStdString(root.substr(0, 35) + "..."));
        dialog->MinSamples()->setValue(1);
        dialog->accept();
        QVERIFY2(!dialog->isVisible(), w.LastError().c_str());
        QCOMPARE(Items(w.View().StudyList()),
                 (QStringList{"Kaimai ridge", "Tussock 'upper' plots"}));
        QCOMPARE(w.View().StudyList()->currentText(), QStringLiteral("Tussock 'upper' plots"));
        const int id = w.doc->Session().StudyId();

        w.frame->Action(kCmdImportSpectra)->trigger();
        QCOMPARE(w.Count(Sql("select count(*) from spectrum where study_id = %i", id)), 1);

        w.frame->Action(kCmdStudyReport)->trigger();
        QVERIFY(w.Report().contains(QStringLiteral("Number of spectra:\n1")));
    }

    void deletingAStudyAsksFirstAndMovesToTheRemainingOne() {
        Window w("uidelete");
        w.frame->RunCommand(kCmdCreateStudy);
        CreateStudyDialog* dialog = w.frame->CreateStudy();
        dialog->Name()->setText(QStringLiteral("Doomed"));
        dialog->accept();
        QCOMPARE(w.View().StudyList()->currentText(), QStringLiteral("Doomed"));
        const int doomed = w.doc->Session().StudyId();

        w.confirm = false;
        w.frame->Action(kCmdDeleteStudy)->trigger();
        QCOMPARE(w.questions.size(), 1);
        QVERIFY(w.questions[0].contains(QStringLiteral("The study 'Doomed' including all")));
        QCOMPARE(w.Count("select count(*) from study"), 2);
        QCOMPARE(w.View().StudyList()->currentText(), QStringLiteral("Doomed"));

        w.confirm = true;
        w.frame->Action(kCmdDeleteStudy)->trigger();
        QVERIFY2(w.LastError().empty(), w.LastError().c_str());
        QCOMPARE(w.Count(Sql("select count(*) from study where study_id = %i", doomed)), 0);
        QCOMPARE(Items(w.View().StudyList()), QStringList{"Kaimai ridge"});
        // The remaining study is current in every component, chain controls included.
        const int kept = w.View().StudyList()->currentData().toInt();
        QCOMPARE(w.doc->Session().StudyId(), kept);
        QVERIFY(w.doc->Session().SmoothingFilterId() > 0);

        // The last study too: the form is left without one and its commands disabled.
        w.frame->Action(kCmdDeleteStudy)->trigger();
        QCOMPARE(w.View().StudyList()->count(), 0);
        QCOMPARE(w.doc->Session().StudyId(), 0);
        QVERIFY(!w.frame->Action(kCmdImportSpectra)->isEnabled());
        QVERIFY(w.frame->Action(kCmdCreateStudy)->isEnabled());
    }
};

}  // namespace orvane

QTEST_MAIN(orvane::StudyWindowTest)
#include "study_window_test.moc"
