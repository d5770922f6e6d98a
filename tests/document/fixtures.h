#pragma once

#include "document/document.h"
#include "document/kelformat.h"
#include "graphics/bytestream.h"

#include <cstring>
#include <string>
#include <vector>

namespace kelto::test {

// A type of n line segments in a chain from the root, each 10 long pointing right.
inline FigureType chainType(int n, float length = 10) {
    FigureType type;
    for (int s = 0; s < n; ++s) {
        type.addSegment(static_cast<uint8_t>(s), skLine, length, 2, 0, 0, 0);
    }
    return type;
}

// A figure of a type placed with its root at (x, y), with an identity.
inline Figure placedFigure(const Document& doc, uint16_t typeIndex, float x, float y, int32_t id) {
    Figure f;
    f.setType(typeIndex, doc.figureType(typeIndex));
    f.placeRoot({x, y}, doc.figureType(typeIndex));
    f.updateBounds(doc.figureType(typeIndex));
    f.figureID = id;
    return f;
}

// A frame holding the given figures in order.
inline Figures frameOf(std::vector<Figure> figures, uint8_t background = 0, uint16_t repeat = 1) {
    Figures frame;
    frame.setCount(static_cast<int>(figures.size()));
    for (size_t i = 0; i < figures.size(); ++i) {
        frame.figures[i] = figures[i];
        frame.figures[i].orderPos = static_cast<uint16_t>(i);
        frame.figures[i].selectionPos = -1;
    }
    frame.selection.clear();
    frame.backgroundIndex = background;
    frame.repeatCount = repeat;
    return frame;
}

// A document of `frames` frames with two stick men each, identities 1 and 2 in every frame.
inline Document stickmanDocument(int frames) {
    Document doc(320, 240);
    for (int k = 0; k < frames; ++k) {
        doc.frames.push_back(frameOf({placedFigure(doc, 1, 100.0f + static_cast<float>(k), 120, 1),
                                      placedFigure(doc, 1, 200, 120.5f, 2)}));
    }
    doc.lastFigureID = 2;
    return doc;
}

// Segment bytes as a file stores them.
inline std::vector<uint8_t> segmentBytes(uint8_t start, uint8_t end, float length, double angle,
                                         float thickness, uint8_t kind, uint8_t isStatic) {
    ByteWriter w;
    w.put<uint8_t>(start);
    w.put<uint8_t>(end);
    w.put<uint16_t>(0);
    w.put<float>(length);
    w.put<double>(angle);
    w.put<float>(thickness);
    w.put<uint8_t>(kind);
    w.put<uint8_t>(isStatic);
    w.put<uint16_t>(0);
    return w.bytes();
}

inline void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

// The clipboard record of all frames of a document, each selected in frame order.
inline std::vector<uint8_t> copyAll(Document& doc) {
    std::vector<int> order;
    for (int i = 0; i < doc.frameCount(); ++i) {
        doc.frames[i].timelineSelected = 1;
        order.push_back(i);
    }
    std::vector<uint8_t> bytes = writeSelectedFramesRecord(doc, order);
    for (Figures& f : doc.frames) {
        f.timelineSelected = 0;
    }
    return bytes;
}

} // namespace kelto::test
