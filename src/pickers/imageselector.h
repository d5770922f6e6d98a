#pragma once

#include "graphics/bitmap.h"
#include "pickers/pickerlayout.h"

#include <QColor>
#include <QImage>
#include <QStringList>
#include <QWidget>

#include <vector>

namespace kelto {

// A grid of fixed-size thumbnails with a caption under each. Its height follows from the
// cells and its width; a scroll area around it scrolls it. Mouse presses are reported with
// the cell under the pointer (-1 for none).
class ImageSelector : public QWidget {
    Q_OBJECT
public:
    explicit ImageSelector(QWidget* parent = nullptr);

    // Appends a cell made from source (fitted and reduced to the box) with its caption.
    void add(const Bitmap& source, const QString& caption, bool redraw = true);
    // Removes cell index; out-of-range indices are ignored.
    void remove(int index);
    // Removes every cell but the first.
    void clearToFirst();

    int count() const { return int(m_thumbnails.size()); }
    const Bitmap& thumbnail(int i) const { return m_thumbnails.at(size_t(i)); }
    QString caption(int i) const { return m_captions.value(i); }
    // The caption as drawn, shortened with ".." when too wide.
    QString shownCaption(int i) const;
    Rect cellRect(int i) const { return m_cellRects.at(size_t(i)); }
    int hitTest(int x, int y) const { return m_layout.hitTest(x, y, count()); }
    const PickerLayout& pickerLayout() const { return m_layout; }

    void setColour(const QColor& colour);
    QColor colour() const { return m_colour; }
    void setPickerWidth(int width);

    // The whole surface as drawn.
    const QImage& surface() const { return m_surface; }

Q_SIGNALS:
    void cellPressed(int index, Qt::KeyboardModifiers modifiers);
    void released();
    void hovered(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void relayout();
    void drawCell(QPainter& painter, int i);
    int textWidth(const QString& text) const;

    std::vector<Bitmap> m_thumbnails;
    QStringList m_captions;
    std::vector<Rect> m_cellRects;
    QColor m_colour = Qt::white;
    PickerLayout m_layout;
    QImage m_surface;
    bool m_layingOut = false;
};

} // namespace kelto
