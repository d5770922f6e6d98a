#pragma once

#include <QIcon>

namespace kelto {

// The program's button pictures, drawn at start with QPainter: no artwork files to license.
enum class IconKind {
    App,
    Play,
    Stop,
    Background,
    AddFigure,
    DeleteFigure,
    EditType,
    Centre,
    Flip,
    Raise,
    Lower,
    Colour,
    Duplicate,
    Join,
    AddFrame,
    DeleteFrames,
    CopyFrames,
    PasteFrames,
};

QIcon makeIcon(IconKind kind);

} // namespace kelto
