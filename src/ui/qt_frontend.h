#pragma once

#include <QPointer>
#include <QProgressDialog>
#include <functional>
#include <string>

#include "app/frontend.h"

class QWidget;

namespace orvane {

class COrvaneDoc;

// The desktop face of the core: report entries go to the document's report window, errors
// to a message box (and the report), long operations to the shared "Progress" dialog.
class QtFrontend : public Frontend {
  public:
    QtFrontend(COrvaneDoc& doc, QWidget* parent);
    ~QtFrontend() override;

    void Report(const std::string& text) override;
    void Error(const std::string& text) override;
    void BeginProgress(const std::string& title, int total) override;
    void StepProgress(int done) override;
    void EndProgress() override;
    bool Cancelled() override;

    // An existing file the user picks; empty when cancelled.
    std::string ChooseOpenFile(const std::string& title, const std::string& filter);

    // Without message boxes errors only reach the report and LastError(); for runs that no
    // one watches, such as the tests.
    void SetMessageBoxes(bool on) { message_boxes_ = on; }
    const std::string& LastError() const { return last_error_; }
    QProgressDialog* Progress() const { return progress_; }

  private:
    COrvaneDoc& doc_;
    QWidget* parent_;
    bool message_boxes_ = true;
    std::string last_error_;
    QPointer<QProgressDialog> progress_;
};

// Runs one user action at the single catch point: a failure becomes a message, and the
// window is brought up to date either way. True when the action completed.
using ActionRunner = std::function<bool(const std::function<void()>&)>;

}  // namespace orvane
