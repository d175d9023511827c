#pragma once

#include <QApplication>
#include <memory>
#include <string>

namespace orvane {

class CMainFrame;
class COrvaneDoc;

// The application: reads the configuration, connects, and shows the main window.
class COrvaneApp : public QApplication {
    Q_OBJECT

  public:
    COrvaneApp(int& argc, char** argv);
    ~COrvaneApp() override;

    // Start-up and the event loop; the exit status.
    int Run();

  private:
    // Opens the document, letting the user choose another configuration file after a failed
    // connection. Null when the user quits (exit status in `status`).
    std::unique_ptr<COrvaneDoc> OpenDocument(std::string config_path, int& status);

    std::unique_ptr<COrvaneDoc> doc_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace orvane
