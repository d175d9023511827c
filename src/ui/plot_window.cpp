// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/plot_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <memory>

#include "base/orvane_error.h"
#include "plot/plot_svg.h"
#include "plot/score_plot.h"
#include "ui/figure_size_dialog.h"

namespace orvane {

namespace {
// A label at its anchor: its start, middle or end at `left`, its top at `top`.
void DrawLabel(QPainter& painter, const PixelText& t) {
    const QFontMetrics metrics(painter.font());
    const QString text = QString::fromStdString(t.text);
    const int width = metrics.horizontalAdvance(text);
    const int shift = t.anchor == PixelText::kMiddle ? width / 2
                      : t.anchor == PixelText::kEnd  ? width
                                                     : 0;
    painter.drawText(t.left - shift, t.top + metrics.ascent(), text);
}
}  // namespace

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
    for (const PixelText& t : scene.labels) DrawLabel(painter, t);
    for (const PixelText* t : {&scene.x_title, &scene.y_title})
        if (!t->text.empty()) DrawLabel(painter, *t);
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

// The explained-variance view: bars of each component's share and the cumulative line.
class ScreeSurface : public QWidget {
  public:
    explicit ScreeSurface(ScorePlotWindow* window) : QWidget(window), window_(window) {
        setObjectName(QStringLiteral("screeSurface"));
        setMinimumSize(PlotLayout::kSurfaceWidth, PlotLayout::kSurfaceHeight);
        setFont(PlotWindow::LabelFont());
    }

    ScreeScene Scene() const {
        const QFontMetrics metrics(font());
        return window_->Scree().Layout(width(), height(), metrics.height(),
                                       metrics.averageCharWidth());
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const ScreeScene scene = Scene();
        const QFontMetrics metrics(font());
        painter.setPen(Qt::black);
        painter.setBrush(Qt::white);
        painter.drawRect(0, 0, scene.width - 1, scene.height - 1);
        const QColor bar_colour(QString::fromLatin1(ScreeLayout::kBarColour));
        const QColor line_colour(QString::fromLatin1(ScreeLayout::kLineColour));
        painter.setPen(Qt::NoPen);
        painter.setBrush(bar_colour);
        for (const ScreeScene::Bar& b : scene.bars) painter.drawRect(b.left, b.top, b.width, b.height);
        painter.setPen(Qt::black);
        for (const auto* lines : {&scene.axes, &scene.ticks})
            for (const PixelLine& l : *lines) painter.drawLine(l.x1, l.y1, l.x2, l.y2);
        if (!scene.cumulative.empty()) {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(QPen(line_colour, 2));
            QPolygonF line;
            for (const PlotPoint& p : scene.cumulative) line << QPointF(p.x, p.y);
            painter.drawPolyline(line);
            painter.setBrush(line_colour);
            for (const PlotPoint& p : scene.cumulative) painter.drawEllipse(QPointF(p.x, p.y), 2.5, 2.5);
            painter.setRenderHint(QPainter::Antialiasing, false);
        }
        painter.setPen(Qt::black);
        painter.setFont(font());
        const int ascent = metrics.ascent();
        for (const PixelText& t : scene.labels) DrawLabel(painter, t);
        for (size_t i = 0; i < scene.bar_values.size(); ++i) {
            painter.setPen(QColor(QString::fromStdString(scene.bar_value_colours[i])));
            DrawLabel(painter, scene.bar_values[i]);
        }
        painter.setPen(Qt::black);
        for (const PixelText* t : {&scene.x_title, &scene.y_title})
            if (!t->text.empty()) DrawLabel(painter, *t);
        const int size = PlotLayout::kMarkerSize;
        for (const PlotScene::LegendEntry& e : scene.legend) {
            const QColor colour(QString::fromStdString(e.colour));
            painter.fillRect(e.left, e.top + (metrics.height() - size) / 2, size, size, colour);
            painter.drawText(e.left + size + 4, e.top + ascent, QString::fromStdString(e.text));
        }
        if (!scene.note.empty())
            painter.drawText(QRect(0, 0, scene.width, scene.height), Qt::AlignCenter,
                             QString::fromStdString(scene.note));
    }

  private:
    ScorePlotWindow* window_;
};

ScorePlotWindow::ScorePlotWindow(QWidget* parent) : PlotWindow(parent) {
    // The scores and the explained variance are two views of one analysis, one at a time.
    views_ = new QTabWidget(this);
    views_->setObjectName(QStringLiteral("plotViews"));
    delete layout()->replaceWidget(Surface(), views_);
    views_->addTab(Surface(), QStringLiteral("S&cores"));
    scree_surface_ = new ScreeSurface(this);
    views_->addTab(scree_surface_, QStringLiteral("&Explained Variance"));

    copy_ = new QAction(QStringLiteral("&Copy"), this);
    copy_->setObjectName(QStringLiteral("copyPlot"));
    copy_->setShortcut(QKeySequence::Copy);
    copy_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    save_png_ = new QAction(QStringLiteral("Save as &PNG…"), this);
    save_png_->setObjectName(QStringLiteral("savePngAction"));
    save_svg_ = new QAction(QStringLiteral("Save as S&VG…"), this);
    save_svg_->setObjectName(QStringLiteral("saveSvgAction"));
    connect(copy_, &QAction::triggered, this, [this] { CopyImage(); });
    connect(save_png_, &QAction::triggered, this, [this] { AskAndSave(false); });
    connect(save_svg_, &QAction::triggered, this, [this] { AskAndSave(true); });
    // Ctrl+C works anywhere in the window; the right-click menu on either view offers all three.
    addAction(copy_);
    for (QWidget* view : {Surface(), static_cast<QWidget*>(scree_surface_)}) {
        view->setContextMenuPolicy(Qt::ActionsContextMenu);
        // A click on a view takes the focus from an edit, so that Ctrl+C copies the picture.
        view->setFocusPolicy(Qt::ClickFocus);
        view->addActions({copy_, save_png_, save_svg_});
    }

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
                               Poster post) {
    source_ = std::move(source);
    post_ = std::move(post);
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
    scree_ = ScreeLayoutOf(plot);
    scree_surface_->update();
    SetDataReady(true);
}

QWidget* ScorePlotWindow::ScreeView() const { return scree_surface_; }

ScreeScene ScorePlotWindow::ScreeSceneShown() const { return scree_surface_->Scene(); }

bool ScorePlotWindow::ScreeShown() const { return views_->currentWidget() == scree_surface_; }

QPixmap ScorePlotWindow::Picture() const {
    return ScreeShown() ? scree_surface_->grab() : Surface()->grab();
}

void ScorePlotWindow::CopyImage() { QApplication::clipboard()->setPixmap(Picture()); }

void ScorePlotWindow::ComponentsChanged() {
    if (!source_ || x_->value() == y_->value()) return;
    const int x = x_->value(), y = y_->value();
    if (!post_) {
        ShowProjection(source_(x, y));
        return;
    }
    // The scores are read from the database: the pair stays as chosen, and cannot be changed
    // again, until they are shown.
    auto plot = std::make_shared<ScorePlotData>();
    QPointer<ScorePlotWindow> self(this);
    const auto end = [self] {
        if (!self) return;
        self->projecting_ = false;
        self->x_->setEnabled(true);
        self->y_->setEnabled(true);
    };
    projecting_ = true;
    x_->setEnabled(false);
    y_->setEnabled(false);
    const Source source = source_;
    if (!post_([source, plot, x, y] { *plot = source(x, y); },
               [self, plot] {
                   if (self) self->ShowProjection(*plot);
               })) {
        end();
        return;
    }
    post_({}, end);
}

void ScorePlotWindow::ShowProjection(const ScorePlotData& plot) {
    if (!plot.Ready()) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(plot.reason));
        return;
    }
    shown_x_ = plot.first;
    shown_y_ = plot.second;
    SetLayout(ScorePlotLayout(plot));
}

FigureSize ScorePlotWindow::ViewSize() const {
    const QWidget* view = ScreeShown() ? static_cast<QWidget*>(scree_surface_) : Surface();
    return FigureSize::Pixels(view->width(), view->height());
}

std::string ScorePlotWindow::Svg(const FigureSize& size) const {
    return ScreeShown() ? ScreeSvg(scree_, size) : PlotSvg(Layout(), true, size);
}

bool ScorePlotWindow::SavePng(const std::string& path) { return SavePng(path, ViewSize()); }

bool ScorePlotWindow::SaveSvg(const std::string& path) { return SaveSvg(path, ViewSize()); }

bool ScorePlotWindow::SavePng(const std::string& path, const FigureSize& size) {
    std::string error;
    try {
        size.Check();
    } catch (const OrvaneError&) {
        return false;
    }
    return WriteSvgAsPng(Svg(size), size, path, error);
}

bool ScorePlotWindow::SaveSvg(const std::string& path, const FigureSize& size) {
    try {
        size.Check();
    } catch (const OrvaneError&) {
        return false;
    }
    return ScreeShown() ? WriteScreeSvg(scree_, path, size)
                        : WritePlotSvg(Layout(), true, path, size);
}

void ScorePlotWindow::AskAndSave(bool svg) {
    const QString what =
        ScreeShown() ? QStringLiteral("Explained Variance") : QStringLiteral("Score Plot");
    const QString name =
        ScreeShown() ? QStringLiteral("pca_scree_plot") : QStringLiteral("pca_score_plot");
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save %1 as %2").arg(what, svg ? "SVG" : "PNG"),
        name + (svg ? QStringLiteral(".svg") : QStringLiteral(".png")),
        svg ? QStringLiteral("SVG pictures (*.svg)") : QStringLiteral("PNG pictures (*.png)"));
    if (path.isEmpty()) return;
    FigureSize size;
    if (!FigureSizeDialog::Ask(this, QStringLiteral("Figure Size"), ViewSize(), size)) return;
    const bool ok = svg ? SaveSvg(path.toStdString(), size) : SavePng(path.toStdString(), size);
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
