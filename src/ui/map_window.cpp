// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/map_window.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace orvane {

namespace {

constexpr int kLargestShownSide = 4096;

// Wheel zooms about the pointer; dragging pans.
class ZoomingView : public QGraphicsView {
  public:
    using QGraphicsView::QGraphicsView;

  protected:
    void wheelEvent(QWheelEvent* event) override {
        const double factor = event->angleDelta().y() > 0 ? 1.25 : 0.8;
        setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
        scale(factor, factor);
    }
};

QColor ColourOf(const std::array<uint8_t, 4>& c) { return QColor(c[0], c[1], c[2], c[3]); }

}  // namespace

MapWindow::MapWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Species Map"));
    view_ = new ZoomingView(new QGraphicsScene(this), this);
    view_->setDragMode(QGraphicsView::ScrollHandDrag);
    view_->setBackgroundBrush(QColor(0xf0, 0xf0, 0xf0));
    legend_ = new QListWidget(this);
    legend_->setMaximumWidth(260);
    auto* zoom_in = new QPushButton(QStringLiteral("Zoom &In"), this);
    auto* zoom_out = new QPushButton(QStringLiteral("Zoom &Out"), this);
    auto* fit = new QPushButton(QStringLiteral("&Fit"), this);
    auto* save = new QPushButton(QStringLiteral("&Save PNG..."), this);
    connect(zoom_in, &QPushButton::clicked, this, [this] { Zoom(1.5); });
    connect(zoom_out, &QPushButton::clicked, this, [this] { Zoom(1 / 1.5); });
    connect(fit, &QPushButton::clicked, this, [this] {
        view_->fitInView(view_->scene()->sceneRect(), Qt::KeepAspectRatio);
    });
    connect(save, &QPushButton::clicked, this, [this] {
        const QFileInfo info(QString::fromStdString(path_));
        const QString proposed = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
                                 QStringLiteral(".png");
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Map"), proposed,
                                                          QStringLiteral("PNG images (*.png)"));
        if (!path.isEmpty()) SavePng(path.toStdString());
    });
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {zoom_in, zoom_out, fit}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(save);
    auto* body = new QHBoxLayout;
    body->addWidget(view_, 1);
    body->addWidget(legend_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    resize(900, 640);
}

void MapWindow::ShowMap(const std::string& class_path) {
    const ClassRasterPicture p = ReadClassRaster(class_path, kLargestShownSide);
    path_ = class_path;
    image_ = QImage(p.shown_width, p.shown_height, QImage::Format_ARGB32);
    const std::array<uint8_t, 4> none = {0, 0, 0, 0};
    for (int y = 0; y < p.shown_height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
        for (int x = 0; x < p.shown_width; ++x) {
            const uint16_t v = p.values[static_cast<size_t>(y) * p.shown_width + x];
            const auto& c = v < p.colours.size() ? p.colours[v] : none;
            line[x] = qRgba(c[0], c[1], c[2], c[3]);
        }
    }
    QGraphicsScene* scene = view_->scene();
    scene->clear();
    auto* item = scene->addPixmap(QPixmap::fromImage(image_));
    // Pixels stay sharp squares however far one zooms in.
    item->setTransformationMode(Qt::FastTransformation);
    scene->setSceneRect(item->boundingRect());
    legend_->clear();
    for (size_t v = 1; v < p.names.size(); ++v) {
        QPixmap swatch(14, 14);
        swatch.fill(v < p.colours.size() ? ColourOf(p.colours[v]) : Qt::black);
        legend_->addItem(new QListWidgetItem(QIcon(swatch), QString::fromStdString(p.names[v])));
    }
    legend_->addItem(QStringLiteral("Unclassified or no data: transparent"));
    setWindowTitle(QStringLiteral("Species Map - ") + QFileInfo(QString::fromStdString(class_path)).fileName());
    view_->resetTransform();
    const double fit = std::min(800.0 / std::max(1, p.shown_width), 560.0 / std::max(1, p.shown_height));
    if (fit > 1) view_->scale(std::floor(fit), std::floor(fit));
}

void MapWindow::Zoom(double factor) {
    view_->setTransformationAnchor(QGraphicsView::AnchorViewCenter);
    view_->scale(factor, factor);
}

QImage MapWindow::Picture() const {
    // Small maps are enlarged so that a pixel stays visible in the file.
    const int enlarge = std::max(1, 512 / std::max(1, std::max(image_.width(), image_.height())));
    const QImage map = image_.scaled(image_.size() * enlarge, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const int row = 20;
    QFont font;
    const QFontMetrics metrics(font);
    int widest = 0;
    for (int i = 0; i < legend_->count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(legend_->item(i)->text()));
    const int legend_width = 30 + widest + 10;
    const int height = std::max(map.height(), row * (legend_->count() + 1));
    QImage picture(map.width() + legend_width, height, QImage::Format_ARGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setFont(font);
    painter.drawImage(0, 0, map);
    for (int i = 0; i < legend_->count(); ++i) {
        const QListWidgetItem* item = legend_->item(i);
        const int y = row / 2 + i * row;
        if (!item->icon().isNull()) painter.drawPixmap(map.width() + 10, y, item->icon().pixmap(14, 14));
        painter.drawText(map.width() + 30, y + 12, item->text());
    }
    return picture;
}

bool MapWindow::SavePng(const std::string& path) const {
    return Picture().save(QString::fromStdString(path), "PNG");
}

}  // namespace orvane
