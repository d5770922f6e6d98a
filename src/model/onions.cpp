#include "model/onions.h"

#include <algorithm>

namespace kelto {

OnionIndexes findOnions(const std::vector<Figures>& frames, int editFrameIndex, const Figures& edit,
                        int numOnion, bool onionAhead) {
    OnionIndexes found;
    numOnion = std::clamp(numOnion, 0, kMaxOnions);
    if (edit.selectedCount() != 1 || numOnion == 0) {
        return found;
    }
    const int hint = edit.selection[0];
    const int32_t id = edit.figures[hint].figureID;
    const int frameCount = static_cast<int>(frames.size());
    const int base = onionBase(editFrameIndex, frameCount);
    for (int d = 1; d <= numOnion; ++d) {
        const int f = base - d;
        if (f < 0) {
            break;
        }
        if (f < frameCount) {
            found.behind[d] = frames[f].findByID(id, hint);
        }
    }
    if (onionAhead && editFrameIndex >= 0) {
        for (int d = 1; d <= numOnion; ++d) {
            const int f = editFrameIndex + d;
            if (f >= frameCount) {
                break;
            }
            found.ahead[d] = frames[f].findByID(id, hint);
        }
    }
    return found;
}

} // namespace kelto
