#pragma once

#include "model/figures.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kelto {

inline constexpr int kMaxOnions = 9;

// Where the selected figure appears in the neighbouring frames, by distance 1..9 (index 0 is
// unused); -1 where a frame has no figure with its identity or lies outside the animation.
struct OnionIndexes {
    std::array<int32_t, kMaxOnions + 1> behind;
    std::array<int32_t, kMaxOnions + 1> ahead;
    OnionIndexes() {
        behind.fill(-1);
        ahead.fill(-1);
    }
};

// editFrameIndex -1 means the new frame after the last stored one. Onion skins need exactly one
// selected figure; later frames count only with onionAhead and a stored frame being edited.
OnionIndexes findOnions(const std::vector<Figures>& frames, int editFrameIndex, const Figures& edit,
                        int numOnion, bool onionAhead);

// The frame the canvas is based on: the edited one, or the frame count for the new frame.
inline int onionBase(int editFrameIndex, int frameCount) {
    return editFrameIndex < 0 ? frameCount : editFrameIndex;
}

} // namespace kelto
