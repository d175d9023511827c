// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/spectra_plot_window.h"

#include <qcustomplot.h>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <exception>
#include <memory>

#include "base/orvane_error.h"
#include "base/text_file.h"
#include "chain/processing_session.h"
#include "forms/workbench_document.h"
#include "plot/spectra_plot_svg.h"
#include "ui/figure_size_dialog.h"

namespace orvane {

namespace {

QComboBox* Choices(QWidget* parent, const char* name, const std::vector<std::string>& labels,
                   const char* tip) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    for (const std::string& label : labels) combo->addItem(QString::fromStdString(label));
    combo->setToolTip(QString::fromUtf8(tip));
    // The choices stand one above the other beside the plot, so each can show its longest
    // entry whole without widening the dock.
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return combo;
}

QVector<double> Values(const std::vector<double>& v) { return QVector<double>(v.begin(), v.end()); }

}  // namespace

SpectraPlotWindow::SpectraPlotWindow(WorkbenchDocument& doc, QtFrontend& frontend, ActionRunner run,
                                     JobRunner jobs, WorkPoster post,
                                     std::function<void()> cancel_job,
                                     std::function<void()> settle, QWidget* parent)
    : QDockWidget(QStringLiteral("Spectra Plot"), parent),
      doc_(doc),
      frontend_(frontend),
      run_(std::move(run)),
      jobs_(std::move(jobs)),
      post_(std::move(post)),
      cancel_job_(std::move(cancel_job)),
      settle_(std::move(settle)),
      form_(doc) {
    setObjectName(QStringLiteral("spectraPlot"));
    auto* body = new QWidget(this);
    stage_ = Choices(body, "plotStage", SpectraPlotForm::StageLabels(),
                     "The stage of the processing chain the spectra are shown at.");
    source_ = Choices(body, "plotSource", SpectraPlotForm::SourceLabels(),
                      "Which spectra: the current study's enabled spectra, the spectra opened "
                      "from files, or those chosen in the study browser.");
    selection_ = Choices(body, "plotSelection", SpectraPlotForm::SelectionLabels(),
                         "Which species of the study: all, those with enough spectra for the "
                         "library, or those checked in the list.");
    details_ = Choices(body, "plotDetails", SpectraPlotForm::DetailsLabels(),
                       "Every spectrum as its own curve, or the mean of each site or species "
                       "with a shaded band of one standard deviation.");
    auto* reset = new QPushButton(QStringLiteral("Reset &Zoom"), body);
    reset->setToolTip(QStringLiteral("Show all data again (the wheel zooms, dragging pans)."));
    png_ = new QPushButton(QStringLiteral("Save P&NG..."), body);
    svg_ = new QPushButton(QStringLiteral("Save SV&G..."), body);
    png_->setObjectName(QStringLiteral("savePng"));
    svg_->setObjectName(QStringLiteral("saveSvg"));

    species_ = new QListWidget(body);
    species_->setObjectName(QStringLiteral("plotSpecies"));
    species_->setToolTip(QStringLiteral("The species shown with \"Checked species\"."));
    species_->setMinimumHeight(40);

    canvas_ = new QCustomPlot(body);
    canvas_->setObjectName(QStringLiteral("plotCanvas"));
    // Small enough that the dock and the form share a laptop screen; the plot grows with it.
    canvas_->setMinimumSize(320, 200);
    canvas_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    canvas_->plotLayout()->insertRow(0);
    canvas_->plotLayout()->addElement(
        0, 0, new QCPTextElement(canvas_, QString(), QFont(font().family(), 11)));
    // Shown once there are curves: the first plot is drawn after the window appears.
    canvas_->legend->setVisible(false);
    canvas_->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);

    // The choices, the species and the buttons form a column beside the plot: the dock needs
    // little height, and the plot keeps the width spectra want.
    auto* side = new QWidget(body);
    side->setObjectName(QStringLiteral("plotChoices"));
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w : {static_cast<QWidget*>(stage_), static_cast<QWidget*>(source_),
                       static_cast<QWidget*>(selection_), static_cast<QWidget*>(details_)})
        column->addWidget(w);
    column->addWidget(species_, 1);
    column->addWidget(reset);
    auto* save = new QHBoxLayout;
    save->addWidget(png_);
    save->addWidget(svg_);
    column->addLayout(save);
    auto* split = new QSplitter(body);
    split->addWidget(side);
    split->addWidget(canvas_);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);
    auto* layout = new QVBoxLayout(body);
    layout->addWidget(split, 1);
    setWidget(body);

    connect(stage_, &QComboBox::activated, this, [this](int i) {
        form_.stage_index = i;
        Replot();
    });
    connect(source_, &QComboBox::activated, this, [this](int i) {
        form_.source = i;
        Replot();
    });
    connect(selection_, &QComboBox::activated, this, [this](int i) {
        form_.selection = i;
        Replot();
    });
    connect(details_, &QComboBox::activated, this, [this](int i) {
        form_.details = i;
        Replot();
    });
    connect(species_, &QListWidget::itemChanged, this, [this] {
        form_.folders.clear();
        for (int i = 0; i < species_->count(); ++i)
            if (species_->item(i)->checkState() == Qt::Checked)
                form_.folders.push_back(species_->item(i)->text().toStdString());
        if (form_.selection == SpectraPlotRequest::kFolders) Replot();
    });
    connect(reset, &QPushButton::clicked, this, &SpectraPlotWindow::ResetZoom);
    connect(png_, &QPushButton::clicked, this, [this] { AskAndSave(false); });
    connect(svg_, &QPushButton::clicked, this, [this] { AskAndSave(true); });
    Mirror();
}

SpectraPlotWindow::~SpectraPlotWindow() = default;

void SpectraPlotWindow::ShowStageLabels() {
    const std::vector<std::string> labels = form_.CurrentStageLabels();
    for (int i = 0; i < stage_->count() && i < static_cast<int>(labels.size()); ++i)
        stage_->setItemText(i, QString::fromStdString(labels[static_cast<size_t>(i)]));
}

void SpectraPlotWindow::Mirror() {
    ShowStageLabels();
    const QSignalBlocker b1(stage_), b2(source_), b3(selection_), b4(details_);
    stage_->setCurrentIndex(form_.stage_index);
    source_->setCurrentIndex(form_.source);
    selection_->setCurrentIndex(form_.selection);
    details_->setCurrentIndex(form_.details);
    selection_->setEnabled(form_.StudyChoicesEnabled());
    details_->setEnabled(form_.StudyChoicesEnabled());
    species_->setEnabled(form_.StudyChoicesEnabled() &&
                         form_.selection == SpectraPlotRequest::kFolders);
    // Saving waits for a plot; the buttons say what is missing rather than a box after a click.
    const QString nothing = QString::fromStdString(form_.NothingToPlot());
    for (QPushButton* save : {png_, svg_}) {
        save->setEnabled(!computing_ && nothing.isEmpty());
        save->setToolTip(nothing.isEmpty() ? QStringLiteral("Save the plot as shown.") : nothing);
    }
}

void SpectraPlotWindow::SaveChoices(QSettings& settings) const {
    settings.setValue(QStringLiteral("plot/stageWord"), QString::fromStdString(form_.StageWord()));
    settings.remove(QStringLiteral("plot/stage"));
    settings.setValue(QStringLiteral("plot/source"), form_.source);
    settings.setValue(QStringLiteral("plot/selection"), form_.selection);
    settings.setValue(QStringLiteral("plot/details"), form_.details);
    QStringList folders;
    for (const std::string& f : form_.folders) folders << QString::fromStdString(f);
    settings.setValue(QStringLiteral("plot/folders"), folders);
}

void SpectraPlotWindow::RestoreChoices(const QSettings& settings) {
    if (!settings.contains(QStringLiteral("plot/stage")) &&
        !settings.contains(QStringLiteral("plot/stageWord")))
        return;
    // A value out of range (an edited or older settings file) keeps the default.
    auto read = [&](const char* key, int count, int fallback) {
        const int v = settings.value(QString::fromLatin1(key)).toInt();
        return v >= 0 && v < count ? v : fallback;
    };
    form_.RestoreStage(settings.value(QStringLiteral("plot/stageWord")).toString().toStdString(),
                       settings.value(QStringLiteral("plot/stage"), -1).toInt());
    form_.source = read("plot/source", SpectraPlotForm::kChosen, SpectraPlotForm::kStudy);
    form_.selection = read("plot/selection", selection_->count(), form_.selection);
    form_.details = read("plot/details", details_->count(), form_.details);
    form_.folders.clear();
    for (const QString& f : settings.value(QStringLiteral("plot/folders")).toStringList())
        form_.folders.push_back(f.toStdString());
    RefreshSpecies();
    Mirror();
    if (doc_.Session().StudyId() != 0) Replot();
}

void SpectraPlotWindow::RefreshSpecies() {
    ++species_waiting_;
    auto study = std::make_shared<std::vector<std::string>>();
    const SpectraPlotForm& form = form_;
    const auto shown = [this, study] {
        const QSignalBlocker block(species_);
        species_->clear();
        for (const std::string& folder : form_.FollowStudy(std::move(*study))) {
            auto* item = new QListWidgetItem(QString::fromStdString(folder), species_);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            bool checked = false;
            for (const std::string& f : form_.folders) checked = checked || f == folder;
            item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
        }
    };
    // A plot asked while the list was read is computed with the checked species that remain.
    const auto after = [this] {
        if (--species_waiting_ > 0 || !replot_waits_) return;
        replot_waits_ = false;
        Replot();
    };
    // Only the session is read there; the choices stay the UI thread's.
    if (!PostThen(post_, [&form, study] { *study = form.SpeciesFolders(); }, shown, after))
        after();
}

bool SpectraPlotWindow::Replot() {
    // The checked species follow the study first.
    if (species_waiting_ > 0) {
        replot_waits_ = true;
        return true;
    }
    // The choices are read against the session, which queued work may be changing.
    if (settle_) settle_();
    Mirror();
    const std::string nothing = form_.NothingToPlot();
    if (!nothing.empty() && !computing_) {
        // Nothing to compute is no error: the plot says what to do instead of a message box.
        plot_ = SpectraPlot();
        plot_.title = nothing;
        Draw();
        return true;
    }
    if (computing_) {
        // The running computation stops at its next species; Finish then starts this one.
        superseded_->store(true);
        cancel_job_();
        return true;
    }
    // The worker computes from a copy of the choices, which the user may go on changing.
    auto request = std::make_shared<SpectraPlotForm>(form_);
    auto result = std::make_shared<SpectraPlot>();
    auto failure = std::make_shared<std::exception_ptr>();
    auto superseded = std::make_shared<std::atomic<bool>>(false);
    Frontend& frontend = frontend_;
    const bool started = jobs_(
        [request, result, failure, superseded, &frontend] {
            // Nothing escapes, so that the end is always handed to Finish.
            try {
                *result = request->Compute(frontend);
            } catch (...) {
                *failure = std::current_exception();
            }
        },
        [this, result, failure, superseded] { Finish(*result, *failure, superseded->load()); });
    if (!started) return false;
    computing_ = true;
    superseded_ = superseded;
    // The choices stay open so that a newer request can replace this one; saving waits, as
    // its file name comes from the database the computation is using.
    widget()->setEnabled(true);
    png_->setEnabled(false);
    svg_->setEnabled(false);
    return true;
}

void SpectraPlotWindow::Finish(SpectraPlot& result, std::exception_ptr failure, bool superseded) {
    computing_ = false;
    Mirror();
    if (superseded) {
        // After the job has fully ended, so that the next one can start.
        queued_ = true;
        QTimer::singleShot(0, this, [this] {
            queued_ = false;
            Replot();
        });
        return;
    }
    plot_ = failure ? SpectraPlot() : std::move(result);
    Draw();
    if (failure) std::rethrow_exception(failure);
}

void SpectraPlotWindow::ShowChosen(const std::vector<int>& spectrum_ids) {
    form_.Choose(spectrum_ids);
    Replot();
}

void SpectraPlotWindow::Draw() {
    canvas_->clearPlottables();
    // Hundreds of long curves redraw much faster without antialiasing.
    canvas_->setNotAntialiasedElements(plot_.curves.size() > 60 ? QCP::aePlottables : QCP::aeNone);
    std::vector<bool> in_legend(plot_.groups.size(), false);
    const bool bands = [&] {
        for (const PlotCurve& c : plot_.curves)
            if (!c.lower.empty()) return true;
        return false;
    }();
    auto colour_of = [&](const PlotCurve& c) {
        return QColor(QString::fromStdString(plot_.groups.at(static_cast<size_t>(c.group)).colour));
    };
    // Every band first, so that no species' band veils another species' curve.
    for (const PlotCurve& c : plot_.curves) {
        if (c.lower.empty() || c.lower.size() != c.x.size()) continue;
        const QVector<double> x = Values(c.x);
        QCPGraph* lower = canvas_->addGraph();
        lower->setData(x, Values(c.lower), true);
        lower->setPen(Qt::NoPen);
        lower->removeFromLegend();
        QCPGraph* upper = canvas_->addGraph();
        upper->setData(x, Values(c.upper), true);
        upper->setPen(Qt::NoPen);
        QColor fill = colour_of(c);
        fill.setAlpha(55);
        upper->setBrush(fill);
        upper->setChannelFillGraph(lower);
        upper->removeFromLegend();
    }
    for (const PlotCurve& c : plot_.curves) {
        QCPGraph* graph = canvas_->addGraph();
        graph->setData(Values(c.x), Values(c.y), true);
        graph->setPen(QPen(colour_of(c), bands || plot_.curves.size() < 40 ? 1.6 : 1.0));
        if (plot_.markers) graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 5));
        graph->setName(QString::fromStdString(plot_.groups[static_cast<size_t>(c.group)].name));
        // One legend entry per species, not one per curve.
        if (in_legend[static_cast<size_t>(c.group)]) graph->removeFromLegend();
        in_legend[static_cast<size_t>(c.group)] = true;
    }
    if (auto* title = qobject_cast<QCPTextElement*>(canvas_->plotLayout()->element(0, 0)))
        title->setText(QString::fromStdString(plot_.title));
    canvas_->xAxis->setLabel(QString::fromStdString(plot_.x_label));
    canvas_->yAxis->setLabel(QString::fromStdString(plot_.y_label));
    canvas_->legend->setVisible(!plot_.groups.empty() && plot_.groups.size() <= 30);
    ResetZoom();
}

void SpectraPlotWindow::ResetZoom() {
    double xmin = 350, xmax = 2500, ymin = 0, ymax = 1;
    if (plot_.Bounds(xmin, xmax, ymin, ymax)) {
        if (xmax <= xmin) {
            xmin -= 1;
            xmax += 1;
        }
        const double pad = ymax > ymin ? 0.05 * (ymax - ymin) : 0.5;
        ymin -= pad;
        ymax += pad;
    }
    canvas_->xAxis->setRange(xmin, xmax);
    canvas_->yAxis->setRange(ymin, ymax);
    canvas_->replot();
}

PlotView SpectraPlotWindow::View() const {
    return {canvas_->xAxis->range().lower, canvas_->xAxis->range().upper,
            canvas_->yAxis->range().lower, canvas_->yAxis->range().upper};
}

bool SpectraPlotWindow::SavePng(const std::string& path, const FigureSize& size) {
    const PlotView view = View();
    return run_([&] {
        size.Check();
        std::string error;
        if (!WriteSvgAsPng(SpectraPlotSvg(plot_, size, &view), size, path, error))
            throw OrvaneError(CannotWriteMessage(path, error));
    });
}

bool SpectraPlotWindow::SaveSvg(const std::string& path, const FigureSize& size) {
    const PlotView view = View();
    return run_([&] {
        size.Check();
        WriteSpectraPlotSvg(plot_, path, size, &view);
    });
}

void SpectraPlotWindow::AskAndSave(bool svg) {
    // The proposed name takes the study's, which is read on the database thread; the file is
    // asked for once it is there.
    auto study = std::make_shared<std::string>();
    QPointer<SpectraPlotWindow> self(this);
    const SpectraPlotForm& form = form_;
    post_([&form, study] { *study = form.CurrentStudyName(); },
          [self, study, svg] {
              if (self) self->AskAndSave(svg, *study);
          });
}

void SpectraPlotWindow::AskAndSave(bool svg, const std::string& study) {
    std::string proposed;
    if (!run_([&] { proposed = form_.ProposedPath(svg ? "svg" : "png", study); })) return;
    const std::string path =
        frontend_.ChooseSaveFile(svg ? "Save Plot as SVG" : "Save Plot as PNG", proposed,
                                 svg ? "SVG pictures (*.svg)" : "PNG pictures (*.png)");
    if (path.empty()) return;
    FigureSize size;
    if (!FigureSizeDialog::Ask(this, QStringLiteral("Figure Size"),
                               FigureSize::Pixels(canvas_->width(), canvas_->height()), size))
        return;
    if (svg ? SaveSvg(path, size) : SavePng(path, size))
        doc_.Report("Plot saved to " + path + " (" + size.Text() + ", " + std::to_string(size.dpi) +
                    " dpi)");
}

}  // namespace orvane
