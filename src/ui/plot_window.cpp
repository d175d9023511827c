// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/plot_window.h"

#include <QFileDialog>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "plot/plot_svg.h"
#include "plot/score_plot.h"

namespace orvane {

// The drawing surface: it paints whatever its window lays out.
class PlotSurface : public QWidget {
  public:
    explicit PlotSurface(PlotWindow* window) : QWidget(window), window_(window) {
        setObjectName(QStringLiteral("plotSurface"));
        setMinimumSize(PlotLayout::kSurfaceWidth, PlotLayout::kSurfaceHeight);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        window_->Paint(painter);
    }

  private:
    PlotWindow* window_;
};

PlotWindow::PlotWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Graph title"));
    setModal(false);
    surface_ = new PlotSurface(this);
    surface_->setFont(LabelFont());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 9, 10, 9);
    layout->addWidget(surface_, 1);
    controls_ = new QHBoxLayout;
    layout->addLayout(controls_);
}

PlotWindow::~PlotWindow() = default;

QFont PlotWindow::LabelFont() {
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(12);
    font.setWeight(QFont::Light);
    return font;
}

void PlotWindow::SetTitle(const std::string& title) {
    layout_.SetTitle(title);
    setWindowTitle(QString::fromStdString(title));
}

void PlotWindow::AddItem(const Matrix& rows) { layout_.AddItem(rows); }

void PlotWindow::AddItem(std::vector<PlotPoint> points) { layout_.AddItem(std::move(points)); }

void PlotWindow::SetLayout(PlotLayout layout) {
    layout_ = std::move(layout);
    setWindowTitle(QString::fromStdString(layout_.Title()));
    surface_->update();
}

void PlotWindow::SetDataReady(bool ready) {
    data_ready_ = ready;
    surface_->update();
}

PlotScene PlotWindow::Scene() const {
    const QFontMetrics metrics(surface_->font());
    return layout_.Layout(surface_->width(), surface_->height(), metrics.height(),
                          metrics.averageCharWidth(), WithPoints());
}

void PlotWindow::Paint(QPainter& painter) {
    if (!data_ready_) return;
    const PlotScene scene = Scene();
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawRect(0, 0, scene.width - 1, scene.height - 1);
    painter.setBrush(Qt::black);
    for (const PixelLine& l : scene.axes) painter.drawLine(l.x1, l.y1, l.x2, l.y2);
    for (const PixelLine& l : scene.ticks) painter.drawLine(l.x1, l.y1, l.x2, l.y2);
    painter.setFont(surface_->font());
    const int ascent = QFontMetrics(surface_->font()).ascent();
    for (const PixelText& t : scene.labels)
        painter.drawText(t.left, t.top + ascent, QString::fromStdString(t.text));
    for (const PixelText* t : {&scene.x_title, &scene.y_title})
        if (!t->text.empty())
            painter.drawText(t->left, t->top + ascent, QString::fromStdString(t->text));
    for (const PlotScene::LegendEntry& e : scene.legend) {
        const int size = PlotLayout::kMarkerSize;
        painter.setPen(QColor(QString::fromStdString(e.colour)));
        painter.setBrush(QColor(QString::fromStdString(e.colour)));
        painter.drawEllipse(e.left, e.top + (QFontMetrics(surface_->font()).height() - size) / 2,
                            size, size);
        painter.setPen(Qt::black);
        painter.drawText(e.left + size + 4, e.top + ascent, QString::fromStdString(e.text));
    }
    if (!scene.note.empty())
        painter.drawText(QRect(0, 0, scene.width, scene.height), Qt::AlignCenter,
                         QString::fromStdString(scene.note));
    DrawData(painter, scene);
}

ScorePlotWindow::ScorePlotWindow(QWidget* parent) : PlotWindow(parent) {
    auto spin = [this](const char* name, int value) {
        auto* box = new QSpinBox(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(1, 2);
        box->setValue(value);
        box->setEnabled(false);
        connect(box, &QSpinBox::valueChanged, this, [this] { ComponentsChanged(); });
        return box;
    };
    x_ = spin("xComponent", 1);
    y_ = spin("yComponent", 2);
    auto* x_label = new QLabel(QStringLiteral("&x axis: PC"), this);
    x_label->setBuddy(x_);
    auto* y_label = new QLabel(QStringLiteral("&y axis: PC"), this);
    y_label->setBuddy(y_);
    auto* png = new QPushButton(QStringLiteral("Save &PNG..."), this);
    png->setObjectName(QStringLiteral("savePng"));
    auto* svg = new QPushButton(QStringLiteral("Save S&VG..."), this);
    svg->setObjectName(QStringLiteral("saveSvg"));
    // Return in the spin boxes must not press a save button.
    for (QPushButton* b : {png, svg}) b->setAutoDefault(false);
    connect(png, &QPushButton::clicked, this, [this] { AskAndSave(false); });
    connect(svg, &QPushButton::clicked, this, [this] { AskAndSave(true); });
    for (QWidget* w : std::initializer_list<QWidget*>{x_label, x_, y_label, y_})
        Controls()->addWidget(w);
    Controls()->addStretch(1);
    Controls()->addWidget(png);
    Controls()->addWidget(svg);
}

void ScorePlotWindow::ShowPlot(const ScorePlotData& plot, Source source, int components,
                               Runner run) {
    source_ = std::move(source);
    run_ = std::move(run);
    shown_x_ = plot.first;
    shown_y_ = plot.second;
    const bool choice = source_ && components > 2;
    for (QSpinBox* box : {x_, y_}) {
        const QSignalBlocker quiet(box);
        box->setRange(1, std::max(2, components));
        box->setEnabled(choice);
    }
    {
        const QSignalBlocker quiet_x(x_), quiet_y(y_);
        x_->setValue(plot.first);
        y_->setValue(plot.second);
    }
    SetLayout(ScorePlotLayout(plot));
    SetDataReady(true);
}

void ScorePlotWindow::ComponentsChanged() {
    if (!source_ || x_->value() == y_->value()) return;
    ScorePlotData plot;
    const auto project = [&] { plot = source_(x_->value(), y_->value()); };
    if (run_) {
        if (!run_(project)) return;
    } else {
        project();
    }
    if (!plot.Ready()) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(plot.reason));
        return;
    }
    shown_x_ = plot.first;
    shown_y_ = plot.second;
    SetLayout(ScorePlotLayout(plot));
}

bool ScorePlotWindow::SavePng(const std::string& path) {
    return Surface()->grab().save(QString::fromStdString(path), "PNG");
}

bool ScorePlotWindow::SaveSvg(const std::string& path) {
    return WritePlotSvg(Layout(), true, path);
}

void ScorePlotWindow::AskAndSave(bool svg) {
    const QString path = QFileDialog::getSaveFileName(
        this, svg ? QStringLiteral("Save Score Plot as SVG") : QStringLiteral("Save Score Plot as PNG"),
        svg ? QStringLiteral("pca_score_plot.svg") : QStringLiteral("pca_score_plot.png"),
        svg ? QStringLiteral("SVG pictures (*.svg)") : QStringLiteral("PNG pictures (*.png)"));
    if (path.isEmpty()) return;
    const bool ok = svg ? SaveSvg(path.toStdString()) : SavePng(path.toStdString());
    if (!ok)
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("Could not write %1.").arg(path));
}

void ScorePlotWindow::DrawData(QPainter& painter, const PlotScene& scene) {
    const int size = PlotLayout::kMarkerSize;
    for (size_t i = 0; i < scene.points.size(); ++i) {
        const QColor colour(i < scene.point_colours.size()
                                ? QString::fromStdString(scene.point_colours[i])
                                : QStringLiteral("#000000"));
        painter.setPen(colour);
        painter.setBrush(colour);
        const PlotPoint& p = scene.points[i];
        painter.drawEllipse(static_cast<int>(p.x), static_cast<int>(p.y), size, size);
    }
}

}  // namespace orvane
