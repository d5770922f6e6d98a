#pragma once

#include "export/aviwriter.h"

#include <QDialog>

#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace kelto {

// Chooses the encoder a compressed AVI is written with, from those this FFmpeg build offers.
// The choice stays selected for the next export.
class AviCompressionDialog : public QDialog {
    Q_OBJECT
public:
    explicit AviCompressionDialog(QWidget* parent = nullptr);

    // Lists these encoders, keeping the chosen one selected when it is among them.
    void setCodecs(const std::vector<AviCodec>& codecs);
    // The selected encoder's FFmpeg name; empty when none is selected.
    std::string chosenCodec() const;

    QListWidget* codecList() const { return m_list; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

    void applyLanguage();

private:
    std::vector<AviCodec> m_codecs;
    QListWidget* m_list = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace kelto
