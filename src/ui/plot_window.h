// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "plot/figure_size.h"
#include "plot/plot_layout.h"
#include "plot/scree_plot.h"
#include "stats/principal_components.h"

class QAction;
class QPainter;
class QPixmap;
class QTabWidget;
class QSpinBox;
class QHBoxLayout;

namespace orvane {

// A small modeless window with a two-dimensional scatter plot: axes with five labelled ticks
// each, laid out by PlotLayout on a white surface with a black outline. It draws only once the
// caller marks its data ready; a plain plot window draws no data.
class PlotWindow : public QDialog {
    Q_OBJECT

  public:
    explicit PlotWindow(QWidget* parent = nullptr);
    ~PlotWindow() override;

    void SetTitle(const std::string& title);
    // Row i of the matrix is a point: column 1 x, column 2 y; further columns are ignored.
    void AddItem(const Matrix& rows);
    void AddItem(std::vector<PlotPoint> points);
    // Replaces everything drawn (items, title, axis titles) by the given layout.
    void SetLayout(PlotLayout layout);
    const PlotLayout& Layout() const { return layout_; }
    // Asks for the drawing; until then the window shows nothing but its background.
    void SetDataReady(bool ready);
    bool DataReady() const { return data_ready_; }

    QWidget* Surface() const { return surface_; }
    // The scene as the surface is painted at its present size and font.
    PlotScene Scene() const;
    // The label font: a sans font 12 pixels high.
    static QFont LabelFont();

  protected:
    // Whether the layout places the points; only windows that draw them ask for them.
    virtual bool WithPoints() const { return false; }
    virtual void DrawData(QPainter& /*painter*/, const PlotScene& /*scene*/) {}

    // The controls under the surface, for windows that add some.
    QHBoxLayout* Controls() const { return controls_; }

  private:
    friend class PlotSurface;
    void Paint(QPainter& painter);

    PlotLayout layout_;
    bool data_ready_ = false;
    QWidget* surface_;
    QHBoxLayout* controls_;
};

class ScreeSurface;

// A plot window that draws every point as a filled circle of five pixels in its item's colour
// whose top-left corner is the point. Given a source of score plots, it offers the two
// components shown. A second tab shows each component's explained variance. The view shown is
// saved as PNG or SVG or copied as a picture, from the buttons or the right-click menu.
class ScorePlotWindow : public PlotWindow {
    Q_OBJECT

  public:
    // The score plot of components x and y; a plot that is not Ready() is refused with its
    // reason.
    using Source = std::function<ScorePlotData(int x, int y)>;
    // Queues work for the database thread and what follows it on this one (a WorkPoster);
    // false when nothing was queued.
    using Poster = std::function<bool(std::function<void()> work, std::function<void()> done)>;

    explicit ScorePlotWindow(QWidget* parent = nullptr);
    // Shows `plot`; with a source and `components` > 2 the component choice is offered. With
    // `post` the source is asked on the database thread, the choice disabled meanwhile.
    void ShowPlot(const ScorePlotData& plot, Source source = {}, int components = 0,
                  Poster post = {});
    // Whether a pair of components asked for is being projected.
    bool Projecting() const { return projecting_; }
    QSpinBox* XComponent() const { return x_; }
    QSpinBox* YComponent() const { return y_; }
    QTabWidget* Views() const { return views_; }
    // The explained-variance view: its surface and what it paints.
    QWidget* ScreeView() const;
    const ScreeLayout& Scree() const { return scree_; }
    ScreeScene ScreeSceneShown() const;
    // The view shown (scores or explained variance) as a picture or an SVG file laid out at
    // `size`, by default the view's size on screen; the PNG is the SVG rasterised, so both
    // have one layout.
    bool SavePng(const std::string& path);
    bool SaveSvg(const std::string& path);
    bool SavePng(const std::string& path, const FigureSize& size);
    bool SaveSvg(const std::string& path, const FigureSize& size);
    // The view shown as an SVG document laid out at `size`.
    std::string Svg(const FigureSize& size) const;
    // The view shown as a picture on the clipboard.
    void CopyImage();
    QAction* CopyAction() const { return copy_; }
    QAction* SavePngAction() const { return save_png_; }
    QAction* SaveSvgAction() const { return save_svg_; }

  protected:
    bool WithPoints() const override { return true; }
    void DrawData(QPainter& painter, const PlotScene& scene) override;

  private:
    void ComponentsChanged();
    // Shows the projection of the chosen pair, or says why there is none.
    void ShowProjection(const ScorePlotData& plot);
    void AskAndSave(bool svg);
    bool ScreeShown() const;
    QPixmap Picture() const;
    FigureSize ViewSize() const;

    Source source_;
    Poster post_;
    bool projecting_ = false;
    QSpinBox* x_;
    QSpinBox* y_;
    QTabWidget* views_;
    ScreeSurface* scree_surface_;
    ScreeLayout scree_;
    QAction* copy_;
    QAction* save_png_;
    QAction* save_svg_;
    int shown_x_ = 1, shown_y_ = 2;
};

}  // namespace orvane
