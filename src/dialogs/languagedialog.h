#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;

namespace kelto {

// The language choice offered at the very first start. OK switches to the chosen language;
// however the dialog closes, the settings are written so that it is not offered again.
class LanguageDialog : public QDialog {
    Q_OBJECT
public:
    explicit LanguageDialog(QWidget* parent = nullptr);

    void setLanguages(const QStringList& names);

    QComboBox* languageBox() const { return m_language; }
    QPushButton* okButton() const { return m_ok; }

    void applyLanguage();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QComboBox* m_language = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace kelto
