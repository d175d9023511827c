// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "plot/figure_size.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace orvane {

// Asks for a saved figure's size in pixels or millimetres and its resolution, showing the
// raster the choice makes; the size chosen last is proposed again, also after a restart.
class FigureSizeDialog : public QDialog {
    Q_OBJECT

  public:
    FigureSizeDialog(const FigureSize& size, QWidget* parent = nullptr);
    FigureSize Size() const;

    // The size chosen last (kept in the settings), or `fallback` when none was.
    static FigureSize Remembered(const FigureSize& fallback);
    static void Remember(const FigureSize& size);
    // Asks, proposing the remembered size; false when the user cancels. A test answers through
    // SetScriptedAnswer instead of a user.
    static bool Ask(QWidget* parent, const QString& title, const FigureSize& fallback,
                    FigureSize& size);
    using Answer = std::function<bool(FigureSize&)>;
    static void SetScriptedAnswer(Answer answer);

  private:
    void UnitChanged();
    void Update();

    QDoubleSpinBox* width_;
    QDoubleSpinBox* height_;
    QComboBox* unit_;
    QSpinBox* dpi_;
    QLabel* result_;
    QPushButton* ok_;
    FigureSize::Unit shown_unit_;
};

// Writes an SVG document as a PNG of the size's pixels with its resolution recorded, replacing
// the file only once the picture is complete; the PNG is the document rasterised, so the two
// share one layout. False, with the reason in `error`, when it cannot.
bool WriteSvgAsPng(const std::string& svg, const FigureSize& size, const std::string& path,
                   std::string& error);

}  // namespace orvane
