#pragma once

#include "model/figures.h"

#include <QString>

#include <string>
#include <vector>

namespace kelto {

// What the SVG export draws: the edited frame as the canvas shows it, with the onion skins of
// the selected figure from the stored frames around it.
struct SvgScene {
    const Figures* edit = nullptr;
    const FigureTypeList* types = nullptr;
    const std::vector<Figures>* frames = nullptr;
    int editFrameIndex = -1; // -1: the new frame after the last stored one
    int animWidth = 500;
    int animHeight = 400;
    int numOnion = 0;
    bool onionAhead = false;
};

// Numbers as the SVG text carries them: up to 15 significant digits, no trailing zeros, "."
// always, exponent form only below 0.00001 or from 10^15 on.
std::string formatSvgNumber(double value);

// The document's lines, without line ends.
std::vector<std::string> buildSvgLines(const SvgScene& scene, bool withHandles);
// The whole document with CR LF line ends.
std::string buildSvg(const SvgScene& scene, bool withHandles);
// Builds the document in memory, then writes it; throws KeltoError when writing fails.
void saveSvg(const QString& path, const SvgScene& scene, bool withHandles);

} // namespace kelto
