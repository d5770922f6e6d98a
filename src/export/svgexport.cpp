#include "export/svgexport.h"

#include "model/onions.h"
#include "settings/atomicfile.h"

#include <QFile>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kelto {

namespace {

const char* const kWebAddress = "https://kelto-animator.example.org/";

std::string rgbText(uint32_t colour) {
    return "rgb(" + std::to_string(colour & 0xFF) + "," + std::to_string((colour >> 8) & 0xFF) +
           "," + std::to_string((colour >> 16) & 0xFF) + ")";
}

std::string attr(const char* name, double value) {
    return std::string(name) + "=\"" + formatSvgNumber(value) + "\"";
}

void writeFigure(std::vector<std::string>& lines, const Figure& figure, const FigureType& type,
                 int group, int transparencyOverride) {
    const int transparency = transparencyOverride != 0 ? transparencyOverride : figure.transparency;
    const double opacity = (255.0 - transparency) / 255.0;
    lines.push_back("<g id=\"figure" + std::to_string(group) + "\" " + attr("opacity", opacity) +
                    ">");
    const std::string stroke = "stroke:" + rgbText(figure.colour);
    const int count = std::min(type.segmentCount(), figure.segmentCount());
    for (int s = 0; s < count; ++s) {
        const Segment& seg = type.segments[s];
        const FigureJoint& p = figure.jointPos[seg.startJoint];
        const FigureJoint& q = figure.jointPos[seg.endJoint];
        const double width = double(seg.thickness) * double(figure.scale);
        const std::string style = stroke + ";stroke-width:" + formatSvgNumber(width);
        if (seg.kind == skLine) {
            if (seg.thickness != 0) {
                lines.push_back("<line " + attr("x1", p.x) + " " + attr("y1", p.y) + " " +
                                attr("x2", q.x) + " " + attr("y2", q.y) +
                                " stroke-linecap=\"round\" style=\"" + style + "\"/>");
            }
        } else if (isCircleKind(seg.kind)) {
            const float cx = (p.x + q.x) / 2; // the centre in single precision
            const float cy = (p.y + q.y) / 2;
            const double r = double(figure.pose[s].length) * double(figure.scale) / 2;
            std::string fill = ";fill:rgb(255,255,255)";
            if (seg.kind == skHollowCircle) {
                fill = ";fill:none";
            } else if (seg.kind == skFilledCircle) {
                fill = ";fill:" + rgbText(figure.colour);
            }
            lines.push_back("<circle " + attr("cx", cx) + " " + attr("cy", cy) + " " +
                            attr("r", r) + " style=\"" + style + fill + "\"/>");
        }
    }
    lines.push_back("</g>");
}

void writeHandle(std::vector<std::string>& lines, const FigureJoint& joint, double radius,
                 uint32_t fill) {
    lines.push_back("<circle " + attr("cx", joint.x) + " " + attr("cy", joint.y) + " " +
                    attr("r", radius) +
                    " style=\"stroke:rgb(0,0,0);stroke-width:1;fill:" + rgbText(fill) + "\"/>");
}

int ghostTransparency(int d, int numOnion, int ownTransparency) {
    const int g = 150 + (d * 70 / numOnion);
    return 255 - (((255 - ownTransparency) * (255 - g)) >> 8);
}

void writeGhosts(std::vector<std::string>& lines, const SvgScene& scene, int group) {
    const std::vector<Figures>& frames = *scene.frames;
    const int count = static_cast<int>(frames.size());
    const OnionIndexes onions =
        findOnions(frames, scene.editFrameIndex, *scene.edit, scene.numOnion, scene.onionAhead);
    const int n = std::clamp(scene.numOnion, 0, kMaxOnions);
    auto ghost = [&](int frame, int index, int d) {
        const Figure& f = frames[frame].figures[index];
        writeFigure(lines, f, (*scene.types)[f.typeIndex], group,
                    ghostTransparency(d, n, f.transparency));
    };
    const int base = onionBase(scene.editFrameIndex, count);
    for (int d = n; d >= 1; --d) {
        const int b = base - d;
        if (b >= 0 && b < count && onions.behind[d] >= 0) {
            ghost(b, onions.behind[d], d);
        }
    }
    if (scene.onionAhead && scene.editFrameIndex >= 0) {
        for (int d = n; d >= 1; --d) {
            const int a = scene.editFrameIndex + d;
            if (a < count && onions.ahead[d] >= 0) {
                ghost(a, onions.ahead[d], d);
            }
        }
    }
}

} // namespace

std::string formatSvgNumber(double value) {
    if (value == 0 || !std::isfinite(value)) {
        return "0";
    }
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.14e", value);
    // buffer: [-]d.dddddddddddddde[+-]xx
    std::string text = buffer;
    const bool negative = text[0] == '-';
    if (negative) {
        text.erase(0, 1);
    }
    const size_t e = text.find('e');
    int exponent = std::atoi(text.c_str() + e + 1);
    std::string digits = text.substr(0, 1) + text.substr(2, e - 2);
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }
    std::string out;
    if (std::fabs(value) < 0.00001 || exponent >= 15) {
        out = digits.substr(0, 1);
        if (digits.size() > 1) {
            out += "." + digits.substr(1);
        }
        out += "E" + std::to_string(exponent);
    } else if (exponent < 0) {
        out = "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    } else {
        const size_t integerDigits = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= integerDigits) {
            out = digits + std::string(integerDigits - digits.size(), '0');
        } else {
            out = digits.substr(0, integerDigits) + "." + digits.substr(integerDigits);
        }
    }
    return negative ? "-" + out : out;
}

std::vector<std::string> buildSvgLines(const SvgScene& scene, bool withHandles) {
    const Figures& edit = *scene.edit;
    const FigureTypeList& types = *scene.types;
    std::vector<std::string> lines;
    lines.push_back("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
                    std::to_string(scene.animWidth) + "\" height=\"" +
                    std::to_string(scene.animHeight) + "\">");
    lines.push_back(std::string("<!-- Created with Kelto Animator (") + kWebAddress + ") -->");
    for (uint16_t n : edit.drawOrder) {
        const Figure& f = edit.figures[n];
        if (edit.selectedCount() == 1 && edit.selection[0] == n && scene.numOnion > 0) {
            writeGhosts(lines, scene, n);
        }
        writeFigure(lines, f, types[f.typeIndex], n, 0);
    }
    if (withHandles) {
        const uint32_t orange = 0x0088FF; // red 255, green 136, blue 0
        const uint32_t red = 0x0000FF;
        const uint32_t white = 0xFFFFFF;
        for (uint16_t n : edit.drawOrder) {
            const Figure& f = edit.figures[n];
            const FigureType& type = types[f.typeIndex];
            if (!f.isJoined) {
                const bool joinedHere = f.hasJoinedAt(0);
                writeHandle(lines, f.jointPos[0], f.handleRadius(type, 0),
                            joinedHere ? white : orange);
            }
            for (int s = 0; s < type.segmentCount(); ++s) {
                const Segment& seg = type.segments[s];
                if (seg.isStatic) {
                    continue;
                }
                const FigureJoint& j = f.jointPos[seg.endJoint];
                writeHandle(lines, j, f.handleRadius(type, seg.endJoint),
                            f.hasJoinedAt(seg.endJoint) ? white : red);
            }
        }
    }
    lines.push_back("</svg>");
    return lines;
}

std::string buildSvg(const SvgScene& scene, bool withHandles) {
    std::string text;
    for (const std::string& line : buildSvgLines(scene, withHandles)) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void saveSvg(const QString& path, const SvgScene& scene, bool withHandles) {
    const std::string text = buildSvg(scene, withHandles);
    writeFileReplacing(QFile::encodeName(path).toStdString(), text.data(), text.size());
}

} // namespace kelto
