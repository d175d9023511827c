// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDockWidget>
#include <atomic>
#include <functional>
#include <memory>

#include "forms/spectra_plot_form.h"
#include "plot/figure_size.h"
#include "plot/spectra_plot.h"
#include "plot/spectra_plot_svg.h"
#include "ui/qt_frontend.h"

class QCheckBox;
class QComboBox;
class QCustomPlot;
class QListWidget;
class QPushButton;
class QSettings;

namespace orvane {

class WorkbenchDocument;

// The dockable spectra plot: the choices of SpectraPlotForm above a QCustomPlot that draws
// the core's curves (gaps where the chain has no value, shaded mean +/- 1 sd bands), with
// zoom and pan by mouse, and pictures saved as PNG or SVG. The curves are computed on the
// worker thread and drawn on the UI thread when they are ready.
class SpectraPlotWindow : public QDockWidget {
    Q_OBJECT

  public:
    // `jobs` computes on the worker thread, `post` reads the species and the study's name
    // there; `cancel_job` asks the running job to stop. `settle` returns once the window's
    // queued work is done: the plot reads the session.
    SpectraPlotWindow(WorkbenchDocument& doc, QtFrontend& frontend, ActionRunner run,
                      JobRunner jobs, WorkPoster post, std::function<void()> cancel_job,
                      std::function<void()> settle, QWidget* parent = nullptr);
    ~SpectraPlotWindow() override;

    SpectraPlotForm& Form() { return form_; }
    const SpectraPlot& Plot() const { return plot_; }
    QCustomPlot* Canvas() const { return canvas_; }
    QComboBox* StageList() const { return stage_; }
    QComboBox* SourceList() const { return source_; }
    QComboBox* SelectionList() const { return selection_; }
    QComboBox* DetailsList() const { return details_; }
    QListWidget* SpeciesList() const { return species_; }

    // Starts computing the plot for the current choices; it is drawn when done, and a failure
    // is shown as every command's is. A request made while a plot computes supersedes it: that
    // computation stops and the newest choices are computed instead. False when nothing could
    // start (another job holds the session).
    bool Replot();
    // True from a request until its plot is drawn (or its failure shown).
    bool Computing() const { return computing_ || queued_ || replot_waits_; }
    // Shows spectra chosen elsewhere (the study browser) and plots them.
    void ShowChosen(const std::vector<int>& spectrum_ids);
    // Reads the current study's species into the list of checkable species, on the worker
    // thread behind the work asked before; a plot asked meanwhile waits for the list.
    void RefreshSpecies();
    // Whether a species list is being read.
    bool ReadingSpecies() const { return species_waiting_ > 0; }
    // Pictures of what is shown, at the current zoom, laid out at `size`: the PNG is the SVG
    // rasterised, so both have one layout. False when nothing was written.
    bool SavePng(const std::string& path, const FigureSize& size = FigureSize());
    bool SaveSvg(const std::string& path, const FigureSize& size = FigureSize());
    void ResetZoom();
    // The choices kept between runs; restoring them draws the plot again when a study is
    // current. Spectra chosen in the browser are not kept, so that source becomes the study.
    void SaveChoices(QSettings& settings) const;
    void RestoreChoices(const QSettings& settings);

    // Marks the stages the current settings skip in the stage list.
    void ShowStageLabels();

  private:
    // On the UI thread when a computation has ended.
    void Finish(SpectraPlot& result, std::exception_ptr failure, bool superseded);
    void Draw();
    void Mirror();
    // Reads the study's name for the proposed file name on the database thread, then asks.
    void AskAndSave(bool svg);
    void AskAndSave(bool svg, const std::string& study);
    // The view's ranges as the canvas shows them.
    PlotView View() const;

    WorkbenchDocument& doc_;
    QtFrontend& frontend_;
    ActionRunner run_;
    JobRunner jobs_;
    WorkPoster post_;
    std::function<void()> cancel_job_;
    std::function<void()> settle_;
    SpectraPlotForm form_;
    SpectraPlot plot_;
    QComboBox* stage_;
    QComboBox* source_;
    QComboBox* selection_;
    QComboBox* details_;
    QListWidget* species_;
    QCustomPlot* canvas_;
    QPushButton* png_;
    QPushButton* svg_;
    bool computing_ = false;
    bool queued_ = false;
    // Species lists being read, and a plot asked meanwhile, which follows the last of them.
    int species_waiting_ = 0;
    bool replot_waits_ = false;
    // Set when a newer request supersedes the running computation, which reads it.
    std::shared_ptr<std::atomic<bool>> superseded_;
};

}  // namespace orvane
