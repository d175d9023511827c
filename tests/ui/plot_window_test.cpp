// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/plot_window.h"

#include <QImage>
#include <QPixmap>
#include <QtTest>

namespace orvane {
namespace {

bool IsBlack(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 64; }
bool IsWhite(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) > 240; }

// The surface as painted, at device pixels of the layout.
QImage Grab(PlotWindow& window) {
    QPixmap pixmap = window.Surface()->grab();
    pixmap.setDevicePixelRatio(1.0);
    return pixmap.toImage().scaled(window.Surface()->size());
}

const std::vector<PlotPoint> kPoints = {{0, -1}, {2.5, 0.4}, {5, 1}, {7.5, -0.2}, {10, 0.7}};

}  // namespace

class PlotWindowTest : public QObject {
    Q_OBJECT

  private slots:
    // A score plot draws a filled marker at every point; the plain window draws axes only, and
    // nothing before its data is ready.
    void scorePlotDrawsMarkersAndThePlainWindowAxesOnly() {
        ScorePlotWindow window;
        window.AddItem(kPoints);
        window.SetTitle("Scores");
        window.SetDataReady(true);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QImage image = Grab(window);
        const PlotScene scene = window.Scene();
        QCOMPARE(scene.width, image.width());
        QCOMPARE(static_cast<int>(scene.points.size()), static_cast<int>(kPoints.size()));
        for (const PlotPoint& p : scene.points) {
            const int x = static_cast<int>(p.x) + 2;
            const int y = static_cast<int>(p.y) + 2;
            QVERIFY2(IsBlack(image, x, y), qPrintable(QString("marker at %1,%2").arg(x).arg(y)));
            // The marker is five pixels wide, not a smear across the plot.
            QVERIFY2(!IsBlack(image, x + 8, y) || !IsBlack(image, x - 8, y),
                     qPrintable(QString("beside %1,%2").arg(x).arg(y)));
        }
        const PixelLine& x_axis = scene.axes.at(0);
        QVERIFY(IsBlack(image, (x_axis.x1 + x_axis.x2) / 2, x_axis.y1));
        QVERIFY(IsBlack(image, 0, image.height() / 2));
        QVERIFY(IsWhite(image, x_axis.x1 + 3, x_axis.y1 - 3));

        PlotWindow plain;
        plain.AddItem(kPoints);
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        image = Grab(plain);
        QVERIFY2(!IsWhite(image, image.width() / 2, image.height() / 2), "drawn before ready");
        plain.SetDataReady(true);
        image = Grab(plain);
        QVERIFY(plain.Scene().points.empty());
        for (const PlotPoint& p : scene.points)
            QVERIFY(IsWhite(image, static_cast<int>(p.x) + 2, static_cast<int>(p.y) + 2));
        QVERIFY(IsBlack(image, x_axis.x1, x_axis.y1));
    }
};

}  // namespace orvane

QTEST_MAIN(orvane::PlotWindowTest)
#include "plot_window_test.moc"
