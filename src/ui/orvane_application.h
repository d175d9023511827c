// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvane {

class MainWindow;
class WorkbenchDocument;

// Opens the document of a configuration on another thread while the event loop goes on, so
// that nothing freezes while a far server answers the connection's first questions (the
// account, the schema, the sensors); a note says so when it takes more than a moment. The
// calling thread owns the connection afterwards. Throws what opening it threw.
std::unique_ptr<WorkbenchDocument> OpenBesideEventLoop(const std::string& config_path);

// The application: reads the configuration, connects, and shows the main window.
class OrvaneApplication : public QApplication {
    Q_OBJECT

  public:
    OrvaneApplication(int& argc, char** argv);
    ~OrvaneApplication() override;

    // Start-up and the event loop; the exit status.
    int Run();

    // An exception that escapes an event handler or a slot is shown and reported; the
    // program goes on instead of ending with the report and the settings unsaved.
    bool notify(QObject* receiver, QEvent* event) override;

    // What the user chose when no configuration file was found.
    struct StartChoice {
        enum Kind { kQuit, kChooseFile, kCreatePrivate };
        Kind kind = kQuit;
        std::string path;  // the file chosen, for kChooseFile
    };
    // Answers the start-up question without a dialog (for tests); `can_create` tells whether
    // the private database and demo study were offered.
    using ConfigAnswer =
        std::function<StartChoice(const std::string& message, bool can_create)>;
    void SetConfigAnswer(ConfigAnswer answer) { config_answer_ = std::move(answer); }
    // Options for "orvane-db init" when the private database is created (a test's free port).
    void SetPrivateSetupOptions(std::vector<std::string> options) {
        setup_options_ = std::move(options);
    }

  private:
    // Opens the document, letting the user choose another configuration file after a failed
    // connection. Null when the user quits (exit status in `status`).
    std::unique_ptr<WorkbenchDocument> OpenDocument(std::string config_path, int& status);
    // Shows why there is no configuration and offers the private database with the demo
    // study, or a file of the user's; false when declined or when the creation failed.
    bool ChooseConfiguration(const std::string& message, std::string& config_path);
    // Creates the private database and the demo study, showing that it works; the
    // configuration it wrote, or empty after telling the user why it failed.
    std::string CreatePrivateSetup();

    std::unique_ptr<WorkbenchDocument> doc_;
    std::unique_ptr<MainWindow> frame_;
    ConfigAnswer config_answer_;
    std::vector<std::string> setup_options_;
    std::string setup_report_;  // what the first start's setup did, for the report window
    bool showing_failure_ = false;
};

}  // namespace orvane
