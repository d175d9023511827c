#pragma once

#include <QApplication>
#include <functional>
#include <memory>
#include <string>

namespace orvane {

class CMainFrame;
class WorkbenchDocument;

// The application: reads the configuration, connects, and shows the main window.
class COrvaneApp : public QApplication {
    Q_OBJECT

  public:
    COrvaneApp(int& argc, char** argv);
    ~COrvaneApp() override;

    // Start-up and the event loop; the exit status.
    int Run();

    // Answers the "choose a configuration file" question without a dialog (for tests): the
    // chosen path, or empty to quit.
    using ConfigAnswer = std::function<std::string(const std::string& message)>;
    void SetConfigAnswer(ConfigAnswer answer) { config_answer_ = std::move(answer); }

  private:
    // Opens the document, letting the user choose another configuration file after a failed
    // connection. Null when the user quits (exit status in `status`).
    std::unique_ptr<WorkbenchDocument> OpenDocument(std::string config_path, int& status);
    // Shows why there is no configuration and lets the user pick one; false when declined.
    bool ChooseConfiguration(const std::string& message, std::string& config_path);

    std::unique_ptr<WorkbenchDocument> doc_;
    std::unique_ptr<CMainFrame> frame_;
    ConfigAnswer config_answer_;
};

}  // namespace orvane
