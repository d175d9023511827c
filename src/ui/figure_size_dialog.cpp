// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/figure_size_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QSvgRenderer>
#include <QVBoxLayout>
#include <cmath>

#include "base/orvane_error.h"
#include "ui/qt_frontend.h"

namespace orvane {

namespace {
FigureSizeDialog::Answer& Scripted() {
    static FigureSizeDialog::Answer answer;
    return answer;
}
}  // namespace

FigureSizeDialog::FigureSizeDialog(const FigureSize& size, QWidget* parent)
    : QDialog(parent), shown_unit_(size.unit) {
    setWindowTitle(QStringLiteral("Figure Size"));
    auto side = [this](const char* name) {
        auto* box = new QDoubleSpinBox(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(1, FigureSize::kMaxPixels);
        connect(box, &QDoubleSpinBox::valueChanged, this, [this] { Update(); });
        return box;
    };
    width_ = side("figureWidth");
    height_ = side("figureHeight");
    unit_ = new QComboBox(this);
    unit_->setObjectName(QStringLiteral("figureUnit"));
    unit_->addItems({QStringLiteral("pixels"), QStringLiteral("mm")});
    unit_->setToolTip(QStringLiteral("Pixels for a screen, millimetres for a page."));
    dpi_ = new QSpinBox(this);
    dpi_->setObjectName(QStringLiteral("figureDpi"));
    dpi_->setRange(FigureSize::kMinDpi, FigureSize::kMaxDpi);
    dpi_->setSuffix(QStringLiteral(" dpi"));
    dpi_->setToolTip(QStringLiteral(
        "The PNG's resolution: 96 for a screen, 300 or more for print. The figure keeps its "
        "layout; a higher resolution gives it more pixels."));
    result_ = new QLabel(this);
    result_->setObjectName(QStringLiteral("figureResult"));
    result_->setWordWrap(true);

    auto* size_row = new QHBoxLayout;
    size_row->addWidget(width_);
    size_row->addWidget(new QLabel(QStringLiteral("\u00d7"), this));
    size_row->addWidget(height_);
    size_row->addWidget(unit_);
    auto* form = new QFormLayout;
    auto* size_label = new QLabel(QStringLiteral("&Size (width \u00d7 height):"), this);
    size_label->setBuddy(width_);
    form->addRow(size_label, size_row);
    form->addRow(QStringLiteral("&Resolution:"), dpi_);
    form->addRow(result_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    unit_->setCurrentIndex(size.unit == FigureSize::kMillimetres ? 1 : 0);
    width_->setDecimals(size.unit == FigureSize::kMillimetres ? 1 : 0);
    height_->setDecimals(width_->decimals());
    width_->setValue(size.width);
    height_->setValue(size.height);
    dpi_->setValue(size.dpi);
    connect(unit_, &QComboBox::currentIndexChanged, this, [this] { UnitChanged(); });
    connect(dpi_, &QSpinBox::valueChanged, this, [this] { Update(); });
    Update();
}

FigureSize FigureSizeDialog::Size() const {
    FigureSize size;
    size.width = width_->value();
    size.height = height_->value();
    size.unit = unit_->currentIndex() == 1 ? FigureSize::kMillimetres : FigureSize::kPixels;
    size.dpi = dpi_->value();
    return size;
}

void FigureSizeDialog::UnitChanged() {
    // The same figure in the other unit at the present resolution.
    const FigureSize::Unit unit =
        unit_->currentIndex() == 1 ? FigureSize::kMillimetres : FigureSize::kPixels;
    if (unit == shown_unit_) return;
    FigureSize shown = Size();
    shown.unit = shown_unit_;
    const FigureSize converted = shown.In(unit);
    shown_unit_ = unit;
    for (QDoubleSpinBox* box : {width_, height_})
        box->setDecimals(unit == FigureSize::kMillimetres ? 1 : 0);
    width_->setValue(converted.width);
    height_->setValue(converted.height);
    Update();
}

void FigureSizeDialog::Update() {
    const FigureSize size = Size();
    try {
        size.Check();
        const FigureSize printed = size.In(FigureSize::kMillimetres);
        result_->setText(QStringLiteral("The PNG has %1 \u00d7 %2 pixels, %3 \u00d7 %4 mm printed.")
                             .arg(size.PixelWidth())
                             .arg(size.PixelHeight())
                             .arg(printed.width, 0, 'f', 0)
                             .arg(printed.height, 0, 'f', 0));
        ok_->setEnabled(true);
    } catch (const OrvaneError& e) {
        result_->setText(QString::fromStdString(e.what()));
        ok_->setEnabled(false);
    }
}

FigureSize FigureSizeDialog::Remembered(const FigureSize& fallback) {
    QSettings settings = OrvaneSettings();
    const QString text = settings.value(QStringLiteral("figure/size")).toString();
    const int dpi = settings.value(QStringLiteral("figure/dpi"), fallback.dpi).toInt();
    if (text.isEmpty()) return fallback;
    try {
        return ParseFigureSize(text.toStdString(), dpi);
    } catch (const OrvaneError&) {
        return fallback;  // an edited settings file
    }
}

void FigureSizeDialog::Remember(const FigureSize& size) {
    QSettings settings = OrvaneSettings();
    settings.setValue(QStringLiteral("figure/size"), QString::fromStdString(size.Text()));
    settings.setValue(QStringLiteral("figure/dpi"), size.dpi);
    settings.sync();
}

bool FigureSizeDialog::Ask(QWidget* parent, const QString& title, const FigureSize& fallback,
                           FigureSize& size) {
    size = Remembered(fallback);
    if (Scripted()) {
        if (!Scripted()(size)) return false;
        size.Check();
    } else {
        FigureSizeDialog dialog(size, parent);
        dialog.setWindowTitle(title);
        if (dialog.exec() != QDialog::Accepted) return false;
        size = dialog.Size();
    }
    Remember(size);
    return true;
}

void FigureSizeDialog::SetScriptedAnswer(Answer answer) { Scripted() = std::move(answer); }

bool WriteSvgAsPng(const std::string& svg, const FigureSize& size, const std::string& path,
                   std::string& error) {
    QSvgRenderer renderer(QByteArray::fromStdString(svg));
    if (!renderer.isValid()) {
        error = "the figure could not be drawn";
        return false;
    }
    QImage image(size.PixelWidth(), size.PixelHeight(), QImage::Format_RGB32);
    if (image.isNull()) {
        error = "no memory for a picture of that size";
        return false;
    }
    image.fill(Qt::white);
    const int dots_per_metre = static_cast<int>(std::lround(size.dpi / 0.0254));
    image.setDotsPerMeterX(dots_per_metre);
    image.setDotsPerMeterY(dots_per_metre);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        renderer.render(&painter, QRectF(0, 0, image.width(), image.height()));
    }
    // Like every result file: the earlier picture stays until the new one is complete.
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

}  // namespace orvane
