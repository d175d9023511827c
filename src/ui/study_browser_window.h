// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDockWidget>
#include <functional>
#include <vector>

#include "forms/study_browser.h"
#include "ui/qt_frontend.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace orvane {

// The dockable study browser: species, their sites and spectra in a tree with the number,
// capture time and position of each; the check box of a spectrum enables or disables it, and
// "Plot" shows the selected spectra (or everything under a selected species or site).
class StudyBrowserWindow : public QDockWidget {
    Q_OBJECT

  public:
    StudyBrowserWindow(WorkbenchDocument& doc, MainForm& form, ActionRunner run,
                       QWidget* parent = nullptr);

    StudyBrowser& Browser() { return browser_; }
    QTreeWidget* Tree() const { return tree_; }
    // Reads the current study again and rebuilds the tree.
    void Refresh();
    // The spectrum ids of the selected rows.
    std::vector<int> SelectedIds() const;
    // Whoever shows the plots is told which spectra to plot.
    void SetPlotRequest(std::function<void(const std::vector<int>&)> request) {
        plot_request_ = std::move(request);
    }
    // The disable and enable buttons act on the selection.
    void DisableSelected(bool disabled);

  private:
    void Rebuild();
    // Fits every column but the file name to the widest text of any row, open or not.
    void FitColumns();

    StudyBrowser browser_;
    ActionRunner run_;
    QTreeWidget* tree_;
    QPushButton* disable_ = nullptr;
    QPushButton* enable_ = nullptr;
    std::function<void(const std::vector<int>&)> plot_request_;
    bool rebuilding_ = false;
};

}  // namespace orvane
