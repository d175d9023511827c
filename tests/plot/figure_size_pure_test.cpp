// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/figure_size.h"

#include <gtest/gtest.h>

#include "base/orvane_error.h"
#include "support/refusal.h"

namespace orvane {
namespace {

// Sizes as --size takes them: the raster's pixels and the layout in CSS pixels (1/96 inch),
// worked out by hand (160 mm at 300 dpi is 160 / 25.4 * 300 = 1889.76 pixels).
TEST(FigureSizeMath, PixelsAndLayoutOfEachForm) {
    const struct {
        const char* text;
        int dpi;
        int pixel_w, pixel_h, layout_w, layout_h;
        const char* svg;
    } cases[] = {
        {"960x600", 96, 960, 600, 960, 600, "width=\"960\" height=\"600\""},
        {"800X500px", 96, 800, 500, 800, 500, "width=\"800\" height=\"500\""},
        {"1920x1200px", 192, 1920, 1200, 960, 600, "width=\"960\" height=\"600\""},
        {"160x100mm", 300, 1890, 1181, 605, 378, "width=\"160mm\" height=\"100mm\""},
        {"84.5x60mm", 600, 1996, 1417, 319, 227, "width=\"84.5mm\" height=\"60mm\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const FigureSize s = ParseFigureSize(c.text, c.dpi);
        EXPECT_EQ(s.PixelWidth(), c.pixel_w);
        EXPECT_EQ(s.PixelHeight(), c.pixel_h);
        EXPECT_EQ(s.LayoutWidth(), c.layout_w);
        EXPECT_EQ(s.LayoutHeight(), c.layout_h);
        EXPECT_EQ(s.SvgSizeAttributes(), c.svg);
        // The text reads back as the same size.
        EXPECT_EQ(ParseFigureSize(s.Text(), c.dpi).PixelWidth(), c.pixel_w);
    }
}

// A size shown in the other unit: 160 mm at 300 dpi is 160 / 25.4 * 300 = 1889.76 raster
// pixels, and back again the same millimetres.
TEST(FigureSizeMath, ConvertsBetweenPixelsAndMillimetresAtItsResolution) {
    const FigureSize paper = ParseFigureSize("160x100mm", 300);
    const FigureSize raster = paper.In(FigureSize::kPixels);
    EXPECT_EQ(raster.unit, FigureSize::kPixels);
    EXPECT_NEAR(raster.width, 1889.7637795275, 1e-9);
    EXPECT_NEAR(raster.height, 1181.1023622047, 1e-9);
    EXPECT_EQ(raster.PixelWidth(), paper.PixelWidth());
    const FigureSize back = raster.In(FigureSize::kMillimetres);
    EXPECT_NEAR(back.width, 160.0, 1e-12);
    EXPECT_NEAR(back.height, 100.0, 1e-12);
    EXPECT_EQ(paper.In(FigureSize::kMillimetres).width, 160.0);
}

TEST(FigureSizeMath, RefusesWhatIsNoSizeWithTheReason) {
    const struct {
        const char* text;
        int dpi;
        const char* says;
    } cases[] = {
        {"", 96, "is not a figure size"},
        {"960", 96, "is not a figure size"},
        {"x600", 96, "is not a figure size"},
        {"960x", 96, "is not a figure size"},
        {"-5x600", 96, "is not a figure size"},
        {"1e3x600", 96, "is not a figure size"},
        {"96 0x600", 96, "is not a figure size"},
        {"960x600cm", 96, "is not a figure size"},
        {"0x600", 96, "above zero"},
        {"960x600", 20, "between 36 and 2400 dpi"},
        {"100000x600", 96, "at most 20000 pixels"},
        {"2000x1000mm", 600, "at most 20000"},
        {"20x10mm", 96, "too small to lay out"},
        {"50x30", 96, "too small"},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(test::Refuses([&] { ParseFigureSize(c.text, c.dpi); }, c.says)) << c.text;
}

}  // namespace
}  // namespace orvane
