// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QImage>
#include <string>

#include "imagery/map_rasters.h"

class QGraphicsView;
class QListWidget;

namespace orvane {

// A species map as written: its classes in their colours with a legend of their names, zoomed
// with the wheel or the buttons and panned by dragging; saved as PNG with its legend.
class MapWindow : public QDialog {
    Q_OBJECT

  public:
    explicit MapWindow(QWidget* parent);

    // Reads the class raster (at most 4096 pixels a side are shown). Throws OrvaneError.
    void ShowMap(const std::string& class_path);
    // The map with its legend beside it, as Save writes it.
    QImage Picture() const;
    bool SavePng(const std::string& path) const;

    QGraphicsView* View() const { return view_; }
    QListWidget* Legend() const { return legend_; }
    const QImage& MapImage() const { return image_; }
    void Zoom(double factor);

  private:
    QGraphicsView* view_;
    QListWidget* legend_;
    QImage image_;
    std::string path_;
};

}  // namespace orvane
