#pragma once

#include <cstdint>

namespace kelto {

// A picture owned by a figure type and drawn along an skImage segment. This is the part of the
// picture object that the figure model needs; the pixels and the rotate-and-scale routine live
// with the graphics code.
class Sprite {
public:
    int width() const { return m_width; }
    int height() const { return m_height; }
    void setSize(int width, int height) {
        m_width = width;
        m_height = height;
    }
    void assign(const Sprite& source) { *this = source; }

private:
    int m_width = 0;
    int m_height = 0;
};

} // namespace kelto
