// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/plot_svg.h"

#include <fmt/format.h>

#include "plot/scree_plot.h"

#include "base/text_file.h"

namespace orvane {

namespace {

// The label font as a 12-pixel sans font measures: line height, the width of its widest digits
// (room is made for the widest text, as each renderer has its own font) and the baseline's
// distance below the top of a line.
constexpr int kCharHeight = 14;
constexpr int kCharWidth = 8;
constexpr int kAscent = 11;

// Every group that draws no outline says so: ImageMagick's own renderer otherwise keeps the
// stroke of an earlier group and outlines text, markers and bars.

// Element text: only markup characters need escaping (no user text goes into attributes).
std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The document's head: its size, title and the white field with a black outline.
std::string SvgHead(const std::string& title, const FigureSize& size) {
    const int w = size.LayoutWidth();
    const int h = size.LayoutHeight();
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += fmt::format("<svg xmlns=\"http://www.w3.org/2000/svg\" {} viewBox=\"0 0 {} {}\">\n",
                       size.SvgSizeAttributes(), w, h);
    svg += "<title>" + Escaped(title) + "</title>\n";
    // Half-pixel offsets put one-pixel lines on the pixels the window paints.
    svg += fmt::format(
        "<rect x=\"0.5\" y=\"0.5\" width=\"{}\" height=\"{}\" fill=\"white\" "
        "stroke=\"black\"/>\n",
        w - 1, h - 1);
    return svg;
}

std::string Line(const PixelLine& l) {
    return fmt::format("<line x1=\"{:.1f}\" y1=\"{:.1f}\" x2=\"{:.1f}\" y2=\"{:.1f}\"/>\n",
                       l.x1 + 0.5, l.y1 + 0.5, l.x2 + 0.5, l.y2 + 0.5);
}

std::string Text(const PixelText& t) {
    static const char* const kAnchors[] = {"", " text-anchor=\"middle\"", " text-anchor=\"end\""};
    return fmt::format("<text x=\"{}\" y=\"{}\"{}>", t.left, t.top + kAscent, kAnchors[t.anchor]) +
           Escaped(t.text) + "</text>\n";
}

bool WriteSvg(const std::string& svg, const std::string& path) {
    // Like every result file: the earlier plot stays until the new one is complete.
    TextFile file(path, '#');
    if (!file.OpenForWriting()) return false;
    file.WriteString(svg);
    return file.Close();
}

}  // namespace

FigureSize WindowFigure() {
    return FigureSize::Pixels(PlotLayout::kSurfaceWidth, PlotLayout::kSurfaceHeight);
}

std::string ScreeSvg(const ScreeLayout& layout, const FigureSize& size) {
    const int w = size.LayoutWidth();
    const int h = size.LayoutHeight();
    const ScreeScene scene = layout.Layout(w, h, kCharHeight, kCharWidth);
    std::string svg = SvgHead(layout.Title(), size);
    svg += fmt::format("<g fill=\"{}\" stroke=\"none\">\n", ScreeLayout::kBarColour);
    for (const ScreeScene::Bar& b : scene.bars)
        svg += fmt::format("<rect x=\"{}\" y=\"{}\" width=\"{}\" height=\"{}\"/>\n", b.left,
                           b.top, b.width, b.height);
    svg += "</g>\n<g stroke=\"black\" stroke-width=\"1\">\n";
    for (const auto* lines : {&scene.axes, &scene.ticks})
        for (const PixelLine& l : *lines) svg += Line(l);
    svg += "</g>\n";
    if (!scene.cumulative.empty()) {
        svg += fmt::format("<polyline fill=\"none\" stroke=\"{}\" stroke-width=\"2\" points=\"",
                           ScreeLayout::kLineColour);
        for (size_t i = 0; i < scene.cumulative.size(); ++i)
            svg += fmt::format("{}{:.0f},{:.0f}", i ? " " : "", scene.cumulative[i].x,
                               scene.cumulative[i].y);
        svg += "\"/>\n";
        svg += fmt::format("<g fill=\"{}\" stroke=\"none\">\n", ScreeLayout::kLineColour);
        for (const PlotPoint& p : scene.cumulative)
            svg += fmt::format("<circle cx=\"{:.0f}\" cy=\"{:.0f}\" r=\"2.5\"/>\n", p.x, p.y);
        svg += "</g>\n";
    }
    svg +=
        "<g font-family=\"DejaVu Sans, sans-serif\" font-size=\"12\" fill=\"black\" "
        "stroke=\"none\">\n";
    for (const PixelText& t : scene.labels) svg += Text(t);
    for (size_t i = 0; i < scene.bar_values.size(); ++i) {
        std::string text = Text(scene.bar_values[i]);
        if (scene.bar_value_colours[i] != "#000000")
            text.insert(6, "fill=\"" + scene.bar_value_colours[i] + "\" ");
        svg += text;
    }
    for (const PixelText* t : {&scene.x_title, &scene.y_title})
        if (!t->text.empty()) svg += Text(*t);
    for (const PlotScene::LegendEntry& e : scene.legend)
        svg += Text({e.left + PlotLayout::kMarkerSize + 4, e.top, e.text, PixelText::kStart});
    if (!scene.note.empty())
        svg += fmt::format("<text x=\"{:.0f}\" y=\"{:.0f}\" text-anchor=\"middle\">", w / 2.0,
                           h / 2.0) +
               Escaped(scene.note) + "</text>\n";
    svg += "</g>\n";
    for (const PlotScene::LegendEntry& e : scene.legend)
        svg += fmt::format(
            "<rect x=\"{}\" y=\"{}\" width=\"{}\" height=\"{}\" fill=\"{}\" stroke=\"none\"/>\n",
            e.left, e.top + (kCharHeight - PlotLayout::kMarkerSize) / 2, PlotLayout::kMarkerSize,
            PlotLayout::kMarkerSize, e.colour);
    svg += "</svg>\n";
    return svg;
}

bool WriteScreeSvg(const ScreeLayout& layout, const std::string& path, const FigureSize& size) {
    return WriteSvg(ScreeSvg(layout, size), path);
}

std::string PlotSvg(const PlotLayout& layout, bool with_points, const FigureSize& size) {
    const int w = size.LayoutWidth();
    const int h = size.LayoutHeight();
    const PlotScene scene = layout.Layout(w, h, kCharHeight, kCharWidth, with_points);
    std::string svg = SvgHead(layout.Title(), size);
    svg += "<g stroke=\"black\" stroke-width=\"1\">\n";
    for (const auto* lines : {&scene.axes, &scene.ticks})
        for (const PixelLine& l : *lines)
            svg += fmt::format("<line x1=\"{:.1f}\" y1=\"{:.1f}\" x2=\"{:.1f}\" y2=\"{:.1f}\"/>\n",
                               l.x1 + 0.5, l.y1 + 0.5, l.x2 + 0.5, l.y2 + 0.5);
    svg +=
        "</g>\n<g font-family=\"DejaVu Sans, sans-serif\" font-size=\"12\" fill=\"black\" "
        "stroke=\"none\">\n";
    for (const PixelText& t : scene.labels) svg += Text(t);
    for (const PixelText* t : {&scene.x_title, &scene.y_title})
        if (!t->text.empty()) svg += Text(*t);
    for (const PlotScene::LegendEntry& e : scene.legend)
        svg += Text({e.left + PlotLayout::kMarkerSize + 4, e.top, e.text, PixelText::kStart});
    if (!scene.note.empty())
        svg += fmt::format("<text x=\"{:.0f}\" y=\"{:.0f}\" text-anchor=\"middle\">", w / 2.0,
                           h / 2.0) +
               Escaped(scene.note) + "</text>\n";
    svg += "</g>\n<g fill=\"black\" stroke=\"none\">\n";
    const double r = PlotLayout::kMarkerSize / 2.0;
    for (size_t i = 0; i < scene.points.size(); ++i) {
        const PlotPoint& p = scene.points[i];
        svg += fmt::format("<circle cx=\"{:.1f}\" cy=\"{:.1f}\" r=\"{:.1f}\"", p.x + r, p.y + r, r);
        if (i < scene.point_colours.size() && scene.point_colours[i] != "#000000")
            svg += " fill=\"" + scene.point_colours[i] + "\"";
        svg += "/>\n";
    }
    for (const PlotScene::LegendEntry& e : scene.legend)
        svg += fmt::format("<circle cx=\"{:.1f}\" cy=\"{:.1f}\" r=\"{:.1f}\" fill=\"{}\"/>\n",
                           e.left + r, e.top + kCharHeight / 2.0, r, e.colour);
    svg += "</g>\n</svg>\n";
    return svg;
}

bool WritePlotSvg(const PlotLayout& layout, bool with_points, const std::string& path,
                  const FigureSize& size) {
    return WriteSvg(PlotSvg(layout, with_points, size), path);
}

}  // namespace orvane
