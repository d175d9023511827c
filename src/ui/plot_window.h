// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "plot/plot_layout.h"

class QPainter;

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

  private:
    friend class PlotSurface;
    void Paint(QPainter& painter);

    PlotLayout layout_;
    bool data_ready_ = false;
    QWidget* surface_;
};

// A plot window that draws every point as a filled black circle of five pixels whose top-left
// corner is the point.
class ScorePlotWindow : public PlotWindow {
    Q_OBJECT

  public:
    explicit ScorePlotWindow(QWidget* parent = nullptr) : PlotWindow(parent) {}

  protected:
    bool WithPoints() const override { return true; }
    void DrawData(QPainter& painter, const PlotScene& scene) override;
};

}  // namespace orvane
