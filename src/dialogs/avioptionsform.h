#pragma once

#include "dialogs/exportoptionsform.h"
#include "export/exportoptions.h"

#include <functional>
#include <optional>
#include <string>

class QCheckBox;

namespace kelto {

class AviCompressionDialog;

// "Avi Video Options": the size fields and "Compress". With Compress, OK first asks for the
// encoder; cancelling that ends the export before any file is made.
class AviOptionsForm : public ExportOptionsForm {
    Q_OBJECT
public:
    AviOptionsForm(ProgressForm& progress, QWidget* parent = nullptr);

    void applyLanguage() override;
    // The options as the fields stand; the codec is the last one chosen.
    AviExportOptions options() const;

    QCheckBox* compressBox() const { return m_compress; }
    AviCompressionDialog* compressionDialog() const { return m_compression; }

protected:
    bool beforeExport() override;
    ExportResult runExport() override;

private:
    // The encoder to compress with, asked of the user; nothing when cancelled.
    std::optional<std::string> chooseCodec();

    QCheckBox* m_compress = nullptr;
    AviCompressionDialog* m_compression = nullptr;
    std::string m_codec;
};

} // namespace kelto
