#pragma once

#include "dialogs/exportoptionsform.h"
#include "export/exportoptions.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;

namespace kelto {

// "Animated Gif Options": the size fields, and behind the Advanced toggle the colour reduction,
// the dither mode and the optimisation choices. The two lists are chosen afresh from the
// animation on every showing; everything else keeps its last value.
class GifOptionsForm : public ExportOptionsForm {
    Q_OBJECT
public:
    GifOptionsForm(ProgressForm& progress, QWidget* parent = nullptr);

    void applyLanguage() override;
    GifExportOptions options() const;

    QPushButton* advancedButton() const { return m_advanced; }
    QGroupBox* advancedGroup() const { return m_advancedGroup; }
    QComboBox* colourBox() const { return m_colours; }
    QComboBox* ditherBox() const { return m_dither; }
    QCheckBox* mergeBox() const { return m_merge; }
    QCheckBox* paletteBox() const { return m_palette; }
    QCheckBox* cropBox() const { return m_crop; }

protected:
    void showEvent(QShowEvent* event) override;
    ExportResult runExport() override;

private:
    QPushButton* m_advanced = nullptr;
    QGroupBox* m_advancedGroup = nullptr;
    QLabel* m_coloursLabel = nullptr;
    QLabel* m_ditherLabel = nullptr;
    QComboBox* m_colours = nullptr;
    QComboBox* m_dither = nullptr;
    QGroupBox* m_optimizeGroup = nullptr;
    QCheckBox* m_merge = nullptr;
    QCheckBox* m_palette = nullptr;
    QCheckBox* m_crop = nullptr;
};

} // namespace kelto
