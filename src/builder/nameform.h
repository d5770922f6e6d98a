#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kelto {

// "Figure Name": asks for the name of a figure type being added to the animation. OK on an
// empty edit still yields a name ("Figure type" and the type count); closing the dialog any
// other way empties the edit, which the caller takes as cancelled.
class NameForm : public QDialog {
    Q_OBJECT
public:
    explicit NameForm(QWidget* parent = nullptr);

    // The document's type count (the builder's entry included), for the name an empty OK gets.
    void setTypeCount(int count) { m_typeCount = count; }

    // Runs the dialog modally; returns the name, empty when cancelled. The edit is cleared for
    // the next time.
    QString askName(int typeCount);

    QLineEdit* edit() const { return m_edit; }
    QPushButton* okButton() const { return m_ok; }

    void retranslate();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLabel* m_label;
    QLineEdit* m_edit;
    QPushButton* m_ok;
    bool m_okPressed = false;
    int m_typeCount = 2;
};

} // namespace kelto
