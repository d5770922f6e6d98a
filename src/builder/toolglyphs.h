#pragma once

#include <QIcon>

namespace kelto {

enum class BuilderGlyph {
    Circle,
    Line,
    ChangeKind,
    CircleFill,
    Duplicate,
    Thicker,
    Thinner,
    Static,
    MainHandle,
    Split,
    Delete,
};

// The pictures on the builder's tool buttons, drawn here so no image files are needed.
QIcon builderGlyph(BuilderGlyph glyph);

} // namespace kelto
