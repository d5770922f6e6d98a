#pragma once

#include "model/figures.h"

#include <string>

namespace kelto {

// Structural checks of the model's invariants. Each returns an empty string when all hold, else
// a description of the first broken one. File readers use them to refuse damaged input, and the
// tests use them after every operation.
std::string verifyFigureType(const FigureType& type);
// Figure identities are not checked: files and clipboard data from elsewhere hold frames whose
// identities repeat or fall, and nothing relies on their order.
std::string verifyFrame(const Figures& frame, const FigureTypeList& types);

} // namespace kelto
