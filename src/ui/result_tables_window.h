// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDockWidget>
#include <string>
#include <vector>

#include "forms/result_tables.h"

class QTabWidget;
class QTableWidget;

namespace orvane {

class QtFrontend;

// The dockable result tables: one tab per table (error matrix, JM and B distances, unmixing,
// sensor comparison), each copied to the clipboard as tab-separated text or saved as CSV.
class ResultTablesWindow : public QDockWidget {
  public:
    explicit ResultTablesWindow(QtFrontend& frontend, QWidget* parent = nullptr);

    // Shows the tables, each replacing the tab of the same title, the first one current.
    void Show(const std::vector<ResultTable>& tables);
    QTabWidget* Tabs() const { return tabs_; }
    QTableWidget* TableOf(const QString& title) const;
    const ResultTable* Current() const;
    // The current table to the clipboard; to a CSV file (false when it could not be written).
    void CopyCurrent();
    bool SaveCurrent(const std::string& path);

  private:
    QtFrontend& frontend_;
    QTabWidget* tabs_;
    std::vector<ResultTable> tables_;  // in tab order
};

}  // namespace orvane
