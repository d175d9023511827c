// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace orvane {

// The size of a saved figure, on screen (pixels) or on paper (millimetres), and the resolution
// of its raster. A figure is laid out at its physical size in CSS pixels (1/96 inch), so its
// text keeps its printed size whatever the resolution, and the PNG and the SVG of one figure
// share that one layout: the PNG is the layout scaled by Scale().
struct FigureSize {
    enum Unit { kPixels, kMillimetres };
    static constexpr int kMinDpi = 36;
    static constexpr int kMaxDpi = 2400;
    static constexpr int kMaxPixels = 20000;  // a side of the raster

    double width = 960.0;
    double height = 600.0;
    Unit unit = kPixels;
    int dpi = 96;

    static FigureSize Pixels(int width, int height, int dpi = 96);

    // The raster's size: the size itself in pixels, or the paper size at the resolution.
    int PixelWidth() const;
    int PixelHeight() const;
    // Raster pixels per layout unit.
    double Scale() const { return dpi / 96.0; }
    // The layout's size in CSS pixels, whole pixels so that one-pixel lines stay sharp.
    int LayoutWidth() const;
    int LayoutHeight() const;
    // The SVG root's width and height attributes: millimetres on paper, else CSS pixels.
    std::string SvgSizeAttributes() const;
    // The same figure in the other unit at its resolution (a raster's pixels, or its printed
    // millimetres), unrounded.
    FigureSize In(Unit other) const;
    // "160x100mm" or "960x600px", as --size takes it.
    std::string Text() const;

    // Throws OrvaneError naming what is wrong: a side not above zero, a resolution outside
    // kMinDpi..kMaxDpi, a raster side above kMaxPixels or a layout below 200 x 150 pixels.
    void Check() const;
};

// Reads "WxH", "WxHpx" or "WxHmm" (pixels unless "mm" follows) at `dpi`; throws OrvaneError
// with the accepted forms for anything else.
FigureSize ParseFigureSize(const std::string& text, int dpi);

}  // namespace orvane
