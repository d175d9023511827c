#include "ui/plot_window.h"

#include <QFontMetrics>
#include <QPainter>
#include <QVBoxLayout>

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
    layout->addWidget(surface_);
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
    if (!scene.note.empty())
        painter.drawText(QRect(0, 0, scene.width, scene.height), Qt::AlignCenter,
                         QString::fromStdString(scene.note));
    DrawData(painter, scene);
}

void ScorePlotWindow::DrawData(QPainter& painter, const PlotScene& scene) {
    painter.setPen(Qt::black);
    painter.setBrush(Qt::black);
    const int size = PlotLayout::kMarkerSize;
    for (const PlotPoint& p : scene.points)
        painter.drawEllipse(static_cast<int>(p.x), static_cast<int>(p.y), size, size);
}

}  // namespace orvane
