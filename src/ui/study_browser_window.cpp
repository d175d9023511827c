// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/study_browser_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace orvane {

namespace {
// Where each row keeps what it stands for.
constexpr int kKindRole = Qt::UserRole;
constexpr int kSpeciesRole = Qt::UserRole + 1;
constexpr int kSiteRole = Qt::UserRole + 2;
constexpr int kIdRole = Qt::UserRole + 3;
enum Kind { kSpeciesRow = 0, kSiteRow = 1, kSpectrumRow = 2 };
}  // namespace

StudyBrowserWindow::StudyBrowserWindow(WorkbenchDocument& doc, MainForm& form, ActionRunner run,
                                       QWidget* parent)
    : QDockWidget(QStringLiteral("Study Browser"), parent), browser_(doc, form), run_(std::move(run)) {
    setObjectName(QStringLiteral("studyBrowser"));
    auto* body = new QWidget(this);
    tree_ = new QTreeWidget(body);
    tree_->setObjectName(QStringLiteral("studyTree"));
    QStringList headers;
    for (const std::string& h : StudyBrowser::Headers()) headers << QString::fromStdString(h);
    tree_->setHeaderLabels(headers);
    // The file path takes whatever width is left; cut in its middle it keeps the file's name,
    // and its tooltip gives it whole.
    tree_->header()->setStretchLastSection(true);
    tree_->setTextElideMode(Qt::ElideMiddle);
    tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree_->setToolTip(QStringLiteral(
        "Unchecking a spectrum disables it: libraries, analyses and plots leave it out, and the "
        "study's libraries must be built again."));
    auto* plot = new QPushButton(QStringLiteral("&Plot"), body);
    plot->setObjectName(QStringLiteral("browserPlot"));
    plot->setToolTip(QStringLiteral("Plot the selected spectra, or all under a selected species or site."));
    auto* disable = disable_ = new QPushButton(QStringLiteral("D&isable"), body);
    auto* enable = enable_ = new QPushButton(QStringLiteral("Ena&ble"), body);
    auto* refresh = new QPushButton(QStringLiteral("Refresh"), body);
    // The window's access letters are all taken; F5 refreshes instead.
    refresh->setShortcut(QKeySequence::Refresh);
    refresh->setToolTip(QStringLiteral("Read the study again (F5)"));
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {plot, disable, enable, refresh}) buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(body);
    layout->addWidget(tree_, 1);
    layout->addLayout(buttons);
    setWidget(body);

    connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (rebuilding_ || column != 0 || item->data(0, kKindRole).toInt() != kSpectrumRow) return;
        const bool disabled = item->checkState(0) != Qt::Checked;
        const int id = item->data(0, kIdRole).toInt();
        run_([&] { browser_.SetDisabled({id}, disabled); });
        // The item that signalled must outlive its signal, so the tree is rebuilt afterwards.
        QMetaObject::invokeMethod(this, [this] { Rebuild(); }, Qt::QueuedConnection);
    });
    connect(plot, &QPushButton::clicked, this, [this] {
        if (plot_request_) plot_request_(SelectedIds());
    });
    connect(disable, &QPushButton::clicked, this, [this] { DisableSelected(true); });
    connect(enable, &QPushButton::clicked, this, [this] { DisableSelected(false); });
    connect(refresh, &QPushButton::clicked, this, &StudyBrowserWindow::Refresh);
}

void StudyBrowserWindow::Refresh() {
    run_([&] { browser_.Refresh(); });
    Rebuild();
}

void StudyBrowserWindow::Rebuild() {
    rebuilding_ = true;
    // Keep the species and site rows the user had open, and where the view was scrolled.
    QSet<QString> open;
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* species = tree_->topLevelItem(i);
        if (species->isExpanded()) open.insert(species->text(0));
        for (int j = 0; j < species->childCount(); ++j)
            if (species->child(j)->isExpanded())
                open.insert(species->text(0) + QLatin1Char('\n') + species->child(j)->text(0));
    }
    const int scrolled = tree_->verticalScrollBar()->value();
    tree_->clear();
    // An account that may not change the study sees its spectra's states and changes none.
    const QString refusal = QString::fromStdString(browser_.ChangeRefusal());
    for (QPushButton* b : {disable_, enable_}) {
        b->setEnabled(refusal.isEmpty());
        b->setToolTip(refusal);
    }
    const auto& spectra = browser_.Spectra();
    const auto& tree = browser_.Tree();
    auto fill = [](QTreeWidgetItem* item, const std::vector<std::string>& texts) {
        for (size_t c = 0; c < texts.size(); ++c)
            item->setText(static_cast<int>(c), QString::fromStdString(texts[c]));
    };
    for (size_t s = 0; s < tree.size(); ++s) {
        auto* species = new QTreeWidgetItem(tree_);
        fill(species, browser_.SpeciesRow(s));
        species->setData(0, kKindRole, kSpeciesRow);
        species->setData(0, kSpeciesRole, static_cast<int>(s));
        for (size_t t = 0; t < tree[s].sites.size(); ++t) {
            const StudyBrowser::SiteNode& node = tree[s].sites[t];
            auto* site = new QTreeWidgetItem(species);
            fill(site, browser_.SiteRow(s, t));
            site->setData(0, kKindRole, kSiteRow);
            site->setData(0, kSpeciesRole, static_cast<int>(s));
            site->setData(0, kSiteRole, static_cast<int>(t));
            for (size_t i : node.spectra) {
                const StoredSpectrum& sp = spectra[i];
                auto* row = new QTreeWidgetItem(site);
                fill(row, browser_.SpectrumRow(i));
                row->setToolTip(StudyBrowser::kFile, row->text(StudyBrowser::kFile));
                for (int c : {StudyBrowser::kId, StudyBrowser::kLatitude, StudyBrowser::kLongitude,
                              StudyBrowser::kAltitude})
                    row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
                row->setFlags(refusal.isEmpty() ? row->flags() | Qt::ItemIsUserCheckable
                                                : row->flags() & ~Qt::ItemIsUserCheckable);
                row->setCheckState(0, sp.disabled ? Qt::Unchecked : Qt::Checked);
                row->setData(0, kKindRole, kSpectrumRow);
                row->setData(0, kIdRole, sp.spectrum_id);
            }
        }
    }
    FitColumns();
    // Reopen what the user had open, after the columns were fitted with every row open.
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* species = tree_->topLevelItem(i);
        for (int j = 0; j < species->childCount(); ++j) {
            QTreeWidgetItem* site = species->child(j);
            site->setExpanded(open.contains(species->text(0) + QLatin1Char('\n') + site->text(0)));
        }
        species->setExpanded(open.contains(species->text(0)));
    }
    tree_->verticalScrollBar()->setValue(scrolled);
    rebuilding_ = false;
}

void StudyBrowserWindow::FitColumns() {
    // A view measures only the rows it shows, so every row is opened while the columns are
    // fitted: a site's name and date must not be cut when the user opens it later.
    tree_->expandAll();
    tree_->header()->setResizeContentsPrecision(-1);
    for (int c = 0; c + 1 < tree_->columnCount(); ++c) tree_->resizeColumnToContents(c);
    tree_->collapseAll();
}

std::vector<int> StudyBrowserWindow::SelectedIds() const {
    std::vector<int> ids;
    for (QTreeWidgetItem* item : tree_->selectedItems()) {
        const int kind = item->data(0, kKindRole).toInt();
        const size_t s = static_cast<size_t>(item->data(0, kSpeciesRole).toInt());
        std::vector<int> more;
        if (kind == kSpectrumRow)
            more = {item->data(0, kIdRole).toInt()};
        else if (kind == kSiteRow)
            more = browser_.IdsOfSite(s, static_cast<size_t>(item->data(0, kSiteRole).toInt()));
        else
            more = browser_.IdsOfSpecies(s);
        ids.insert(ids.end(), more.begin(), more.end());
    }
    return ids;
}

void StudyBrowserWindow::DisableSelected(bool disabled) {
    const std::vector<int> ids = SelectedIds();
    if (ids.empty()) return;
    run_([&] { browser_.SetDisabled(ids, disabled); });
    Rebuild();
}

}  // namespace orvane
