#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace kelto {

// The about box: program name, version and date of this build.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
    void applyLanguage();

private:
    QLabel* m_title = nullptr;
    QLabel* m_details = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace kelto
