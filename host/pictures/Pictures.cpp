#include "pictures/Pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "pictures/Targets.h"

namespace host {

namespace {

constexpr int kPlotWidth = 760, kPlotHeight = 520;
constexpr int kLeft = 70, kRight = 20, kTop = 40, kBottom = 50;

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

constexpr int kPanelHeight = 380;

std::string Density(double hundredths) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", hundredths / 100);
    return text;
}

// The density that the gamma law aims at for an input, in hundredths.
double AimDensity(double reference, unsigned gamma, double input) {
    return reference + gamma * std::log10(255.0 / input);
}

// The readings against their aim, in a panel from top down to kPanelHeight.
void ReadingsPanel(std::ostringstream& svg, const CReadingsPlot& plot, int top) {
    const double reference = plot.readings[0];
    // The axis reaches the next half density above the densest reading or aim.
    double densest = AimDensity(reference, plot.gamma, StepInput(0));
    for (int r = 1; r <= kStepCount; ++r) densest = std::max<double>(densest, plot.readings[r]);
    const double high = std::min(900.0, 50 * std::ceil(densest / 50 + 1e-9));
    const double plotW = kPlotWidth - kLeft - kRight, plotH = kPanelHeight - 40 - kBottom;
    const double y0 = top + 40;
    auto X = [&](double input) { return kLeft + input * plotW / 255.0; };
    auto Y = [&](double d) { return y0 + (high - std::clamp(d, 0.0, high)) * plotH / high; };
    char gamma[32];
    std::snprintf(gamma, sizeof gamma, "%.2f", plot.gamma / 100.0);
    svg << "<text x=\"" << kPlotWidth / 2 << "\" y=\"" << top + 22
        << "\" text-anchor=\"middle\" font-size=\"15\">Readings of " << Escape(plot.name)
        << " against the aim of gamma " << gamma << "</text>\n";
    for (int d = 0; d <= high; d += 50)
        svg << "<line x1=\"" << kLeft << "\" y1=\"" << Y(d) << "\" x2=\"" << kLeft + plotW
            << "\" y2=\"" << Y(d) << "\" stroke=\"#ddd\"/>\n"
            << "<text x=\"" << kLeft - 6 << "\" y=\"" << Y(d) + 4 << "\" text-anchor=\"end\""
            << (d == high ? " font-weight=\"bold\">" : ">") << Density(d) << "</text>\n";
    for (int input = 0; input <= 256; input += 32) {
        const int shown = std::min(input, 255);
        svg << "<text x=\"" << X(shown) << "\" y=\"" << y0 + plotH + 16
            << "\" text-anchor=\"middle\">" << shown << "</text>\n";
    }
    svg << "<rect x=\"" << kLeft << "\" y=\"" << y0 << "\" width=\"" << plotW << "\" height=\""
        << plotH << "\" fill=\"none\" stroke=\"black\"/>\n"
        << "<text x=\"" << kLeft + plotW / 2 << "\" y=\"" << top + kPanelHeight - 12
        << "\" text-anchor=\"middle\">image value (input) of the grey-scale step</text>\n"
        << "<text transform=\"translate(16," << y0 + plotH / 2
        << ") rotate(-90)\" text-anchor=\"middle\">density (top of the axis: " << Density(high)
        << ")</text>\n";
    svg << "<polyline fill=\"none\" stroke=\"#2060c0\" stroke-width=\"1.5\" points=\"";
    for (int input = StepInput(0); input <= StepInput(kStepCount - 1); ++input)
        svg << X(input) << "," << Y(AimDensity(reference, plot.gamma, input)) << " ";
    svg << "\"/>\n";
    for (int r = 1; r <= kStepCount; ++r)
        svg << "<circle cx=\"" << X(StepInput(kStepCount - r)) << "\" cy=\"" << Y(plot.readings[r])
            << "\" r=\"3\" fill=\"#c02020\"/>\n";
    const int lx = kLeft + static_cast<int>(plotW) - 300, ly = static_cast<int>(y0) + 20;
    svg << "<line x1=\"" << lx << "\" y1=\"" << ly << "\" x2=\"" << lx + 30 << "\" y2=\"" << ly
        << "\" stroke=\"#2060c0\" stroke-width=\"1.5\"/>\n"
        << "<text x=\"" << lx + 38 << "\" y=\"" << ly + 4 << "\">aim: gamma " << gamma
        << " from the reference " << Density(reference) << "</text>\n"
        << "<circle cx=\"" << lx + 15 << "\" cy=\"" << ly + 20 << "\" r=\"3\" fill=\"#c02020\"/>\n"
        << "<text x=\"" << lx + 38 << "\" y=\"" << ly + 24 << "\">readings</text>\n";
}

}  // namespace

std::string LutPlotSvg(const CLutTable& before, const CLutTable& after, const std::string& title,
                       const CReadingsPlot* readings) {
    const bool withReadings = readings != nullptr && readings->readings.size() > kStepCount;
    const int height = kPlotHeight + (withReadings ? kPanelHeight : 0);
    int low = 0, high = 4095;
    for (const CLutTable* table : {&before, &after})
        for (int16_t entry : table->entries) {
            low = std::min<int>(low, entry);
            high = std::max<int>(high, entry);
        }
    const double plotW = kPlotWidth - kLeft - kRight, plotH = kPlotHeight - kTop - kBottom;
    auto X = [&](double input) { return kLeft + input * plotW / 255.0; };
    auto Y = [&](double value) { return kTop + (high - value) * plotH / (high - low); };
    std::ostringstream svg;
    svg.setf(std::ios::fixed);
    svg.precision(1);
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kPlotWidth << "\" height=\""
        << height << "\" viewBox=\"0 0 " << kPlotWidth << " " << height
        << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        << "<text x=\"" << kPlotWidth / 2 << "\" y=\"22\" text-anchor=\"middle\" font-size=\"15\">"
        << Escape(title) << "</text>\n";
    // Grid and axes: inputs every 32, exposures every 512.
    for (int input = 0; input <= 256; input += 32) {
        const int shown = std::min(input, 255);
        svg << "<line x1=\"" << X(shown) << "\" y1=\"" << kTop << "\" x2=\"" << X(shown)
            << "\" y2=\"" << kTop + plotH << "\" stroke=\"#ddd\"/>\n"
            << "<text x=\"" << X(shown) << "\" y=\"" << kTop + plotH + 16
            << "\" text-anchor=\"middle\">" << shown << "</text>\n";
    }
    for (int value = (low / 512) * 512; value <= high; value += 512) {
        if (value < low) continue;
        svg << "<line x1=\"" << kLeft << "\" y1=\"" << Y(value) << "\" x2=\"" << kLeft + plotW
            << "\" y2=\"" << Y(value) << "\" stroke=\"#ddd\"/>\n"
            << "<text x=\"" << kLeft - 6 << "\" y=\"" << Y(value) + 4 << "\" text-anchor=\"end\">"
            << value << "</text>\n";
    }
    svg << "<rect x=\"" << kLeft << "\" y=\"" << kTop << "\" width=\"" << plotW << "\" height=\""
        << plotH << "\" fill=\"none\" stroke=\"black\"/>\n"
        << "<text x=\"" << kLeft + plotW / 2 << "\" y=\"" << kPlotHeight - 12
        << "\" text-anchor=\"middle\">image value (input)</text>\n"
        << "<text transform=\"translate(16," << kTop + plotH / 2
        << ") rotate(-90)\" text-anchor=\"middle\">exposure level</text>\n";
    auto curve = [&](const CLutTable& table, const char* style) {
        svg << "<polyline fill=\"none\" " << style << " points=\"";
        const int count = std::min<int>(256, static_cast<int>(table.entries.size()));
        for (int input = 0; input < count; ++input)
            svg << X(input) << "," << Y(table.entries[input]) << " ";
        svg << "\"/>\n";
    };
    curve(before, "stroke=\"#888\" stroke-width=\"1.5\" stroke-dasharray=\"6 4\"");
    curve(after, "stroke=\"#c02020\" stroke-width=\"2\"");
    for (int k = 0; k < kStepCount; ++k) {
        const int input = StepInput(k);
        if (input < static_cast<int>(after.entries.size()))
            svg << "<circle cx=\"" << X(input) << "\" cy=\"" << Y(after.entries[input])
                << "\" r=\"2.5\" fill=\"#c02020\"/>\n";
    }
    // Legend.
    const int lx = kLeft + static_cast<int>(plotW) - 200, ly = kTop + 20;
    svg << "<line x1=\"" << lx << "\" y1=\"" << ly << "\" x2=\"" << lx + 30 << "\" y2=\"" << ly
        << "\" stroke=\"#888\" stroke-width=\"1.5\" stroke-dasharray=\"6 4\"/>\n"
        << "<text x=\"" << lx + 38 << "\" y=\"" << ly + 4 << "\">before</text>\n"
        << "<line x1=\"" << lx << "\" y1=\"" << ly + 20 << "\" x2=\"" << lx + 30 << "\" y2=\""
        << ly + 20 << "\" stroke=\"#c02020\" stroke-width=\"2\"/>\n"
        << "<text x=\"" << lx + 38 << "\" y=\"" << ly + 24
        << "\">after (dots: grey-scale steps)</text>\n";
    if (withReadings) ReadingsPanel(svg, *readings, kPlotHeight);
    svg << "</svg>\n";
    return svg.str();
}

CPicture OffsetMapPicture(const COffsetMap& map, int scale) {
    CPicture picture(map.width, map.height, 255);
    const double full = std::max(scale, 1);
    for (int32_t y = 0; y < map.height; ++y) {
        for (int32_t x = 0; x < map.width; ++x) {
            const double v = std::clamp(map.At(x, y) / full, -1.0, 1.0);
            const uint8_t fade = static_cast<uint8_t>(std::lround(255 * (1 - std::abs(v))));
            if (v >= 0)
                picture.SetColour(x, map.height - 1 - y, fade, fade, 255);
            else
                picture.SetColour(x, map.height - 1 - y, 255, fade, fade);
        }
    }
    return picture;
}

}  // namespace host
