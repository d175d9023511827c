// SPDX-License-Identifier: GPL-3.0-or-later
// Saved figures: the PNG is the SVG as the window rasterises it, and the SVG draws the same
// with librsvg and with ImageMagick's own renderer, which ignores clip paths.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <cmath>
#include <fstream>

#include "plot/figure_size.h"
#include "plot/plot_svg.h"
#include "plot/score_plot.h"
#include "plot/spectra_plot_svg.h"
#include "ui/figure_size_dialog.h"

namespace orvane {

namespace {

// Three species of wavy curves from 400 to 2400 nm, one with a band, reaching past a view of
// 800 to 1800 nm and 0.2 to 0.8 on every side.
SpectraPlot Waves() {
    SpectraPlot plot;
    plot.title = "Waves";
    for (int g = 0; g < 3; ++g) {
        plot.Group(std::string(1, static_cast<char>('A' + g)), g);
        PlotCurve c;
        c.group = g;
        for (int nm = 400; nm <= 2400; nm += 10) {
            c.x.push_back(nm);
            c.y.push_back(0.5 + (0.45 - 0.1 * g) * std::sin(nm / (150.0 + 40 * g)));
            if (g == 1) {
                c.lower.push_back(c.y.back() - 0.05);
                c.upper.push_back(c.y.back() + 0.05);
            }
        }
        plot.curves.push_back(c);
    }
    return plot;
}

ScorePlotData Scores() {
    ScorePlotData plot;
    plot.title = "Scores";
    plot.x_title = "PC1 (60.0 %)";
    plot.y_title = "PC2 (30.0 %)";
    plot.points.ReSize(30, 2);
    for (int r = 1; r <= 30; ++r) {
        plot.points(r, 1) = -0.0327 + 0.19 * std::fmod(r * 0.618, 1.0);
        plot.points(r, 2) = 0.02 * r * ((r % 3) - 1);
        plot.species.push_back(r % 3 == 0 ? "ka" : r % 3 == 1 ? "ri" : "to");
    }
    return plot;
}

// A pixel of the colour `b`, or of a shade of it by smoothing; greys of smoothed black lines
// are not, however near their channels come.
bool Near(QRgb a, QRgb b) {
    const auto chroma = [](QRgb c) {
        return std::max({qRed(c), qGreen(c), qBlue(c)}) - std::min({qRed(c), qGreen(c), qBlue(c)});
    };
    return std::abs(qRed(a) - qRed(b)) < 60 && std::abs(qGreen(a) - qGreen(b)) < 60 &&
           std::abs(qBlue(a) - qBlue(b)) < 60 && chroma(a) * 10 >= chroma(b) * 6;
}

// The pixels of one colour, and how many of them have a pixel of that colour in `other`
// within two pixels: the share of a picture's curves the other draws too.
struct Match {
    int own = 0;
    int found = 0;
    double Share() const { return own ? static_cast<double>(found) / own : 0.0; }
};
Match Compare(const QImage& a, const QImage& b, QRgb colour) {
    Match m;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            if (!Near(a.pixel(x, y), colour)) continue;
            ++m.own;
            bool hit = false;
            for (int dy = -2; dy <= 2 && !hit; ++dy)
                for (int dx = -2; dx <= 2 && !hit; ++dx) {
                    const int u = x + dx, v = y + dy;
                    hit = u >= 0 && v >= 0 && u < b.width() && v < b.height() &&
                          Near(b.pixel(u, v), colour);
                }
            if (hit) ++m.found;
        }
    return m;
}

// Pixels of the colour in a region (left, top) to (right, bottom), ends excluded.
int CountIn(const QImage& image, QRgb colour, int left, int top, int right, int bottom) {
    int n = 0;
    for (int y = std::max(0, top); y < std::min(bottom, image.height()); ++y)
        for (int x = std::max(0, left); x < std::min(right, image.width()); ++x)
            if (Near(image.pixel(x, y), colour)) ++n;
    return n;
}

}  // namespace

class FigureTest : public QObject {
    Q_OBJECT

    // The pictures stay among the build's artifacts, for a look when a comparison fails.
    const QString dir_ = QStringLiteral(ORVANE_ARTIFACTS "/figures");

    QString File(const char* name) const {
        return dir_ + QLatin1Char('/') + QString::fromLatin1(name);
    }

    // Renders an SVG file with a program; fails the test, naming the package, when the program
    // is missing, so that a machine without it never passes silently.
    QImage Render(const QString& program, const QStringList& args, const QString& out,
                  const char* package) {
        if (QStandardPaths::findExecutable(program).isEmpty()) {
            QTest::qFail(qPrintable(QStringLiteral("%1 is missing: install the package %2 "
                                                   "(scripts/setup does)")
                                        .arg(program, QString::fromLatin1(package))),
                         __FILE__, __LINE__);
            return {};
        }
        QProcess p;
        p.start(program, args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            QTest::qFail(qPrintable(program + QStringLiteral(" failed: ") +
                                    QString::fromLocal8Bit(p.readAllStandardError())),
                         __FILE__, __LINE__);
            return {};
        }
        return QImage(out).convertToFormat(QImage::Format_RGB32);
    }

    // Whether ImageMagick's own SVG renderer draws a one-rectangle SVG at all: some security
    // updates of Debian's package broke it outright (it loses its own temporary file), and a
    // renderer that draws nothing says nothing about our figures.
    bool MsvgWorks() {
        // Without the program at all, Render fails the test naming the package.
        if (QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty()) return true;
        const QString svg = File("probe.svg");
        std::ofstream(svg.toStdString())
            << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\">"
               "<rect width=\"10\" height=\"10\" fill=\"#ff0000\"/></svg>";
        QProcess p;
        p.start(QStringLiteral("convert"), {QStringLiteral("msvg:") + svg, File("probe.png")});
        const bool works = p.waitForFinished(60000) && p.exitCode() == 0;
        if (!works)
            qWarning("ImageMagick's own SVG renderer fails on a plain rectangle here; only "
                     "librsvg is compared.");
        return works;
    }

    // Writes the SVG and its PNG, renders the SVG with both programs and checks that each
    // draws at least 80 % of every colour the PNG draws, and the PNG of theirs.
    void CompareRenderers(const std::string& svg, const FigureSize& size,
                          const std::vector<std::string>& colours, const char* name) {
        const QString svg_path = File(name) + QStringLiteral(".svg");
        std::ofstream(svg_path.toStdString()) << svg;
        std::string error;
        QVERIFY2(
            WriteSvgAsPng(svg, size, (File(name) + QStringLiteral(".png")).toStdString(), error),
            error.c_str());
        const QImage png =
            QImage(File(name) + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(png.size(), QSize(size.PixelWidth(), size.PixelHeight()));
        const QImage rsvg =
            Render(QStringLiteral("rsvg-convert"),
                   {QStringLiteral("-b"), QStringLiteral("white"), QStringLiteral("-o"),
                    File(name) + QStringLiteral("-rsvg.png"), svg_path},
                   File(name) + QStringLiteral("-rsvg.png"), "librsvg2-bin");
        if (QTest::currentTestFailed()) return;
        std::vector<std::pair<const char*, QImage>> renderings{{"librsvg", rsvg}};
        if (MsvgWorks()) {
            renderings.emplace_back(
                "MSVG", Render(QStringLiteral("convert"),
                               {QStringLiteral("msvg:") + svg_path,
                                File(name) + QStringLiteral("-msvg.png")},
                               File(name) + QStringLiteral("-msvg.png"), "imagemagick"));
            if (QTest::currentTestFailed()) return;
        }
        for (const auto& [label, image] : renderings) {
            QCOMPARE(image.size(), png.size());
            for (const std::string& c : colours) {
                const QRgb colour = QColor(QString::fromStdString(c)).rgb();
                const Match drawn = Compare(png, image, colour);
                const Match extra = Compare(image, png, colour);
                QVERIFY2(drawn.own > 50, c.c_str());
                QVERIFY2(drawn.Share() >= 0.8,
                         qPrintable(QStringLiteral("%1 draws %2 % of the PNG's %3 pixels")
                                        .arg(QString::fromLatin1(label))
                                        .arg(100 * drawn.Share(), 0, 'f', 0)
                                        .arg(QString::fromStdString(c))));
                QVERIFY2(extra.Share() >= 0.8,
                         qPrintable(QStringLiteral("%1 draws %3 where the PNG has none (%2 % "
                                                   "match)")
                                        .arg(QString::fromLatin1(label))
                                        .arg(100 * extra.Share(), 0, 'f', 0)
                                        .arg(QString::fromStdString(c))));
            }
        }
    }

  private slots:
    void initTestCase() { QVERIFY(QDir().mkpath(dir_)); }

    // A zoomed view cuts every curve and the band at the plot area: both renderers draw what
    // the PNG shows, and nothing of a curve's colour lies above, left of or below the area.
    void spectraSvgRendersAlikeEverywhere() {
        const SpectraPlot plot = Waves();
        const FigureSize size = FigureSize::Pixels(700, 450);
        const PlotView view{800, 1800, 0.2, 0.8};
        const std::string svg = SpectraPlotSvg(plot, size, &view);
        QVERIFY(svg.find("clip-path") == std::string::npos);
        std::vector<std::string> colours;
        for (const PlotGroup& g : plot.groups) colours.push_back(g.colour);
        CompareRenderers(svg, size, colours, "spectra");
        if (QTest::currentTestFailed()) return;
        for (const char* name : {"spectra.png", "spectra-rsvg.png", "spectra-msvg.png"}) {
            const QImage image = QImage(File(name)).convertToFormat(QImage::Format_RGB32);
            for (const std::string& c : colours) {
                const QRgb colour = QColor(QString::fromStdString(c)).rgb();
                // The plot area runs from (80, 50) to 60 pixels above the bottom.
                const int outside = CountIn(image, colour, 0, 0, 700, 47) +
                                    CountIn(image, colour, 0, 0, 77, 450) +
                                    CountIn(image, colour, 0, 450 - 57, 700, 450);
                QVERIFY2(outside == 0, qPrintable(QStringLiteral("%1: %2 pixels of %3 outside "
                                                                 "the plot area")
                                                      .arg(QString::fromLatin1(name))
                                                      .arg(outside)
                                                      .arg(QString::fromStdString(c))));
            }
        }
    }

    void scorePlotSvgRendersAlikeEverywhere() {
        const PlotLayout layout = ScorePlotLayout(Scores());
        const FigureSize size = FigureSize::Pixels(640, 400);
        std::vector<std::string> colours;
        for (int i = 0; i < layout.ItemCount(); ++i) colours.push_back(layout.ItemColour(i));
        CompareRenderers(PlotSvg(layout, true, size), size, colours, "scores");
    }

    // A size on paper: the PNG has the pixels of the size at its resolution and records the
    // resolution; the SVG gives the size in millimetres over the same layout.
    void aPaperSizeGivesItsPixelsAndResolution() {
        const FigureSize size = ParseFigureSize("160x100mm", 300);
        std::string error;
        const std::string svg = SpectraPlotSvg(Waves(), size);
        const std::string path = File("paper.png").toStdString();
        QVERIFY2(WriteSvgAsPng(svg, size, path, error), error.c_str());
        const QImage png(QString::fromStdString(path));
        // 160 mm and 100 mm at 300 dpi: 1889.8 and 1181.1 pixels.
        QCOMPARE(png.size(), QSize(1890, 1181));
        QCOMPARE(png.dotsPerMeterX(), 11811);
        QVERIFY(svg.find("width=\"160mm\" height=\"100mm\" viewBox=\"0 0 605 378\"") !=
                std::string::npos);
        QVERIFY(!WriteSvgAsPng(svg, size, File("no/such/folder/x.png").toStdString(), error));
    }
};

}  // namespace orvane

QTEST_MAIN(orvane::FigureTest)
#include "figure_test.moc"
