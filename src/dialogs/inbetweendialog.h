#pragma once

#include "model/tween.h"

#include <QDialog>

class QComboBox;
class QPushButton;
class QSpinBox;

namespace kelto {

// The choice of how many in-betweens to insert and how they are eased. It says when either
// changes, so the window can show the middle in-between while the dialog is open.
class InbetweenDialog : public QDialog {
    Q_OBJECT
public:
    explicit InbetweenDialog(QWidget* parent = nullptr);

    int count() const;
    Easing easing() const;
    void setChoice(int count, Easing easing);

    QSpinBox* countBox() const { return m_count; }
    QComboBox* easingBox() const { return m_easing; }
    QPushButton* okButton() const { return m_ok; }

Q_SIGNALS:
    void choiceChanged();

private:
    QSpinBox* m_count = nullptr;
    QComboBox* m_easing = nullptr;
    QPushButton* m_ok = nullptr;
};

// Which in-between of count stands in the middle (numbered from 1): the one at half time for
// an odd count, the earlier of the two middle ones for an even count.
inline int middleInbetween(int count) {
    return (count + 1) / 2;
}

} // namespace kelto
