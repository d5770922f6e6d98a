#pragma once

#include "graphics/bitmap.h"
#include "pickers/pickerlayout.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace kelto {

// A grid of fixed-size thumbnails with a caption under each. Its height follows from the
// cells and its width; a scroll area around it scrolls it. Mouse presses are reported with
// the cell under the pointer (-1 for none). Thumbnails are made when their cell is first
// painted (or asked for), so a picker of tens of thousands of cells fills at once.
class ImageSelector : public QWidget {
    Q_OBJECT
public:
    // Draws a cell's source picture (fitted and reduced to the box when the cell is shown).
    using SourceMaker = std::function<Bitmap()>;

    explicit ImageSelector(QWidget* parent = nullptr);

    // Appends a cell made from source with its caption. Without redraw the layout waits for
    // the next relayout(), so a batch of cells is laid out once.
    void add(const Bitmap& source, const QString& caption, bool redraw = true);
    void add(SourceMaker source, const QString& caption, bool redraw = true);
    // Removes cell index; out-of-range indices are ignored.
    void remove(int index);
    // Removes every cell but the first.
    void clearToFirst();
    // Lays the cells out across the width and repaints.
    void relayout();

    int count() const { return int(m_cells.size()); }
    // The cell's picture, made now if it was not shown yet.
    const Bitmap& thumbnail(int i) const;
    // Whether the cell's picture has been made (it is made when the cell is first painted).
    bool hasThumbnail(int i) const { return m_cells.at(size_t(i)).thumbnail.has_value(); }
    QString caption(int i) const { return m_cells.at(size_t(i)).caption; }
    // The caption as drawn, shortened with ".." when too wide.
    QString shownCaption(int i) const;
    Rect cellRect(int i) const { return m_layout.cellRect(i); }
    int hitTest(int x, int y) const { return m_layout.hitTest(x, y, count()); }
    const PickerLayout& pickerLayout() const { return m_layout; }

    void setColour(const QColor& colour);
    QColor colour() const { return m_colour; }
    void setPickerWidth(int width);

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
    struct Cell {
        SourceMaker source; // dropped once the thumbnail is made
        std::optional<Bitmap> thumbnail;
        QString caption;
    };

    void drawCell(QPainter& painter, int i);
    int textWidth(const QString& text) const;

    // Thumbnails are a cache filled while painting; the cells themselves do not change.
    mutable std::vector<Cell> m_cells;
    QColor m_colour = Qt::white;
    PickerLayout m_layout;
    bool m_layingOut = false;
};

} // namespace kelto
