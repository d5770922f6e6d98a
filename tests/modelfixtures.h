#pragma once

#include "model/figures.h"
#include "model/integrity.h"

#include <gtest/gtest.h>

namespace kelto::testing {

// Entry 0 is the builder's working type, entry 1 the stick man, as in a new document.
inline FigureTypeList standardTypes() {
    FigureTypeList types(2);
    types[1] = createStickmanType();
    return types;
}

// Appends a stick man with its root at (x, y) and the next identity.
inline int addStickman(Figures& frame, const FigureTypeList& types, double x, double y,
                       int32_t& lastId) {
    const int i = frame.figureCount();
    frame.setCount(i + 1);
    Figure& f = frame.figures[i];
    f.setType(1, types[1]);
    f.figureID = ++lastId;
    f.placeRoot({x, y}, types[1]);
    f.updateBounds(types[1]);
    return i;
}

inline ::testing::AssertionResult frameIsSound(const Figures& frame, const FigureTypeList& types) {
    const std::string problem = verifyFrame(frame, types);
    if (problem.empty()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << problem;
}

inline ::testing::AssertionResult typeIsSound(const FigureType& type) {
    const std::string problem = verifyFigureType(type);
    if (problem.empty()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << problem;
}

} // namespace kelto::testing
