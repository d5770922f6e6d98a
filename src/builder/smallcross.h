#pragma once

#include <QCursor>

namespace kelto {

// The builder's cursor while it waits for a handle to be clicked: a small cross with a light
// rim, so it stays visible on the black lines it points at. Hot spot in the middle.
const QCursor& smallCrossCursor();

} // namespace kelto
