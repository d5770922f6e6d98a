#pragma once

#include "model/figures.h"

#include <cstdint>
#include <vector>

namespace kelto {

inline constexpr int kMinInbetweens = 1;
inline constexpr int kMaxInbetweens = 100;

// How the in-betweens are spread in time: cubic curves that start and/or end slowly.
enum class Easing : uint8_t { Linear, In, Out, InOut };

// The eased time for a linear time s in 0..1; exact at both ends.
double easedTime(Easing easing, double s);

// The in-betweens of two key frames. Figures are paired by identity once; each in-between is
// then built from the pairs.
//
// A pair of the same type moves from one pose to the other: root position, each segment's
// angle the short way round, lengths, scale, colour per channel and transparency. What cannot
// change gradually (the flip, the type of a figure that changed type, the joins) switches at
// the middle. A figure found in only one of the frames fades in or out. Joined figures are put
// back on their parent's joint after the poses are mixed, so joins hold in every in-between.
// Draw order, background and selection come from the first frame.
class TweenPlan {
public:
    TweenPlan(const Figures& from, const Figures& to, const FigureTypeList& types);

    // The frame at time t (0..1). At 0 and 1 it is a plain copy of the key frame.
    Figures frameAt(double t) const;
    // count (1..100) in-betweens, evenly spaced in time before easing, each shown once.
    std::vector<Figures> inbetweens(int count, Easing easing) const;

private:
    enum class Kind : uint8_t { Mixed, Switched, FadingOut, FadingIn };
    struct Pair {
        int from = -1; // index in the first frame, or -1
        int to = -1;   // index in the second frame, or -1
        Kind kind = Kind::Mixed;
    };
    void pairFigures();
    Figure mixedFigure(const Pair& p, double t) const;
    void setJoins(Figures& out, double t) const;

    const Figures& m_from;
    const Figures& m_to;
    const FigureTypeList& m_types;
    std::vector<Pair> m_pairs;   // the result's figures in order: the first frame's, then new ones
    std::vector<int> m_slotOfTo; // second frame's figure -> the result's figure, or -1
    std::vector<uint16_t> m_newOnTop; // figures only in the second frame, in its draw order
};

// Convenience for one-off use.
std::vector<Figures> makeInbetweens(const Figures& from, const Figures& to,
                                    const FigureTypeList& types, int count, Easing easing);

} // namespace kelto
