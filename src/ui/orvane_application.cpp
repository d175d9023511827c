// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/orvane_application.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

#include "base/config_file.h"
#include "base/version.h"
#include "forms/workbench_document.h"
#include "base/orvane_error.h"
#include "store/database.h"
#include "ui/about_dialog.h"
#include "ui/main_window.h"

namespace orvane {

OrvaneApplication::OrvaneApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Orvane"));
    setApplicationVersion(QString::fromLatin1(kOrvaneVersion));
    setOrganizationName(QStringLiteral("Orvane"));
    setDesktopFileName(QStringLiteral("orvane"));
    setWindowIcon(OrvaneIcon());
}

OrvaneApplication::~OrvaneApplication() {
    // The window goes before the document it shows.
    frame_.reset();
    doc_.reset();
}

bool OrvaneApplication::ChooseConfiguration(const std::string& message, std::string& config_path) {
    if (config_answer_) {
        const std::string chosen = config_answer_(message);
        if (chosen.empty()) return false;
        config_path = chosen;
        return true;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Orvane"),
                    QStringLiteral("Orvane needs its configuration file (database connection and "
                                   "output folder) to start."));
    box.setInformativeText(QString::fromStdString(message) +
                           QStringLiteral("\n\nChoose a configuration file, or quit."));
    QPushButton* choose =
        box.addButton(QStringLiteral("Choose Configuration..."), QMessageBox::AcceptRole);
    QPushButton* quit = box.addButton(QStringLiteral("Quit"), QMessageBox::RejectRole);
    box.setDefaultButton(choose);
    box.setEscapeButton(quit);
    box.exec();
    if (box.clickedButton() != choose) return false;
    const QString path = QFileDialog::getOpenFileName(
        nullptr, QStringLiteral("Configuration file"), QDir::homePath(),
        QStringLiteral("Configuration (*.txt);;All files (*)"));
    if (path.isEmpty()) return false;
    config_path = path.toStdString();
    return true;
}

std::unique_ptr<WorkbenchDocument> OrvaneApplication::OpenDocument(std::string config_path, int& status) {
    while (true) {
        try {
            return std::make_unique<WorkbenchDocument>(config_path);
        } catch (const FileNotFoundError& e) {
            // Started from a desktop launcher nobody reads standard output, so the message
            // goes to a dialog that lets the user pick the file.
            std::fputs(e.what(), stdout);
            std::fflush(stdout);
            if (!ChooseConfiguration(ConfigFile::NotFoundMessage(), config_path)) {
                status = 1;
                return nullptr;
            }
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

int OrvaneApplication::Run() {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Field spectroscopy workbench"));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption config({QStringLiteral("c"), QStringLiteral("config")},
                              QStringLiteral("Configuration file (default ./spectra_config.txt, "
                                             "else $ORVANE_HOME/spectra_config.txt)."),
                              QStringLiteral("file"));
    parser.addOption(config);
    parser.process(*this);

    // Without --config: the working directory's file, else the one in $ORVANE_HOME.
    std::string config_path = parser.value(config).toStdString();
    if (config_path.empty()) config_path = ConfigFile::Locate();
    if (config_path.empty()) config_path = ConfigFile::kDefaultName;
    int status = 0;
    doc_ = OpenDocument(config_path, status);
    if (!doc_) return status;
    // The report window shows them too; standard error keeps them for a launch from a shell.
    for (const std::string& warning : doc_->StartupWarnings())
        std::fprintf(stderr, "orvane: %s\n", warning.c_str());
    frame_ = std::make_unique<MainWindow>(*doc_);
    frame_->show();
    frame_->InitialUpdate();
    frame_->RestoreSettings();
    return exec();
}

}  // namespace orvane
