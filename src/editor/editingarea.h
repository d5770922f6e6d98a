#pragma once

#include "graphics/bitmap.h"

#include <QString>

namespace kelto {

// The canvas inside its scroll box: never smaller than the animation, filling the visible box
// otherwise, with the animation area centred in it.
struct EditingArea {
    int canvasWidth = 0;
    int canvasHeight = 0;
    PixelPos areaOffset;
};

// boxWidth/boxHeight: the scroll box's outer size; 8 pixels are kept free for its frame.
EditingArea computeEditingArea(int boxWidth, int boxHeight, int animWidth, int animHeight);

// What a file named on the command line is, judged by its last three characters.
enum class CommandLineKind { None, Kel, Stk, Other };
CommandLineKind commandLineKind(const QString& argument);

// Thumbnail supersampling from the text of /proc/cpuinfo: 2 when the fastest processor runs
// above 1199 MHz, else 1 (also when no clock can be read).
int supersampleFactorFromCpuInfo(const QByteArray& cpuinfo);
// The same for this machine.
int readSupersampleFactor();

} // namespace kelto
