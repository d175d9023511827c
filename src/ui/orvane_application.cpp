// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/orvane_application.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <exception>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "base/config_file.h"
#include "base/frontend.h"
#include "base/version.h"
#include "chain/processing_session.h"
#include "forms/private_setup.h"
#include "forms/workbench_document.h"
#include "base/orvane_error.h"
#include "base/report_journal.h"
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

namespace {
// Records what the first-start setup reports, for the window to show while it works in
// the background.
class SetupFrontend : public Frontend {
  public:
    void Report(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        const size_t end = text.find_last_not_of('\n');
        const std::string trimmed = text.substr(0, end == std::string::npos ? 0 : end + 1);
        last_ = trimmed.substr(trimmed.find_last_of('\n') + 1);
        all_ += trimmed + "\n";
    }
    void Error(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        errors_ += text + "\n";
    }
    std::string Last() {
        std::lock_guard<std::mutex> lock(mutex_);
        return last_;
    }
    std::string Errors() {
        std::lock_guard<std::mutex> lock(mutex_);
        return errors_;
    }
    std::string All() {
        std::lock_guard<std::mutex> lock(mutex_);
        return all_;
    }

  private:
    std::mutex mutex_;
    std::string last_;
    std::string errors_;
    std::string all_;
};
}  // namespace

std::string OrvaneApplication::CreatePrivateSetup() {
    SetupFrontend frontend;
    std::string config, failure;
    std::atomic<bool> done{false};
    // The server's creation and the import take a while: they run beside the event loop so
    // that the window keeps painting its progress.
    std::thread worker([&] {
        try {
            config = PrivateSetup().Run(frontend, setup_options_);
        } catch (const std::exception& e) {
            failure = e.what();
        }
        done = true;
    });
    if (!config_answer_) {
        QProgressDialog progress(QStringLiteral("Creating the private database and the demo study..."),
                                 QString(), 0, 0);
        progress.setWindowTitle(QStringLiteral("Orvane"));
        progress.setWindowModality(Qt::ApplicationModal);
        progress.setMinimumDuration(0);
        progress.show();
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            const std::string last = frontend.Last();
            if (!last.empty())
                progress.setLabelText(
                    QStringLiteral("Creating the private database and the demo study...\n") +
                    QString::fromStdString(last));
            if (done) loop.quit();
        });
        poll.start(100);
        loop.exec();
    }
    worker.join();
    const std::string errors = frontend.Errors();
    if (!failure.empty()) {
        std::fprintf(stderr, "orvane: %s\n%s", failure.c_str(), errors.c_str());
        if (!config_answer_)
            QMessageBox::critical(nullptr, QStringLiteral("Orvane"),
                                  QStringLiteral("The private database could not be created.\n\n") +
                                      QString::fromStdString(failure + "\n" + errors));
        return "";
    }
    // The import's own complaints (a file skipped) do not stop the start; the report window
    // shows them with what was made.
    if (!errors.empty()) std::fprintf(stderr, "orvane: %s", errors.c_str());
    setup_report_ = frontend.All() + errors;
    return config;
}

bool OrvaneApplication::ChooseConfiguration(const std::string& message, std::string& config_path) {
    const std::string unavailable = PrivateSetup().Unavailable();
    const bool can_create = unavailable.empty();
    if (config_answer_) {
        const StartChoice chosen = config_answer_(message, can_create);
        if (chosen.kind == StartChoice::kCreatePrivate && can_create) {
            config_path = CreatePrivateSetup();
            return !config_path.empty();
        }
        if (chosen.kind != StartChoice::kChooseFile || chosen.path.empty()) return false;
        config_path = chosen.path;
        return true;
    }
    QMessageBox box(QMessageBox::Information, QStringLiteral("Orvane"),
                    QStringLiteral("Orvane needs a database and its configuration file (database "
                                   "connection and output folder) to start."));
    QString informative = QString::fromStdString(message) + QStringLiteral("\n\n");
    if (can_create)
        informative += QStringLiteral(
            "Create a private database for you (a MariaDB server of your own under "
            "$ORVANE_HOME) with the demo study imported, choose a configuration file, or quit.");
    else
        informative += QString::fromStdString(unavailable) +
                       QStringLiteral("\nChoose a configuration file, or quit.");
    box.setInformativeText(informative);
    QPushButton* create = nullptr;
    if (can_create)
        create = box.addButton(QStringLiteral("Create Private Database and Demo Study"),
                               QMessageBox::AcceptRole);
    QPushButton* choose =
        box.addButton(QStringLiteral("Choose Configuration..."), QMessageBox::ActionRole);
    QPushButton* quit = box.addButton(QStringLiteral("Quit"), QMessageBox::RejectRole);
    box.setDefaultButton(create ? create : choose);
    box.setEscapeButton(quit);
    box.exec();
    if (create && box.clickedButton() == create) {
        config_path = CreatePrivateSetup();
        return !config_path.empty();
    }
    if (box.clickedButton() != choose) return false;
    const QString path = QFileDialog::getOpenFileName(
        nullptr, QStringLiteral("Configuration file"), QDir::homePath(),
        QStringLiteral("Configuration (*.txt);;All files (*)"));
    if (path.isEmpty()) return false;
    config_path = path.toStdString();
    return true;
}

std::unique_ptr<WorkbenchDocument> OpenBesideEventLoop(const std::string& config_path) {
    std::unique_ptr<WorkbenchDocument> doc;
    std::exception_ptr failure;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        try {
            doc = std::make_unique<WorkbenchDocument>(config_path);
            doc->Session().Db().Release();
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
    });
    {
        // Made only when the server is slow to answer, so that a near one shows no note.
        std::unique_ptr<QProgressDialog> progress;
        QElapsedTimer waited;
        waited.start();
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (done) {
                loop.quit();
                return;
            }
            if (progress || waited.elapsed() < 600) return;
            progress = std::make_unique<QProgressDialog>(
                QStringLiteral("Connecting to the database server..."), QString(), 0, 0);
            progress->setWindowTitle(QStringLiteral("Orvane"));
            progress->setWindowModality(Qt::ApplicationModal);
            progress->show();
        });
        poll.start(20);
        if (!done) loop.exec();
    }
    worker.join();
    if (failure) std::rethrow_exception(failure);
    doc->Session().Db().Adopt();
    return doc;
}

std::unique_ptr<WorkbenchDocument> OrvaneApplication::OpenDocument(std::string config_path, int& status) {
    while (true) {
        try {
            return OpenBesideEventLoop(config_path);
        } catch (const FileNotFoundError& e) {
            // Started from a desktop launcher nobody reads standard output, so the message
            // goes to a dialog that lets the user pick the file. A shell sees the message only
            // once the user has declined: "About to quit!" is not true while choices are open.
            if (!ChooseConfiguration(ConfigFile::NotFoundMessage(), config_path)) {
                std::fputs(e.what(), stdout);
                std::fflush(stdout);
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
    if (!setup_report_.empty()) doc_->Report(setup_report_);
    // The report window shows them too; standard error keeps them for a launch from a shell.
    for (const std::string& warning : doc_->StartupWarnings())
        std::fprintf(stderr, "orvane: %s\n", warning.c_str());
    // The report is kept on disk as it grows; what an earlier run left there is offered back.
    std::vector<ReportJournal::Orphan> kept;
    if (const std::string home = OrvaneHomeFolder(); !home.empty()) {
        const std::string folder = home + "/reports";
        kept = ReportJournal::Orphans(folder);
        try {
            doc_->KeepReportIn(std::make_unique<ReportJournal>(folder));
        } catch (const std::exception& e) {
            doc_->Report(e.what());
        }
    }
    frame_ = std::make_unique<MainWindow>(*doc_);
    frame_->show();
    frame_->InitialUpdate();
    frame_->RestoreSettings();
    frame_->OfferKeptReports(kept);
    return exec();
}

bool OrvaneApplication::notify(QObject* receiver, QEvent* event) {
    std::string failure;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "An unexpected error occurred.";
    }
    std::fprintf(stderr, "orvane: %s\n", failure.c_str());
    if (doc_) doc_->Report(failure);
    // One box at a time: a failure while a box is open is reported, not stacked.
    if (!showing_failure_) {
        showing_failure_ = true;
        QMessageBox::warning(frame_ ? frame_.get() : nullptr, QStringLiteral("Orvane"),
                             QString::fromStdString(failure));
        showing_failure_ = false;
    }
    return false;
}

}  // namespace orvane
