// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QVBoxLayout>

#include "base/version.h"

namespace orvane {

QIcon OrvaneIcon() {
    QIcon icon;
    for (int side : {16, 32, 48, 64, 128}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(side / 64.0, side / 64.0);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1f, 0x4e, 0x3d));
        p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
        // Low in the visible, a green bump, the red edge, the near-infrared plateau, water dips.
        QPainterPath curve;
        curve.moveTo(8, 50);
        curve.cubicTo(14, 50, 15, 42, 19, 44);
        curve.cubicTo(23, 46, 24, 48, 27, 47);
        curve.cubicTo(30, 46, 30, 18, 34, 17);
        curve.cubicTo(40, 16, 42, 18, 45, 24);
        curve.cubicTo(47, 28, 49, 22, 51, 26);
        curve.cubicTo(53, 31, 55, 36, 57, 38);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0xf2, 0xf5, 0xe8), 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(curve);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x8b, 0xd1, 0x4b));
        p.drawEllipse(QPointF(19, 44), 3.5, 3.5);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Orvane"));
    auto* picture = new QLabel(this);
    picture->setPixmap(OrvaneIcon().pixmap(64, 64));
    auto* text = new QLabel(QStringLiteral("<b>Orvane</b> Version %1<br>"
                                           "Field spectroscopy workbench")
                                .arg(QString::fromLatin1(kOrvaneVersion)),
                            this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    auto* row = new QHBoxLayout;
    row->addWidget(picture);
    row->addWidget(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
}

}  // namespace orvane
