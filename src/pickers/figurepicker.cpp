#include "pickers/figurepicker.h"

#include "pickers/imageselector.h"
#include "pickers/thumbnails.h"

namespace kelto {

FigurePicker::FigurePicker(QWidget* parent) : PickerWindow(PhraseType::FiFormCap, parent) {
    setObjectName(QStringLiteral("FigureSelectorForm"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

void FigurePicker::addEntry(const FigureType& type, int typeIndex, const QString& caption,
                            bool redraw) {
    const uint32_t fill = selector()->colour().rgb() & 0x00FFFFFF;
    selector()->add(figureTypeSource(type, uint16_t(typeIndex), fill), caption, redraw);
}

} // namespace kelto
