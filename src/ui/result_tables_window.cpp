// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/result_tables_window.h"

#include <QApplication>
#include <QClipboard>
#include <QColor>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <fstream>

#include "ui/qt_frontend.h"

namespace orvane {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// From red (0, poorly separated) through yellow to green (1, well separated), light enough
// for black text.
QColor ScaleColour(double x) {
    x = std::min(1.0, std::max(0.0, x));
    return QColor::fromHsvF(static_cast<float>(x / 3.0), 0.45f, 1.0f);
}

QTableWidget* Grid(const ResultTable& t) {
    const int rows = static_cast<int>(t.rows.size() + (t.notes.empty() ? 0 : t.notes.size()));
    auto* grid = new QTableWidget(rows, static_cast<int>(t.columns.size()));
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QStringList columns;
    for (const std::string& c : t.columns) columns << Q(c);
    grid->setHorizontalHeaderLabels(columns);
    QStringList labels;
    for (const std::string& r : t.rows) labels << Q(r);
    for (const auto& note : t.notes) labels << Q(note.first);
    grid->setVerticalHeaderLabels(labels);
    grid->setCornerButtonEnabled(false);
    grid->setToolTip(Q(t.corner));
    for (size_t r = 0; r < t.cells.size(); ++r) {
        for (size_t c = 0; c < t.cells[r].size(); ++c) {
            auto* item = new QTableWidgetItem(Q(t.cells[r][c]));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (r < t.scale.size() && c < t.scale[r].size() && t.scale[r][c] >= 0.0) {
                item->setBackground(ScaleColour(t.scale[r][c]));
                item->setForeground(Qt::black);
            }
            grid->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    }
    // Sized before the notes, whose long text spans the row and would widen the first column.
    grid->resizeColumnsToContents();
    int span_width = 0;
    for (int c = 0; c < grid->columnCount(); ++c) span_width += grid->columnWidth(c);
    for (size_t n = 0; n < t.notes.size(); ++n) {
        const int row = static_cast<int>(t.rows.size() + n);
        const QString note = Q(t.notes[n].second);
        grid->setItem(row, 0, new QTableWidgetItem(note));
        if (!t.columns.empty()) grid->setSpan(row, 0, 1, static_cast<int>(t.columns.size()));
        // A long note wraps within the columns it spans; its row grows to show all of it
        // rather than cutting the sentence off.
        const QRect needed = grid->fontMetrics().boundingRect(
            QRect(0, 0, std::max(1, span_width - 8), 10000), Qt::TextWordWrap, note);
        grid->setRowHeight(row, std::max(grid->rowHeight(row), needed.height() + 8));
    }
    return grid;
}

}  // namespace

ResultTablesWindow::ResultTablesWindow(QtFrontend& frontend, QWidget* parent)
    : QDockWidget(QStringLiteral("Result Tables"), parent), frontend_(frontend) {
    setObjectName(QStringLiteral("resultTables"));
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    tabs_ = new QTabWidget(body);
    layout->addWidget(tabs_);
    auto* buttons = new QHBoxLayout;
    auto* copy = new QPushButton(QStringLiteral("Copy"), body);
    copy->setObjectName(QStringLiteral("copy"));
    copy->setToolTip(QStringLiteral("Copy the table as tab-separated text"));
    auto* save = new QPushButton(QStringLiteral("Save as CSV…"), body);
    save->setObjectName(QStringLiteral("save"));
    buttons->addStretch();
    buttons->addWidget(copy);
    buttons->addWidget(save);
    layout->addLayout(buttons);
    setWidget(body);
    connect(copy, &QPushButton::clicked, this, &ResultTablesWindow::CopyCurrent);
    connect(save, &QPushButton::clicked, this, [this] {
        const ResultTable* t = Current();
        if (!t) return;
        const std::string path = frontend_.ChooseSaveFile("Save Table", t->title + ".csv",
                                                          "CSV files (*.csv);;All files (*)");
        if (!path.empty() && !SaveCurrent(path))
            frontend_.Error("The table could not be written to " + path + ".");
    });
}

void ResultTablesWindow::Show(const std::vector<ResultTable>& tables) {
    int first = -1;
    for (const ResultTable& t : tables) {
        int index = -1;
        for (size_t i = 0; i < tables_.size(); ++i)
            if (tables_[i].title == t.title) index = static_cast<int>(i);
        QTableWidget* grid = Grid(t);
        if (index < 0) {
            tables_.push_back(t);
            index = tabs_->addTab(grid, Q(t.title));
        } else {
            tables_[static_cast<size_t>(index)] = t;
            QWidget* old = tabs_->widget(index);
            tabs_->removeTab(index);
            delete old;
            tabs_->insertTab(index, grid, Q(t.title));
        }
        if (first < 0) first = index;
    }
    if (first >= 0) tabs_->setCurrentIndex(first);
    show();
    raise();
}

QTableWidget* ResultTablesWindow::TableOf(const QString& title) const {
    for (int i = 0; i < tabs_->count(); ++i)
        if (tabs_->tabText(i) == title) return qobject_cast<QTableWidget*>(tabs_->widget(i));
    return nullptr;
}

const ResultTable* ResultTablesWindow::Current() const {
    const int i = tabs_->currentIndex();
    return i < 0 || i >= static_cast<int>(tables_.size()) ? nullptr
                                                           : &tables_[static_cast<size_t>(i)];
}

void ResultTablesWindow::CopyCurrent() {
    if (const ResultTable* t = Current())
        QApplication::clipboard()->setText(Q(t->TabText()));
}

bool ResultTablesWindow::SaveCurrent(const std::string& path) {
    const ResultTable* t = Current();
    if (!t) return false;
    std::ofstream out(path, std::ios::binary);
    out << t->Csv();
    out.close();
    return static_cast<bool>(out);
}

}  // namespace orvane
