#include "pickers/backgroundpicker.h"

#include "pickers/imageselector.h"
#include "pickers/thumbnails.h"

namespace kelto {

BackgroundPicker::BackgroundPicker(QWidget* parent) : PickerWindow(PhraseType::BaFormCap, parent) {
    setObjectName(QStringLiteral("BackgroundSelectorForm"));
}

void BackgroundPicker::addEntry(const ImageGeneral& picture, int slot, const QString& caption,
                                bool redraw) {
    if (slot == 0) {
        selector()->add(whiteThumbnail(), caption, redraw);
        return;
    }
    const uint32_t fill = selector()->colour().rgb() & 0x00FFFFFF;
    selector()->add(backgroundSource(picture, fill), caption, redraw);
}

} // namespace kelto
