#pragma once

#include "model/figuretype.h"
#include "pickers/pickerwindow.h"

namespace kelto {

// The figure-type picker: cell i stands for figure type i + 1 (the stick man first). It stays
// on top of the other windows.
class FigurePicker : public PickerWindow {
    Q_OBJECT
public:
    explicit FigurePicker(QWidget* parent = nullptr);

    // Adds the cell of figure type typeIndex; its picture is drawn when the cell first shows.
    // Without redraw the picker is laid out at the next selector()->relayout().
    void addEntry(const FigureType& type, int typeIndex, const QString& caption,
                  bool redraw = true);
};

} // namespace kelto
