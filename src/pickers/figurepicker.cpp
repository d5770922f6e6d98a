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
    // The picture is drawn when the cell first shows; the type is kept until then, as it is
    // now (the document's may change meanwhile).
    selector()->add(
        [type, typeIndex, fill] { return figureTypeSource(type, uint16_t(typeIndex), fill); },
        caption, redraw);
}

} // namespace kelto
