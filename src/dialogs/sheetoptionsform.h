#pragma once

#include "dialogs/exportoptionsform.h"
#include "export/spritesheet.h"

class QCheckBox;
class QLabel;
class QSpinBox;

namespace kelto {

// The options of a sprite sheet: the size fields, one cell per stored frame or per repeat,
// trimming each cell to its drawn part, and the cells per row ("Automatic" for a roughly
// square sheet). OK writes the sheet picture and its JSON description beside it.
class SheetOptionsForm : public ExportOptionsForm {
    Q_OBJECT
public:
    SheetOptionsForm(ProgressForm& progress, QWidget* parent = nullptr);

    void applyLanguage() override;
    // The options as the fields stand.
    SpriteSheetOptions options() const;

    QCheckBox* mergeRepeatsBox() const { return m_mergeRepeats; }
    QCheckBox* trimBox() const { return m_trim; }
    QSpinBox* columnsEdit() const { return m_columns; }

protected:
    ExportResult runExport() override;
    void sanitiseFields() override;

private:
    QCheckBox* m_mergeRepeats = nullptr;
    QCheckBox* m_trim = nullptr;
    QLabel* m_columnsLabel = nullptr;
    QSpinBox* m_columns = nullptr;
};

} // namespace kelto
