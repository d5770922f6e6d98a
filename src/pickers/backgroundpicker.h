#pragma once

#include "graphics/imagegeneral.h"
#include "pickers/pickerwindow.h"

namespace kelto {

// The background picker: cell i stands for background slot i; cell 0 is the plain white
// "no background".
class BackgroundPicker : public PickerWindow {
    Q_OBJECT
public:
    explicit BackgroundPicker(QWidget* parent = nullptr);

    // Adds the cell of a background slot; slot 0 is drawn plain white whatever the picture.
    void addEntry(const ImageGeneral& picture, int slot, const QString& caption,
                  bool redraw = true);
};

} // namespace kelto
