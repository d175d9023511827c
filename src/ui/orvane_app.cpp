#include "ui/orvane_app.h"

#include <QCommandLineParser>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

#include "base/config_file.h"
#include "forms/orvane_doc.h"
#include "base/orvane_error.h"
#include "store/database.h"
#include "ui/about_dialog.h"
#include "ui/main_frame.h"

namespace orvane {

COrvaneApp::COrvaneApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Orvane"));
    setApplicationVersion(QStringLiteral("1.1"));
    setOrganizationName(QStringLiteral("Orvane"));
    setDesktopFileName(QStringLiteral("orvane"));
    setWindowIcon(OrvaneIcon());
}

COrvaneApp::~COrvaneApp() {
    // The window goes before the document it shows.
    frame_.reset();
    doc_.reset();
}

std::unique_ptr<COrvaneDoc> COrvaneApp::OpenDocument(std::string config_path, int& status) {
    while (true) {
        try {
            return std::make_unique<COrvaneDoc>(config_path);
        } catch (const FileNotFoundError& e) {
            // The start-up message goes to standard output before any window, as the command
            // line does.
            std::fputs(e.what(), stdout);
            std::fflush(stdout);
            status = 1;
            return nullptr;
        } catch (const ConnectError& e) {
            QMessageBox box(QMessageBox::Critical, QStringLiteral("Orvane"),
                            QString::fromStdString(e.what()));
            box.setInformativeText(
                QStringLiteral("The database named in %1 could not be reached. Choose another "
                               "configuration file, or quit.")
                    .arg(QString::fromStdString(config_path)));
            QPushButton* choose =
                box.addButton(QStringLiteral("Choose Configuration..."), QMessageBox::AcceptRole);
            box.addButton(QMessageBox::Close);
            box.exec();
            if (box.clickedButton() != choose) {
                status = 1;
                return nullptr;
            }
            const QString path = QFileDialog::getOpenFileName(
                nullptr, QStringLiteral("Configuration file"),
                QFileInfo(QString::fromStdString(config_path)).absolutePath(),
                QStringLiteral("Configuration (*.txt);;All files (*)"));
            if (path.isEmpty()) {
                status = 1;
                return nullptr;
            }
            config_path = path.toStdString();
        } catch (const std::exception& e) {
            QMessageBox::critical(nullptr, QStringLiteral("Orvane"),
                                  QString::fromStdString(e.what()));
            status = 1;
            return nullptr;
        }
    }
}

int COrvaneApp::Run() {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Field spectroscopy workbench"));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption config({QStringLiteral("c"), QStringLiteral("config")},
                              QStringLiteral("Configuration file (default ./spectra_config.txt)."),
                              QStringLiteral("file"),
                              QString::fromLatin1(ConfigFile::kDefaultName));
    parser.addOption(config);
    parser.process(*this);

    int status = 0;
    doc_ = OpenDocument(parser.value(config).toStdString(), status);
    if (!doc_) return status;
    frame_ = std::make_unique<CMainFrame>(*doc_);
    frame_->show();
    frame_->InitialUpdate();
    frame_->RestoreSettings();
    return exec();
}

}  // namespace orvane
