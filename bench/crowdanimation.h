// The generated crowd the export benchmarks share: coloured stick men walking across a
// 500 x 400 animation, the same every run (a fixed seed), so figures compare across programs.
#pragma once

#include "document/document.h"

#include <cmath>
#include <cstdint>

namespace kelto::bench {

// Swings the limbs of a stick man a little by phase and walks him step pixels right.
inline void stepFigure(Figure& f, const FigureType& man, double phase, double step) {
    for (int s : {4, 5, 8, 9}) {
        f.pose[s].angle = man.segments[s].angle + 0.4 * std::sin(phase + s);
    }
    f.placeRoot({std::fmod(f.jointPos[0].x + step, 500.0), f.jointPos[0].y}, man);
    f.updateBounds(man);
}

inline void storeFrame(Document& doc, const Figures& edit) {
    Figures frame;
    frame.assign(edit);
    doc.frames.push_back(frame);
}

inline Document makeAnimation(int frames, int figures) {
    Document doc(500, 400);
    const FigureType& man = doc.figureType(1);
    uint32_t seed = 7;
    auto next = [&](int n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % uint32_t(n));
    };
    Figures edit;
    edit.setCount(figures);
    for (int k = 0; k < figures; ++k) {
        Figure& f = edit.figures[k];
        f.setType(1, man);
        f.figureID = doc.nextFigureID();
        f.colour = uint32_t(next(256)) | (uint32_t(next(256)) << 8) | (uint32_t(next(256)) << 16);
        f.scale = 0.6f + static_cast<float>(next(60)) / 100.0f;
        f.placeRoot({40.0 + next(420), 120.0 + next(260)}, man);
    }
    for (int i = 0; i < frames; ++i) {
        for (int k = 0; k < figures; ++k) {
            stepFigure(edit.figures[k], man, 0.3 * i + k, 2.0);
        }
        storeFrame(doc, edit);
    }
    return doc;
}

// 300 frames of 20 figures, made once.
inline const Document& animation() {
    static const Document doc = makeAnimation(300, 20);
    return doc;
}

} // namespace kelto::bench
