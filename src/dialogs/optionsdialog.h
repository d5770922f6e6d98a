#pragma once

#include "settings/appsettings.h"

#include <QDialog>
#include <QSize>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace kelto {

// The options dialog: animation size, onion skins, language and handle display. It is shown
// without blocking the main window; OK applies the changed values to the program-wide
// settings, Cancel and closing discard them.
class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    // What the dialog needs from the editor. Every hook is optional; without them the dialog
    // only edits the settings values (tests, or before the main window exists).
    struct Hooks {
        std::function<QSize()> animationSize; // the document's size; default: the settings'
        std::function<bool()> hasFrames;      // stored frames exist, so resizing must be asked
        std::function<bool(const QString& question)> askYesNo;      // captioned "Warning"
        std::function<void(int width, int height)> resizeAnimation; // stops playback first
        std::function<void()> refreshOnions;
        std::function<void()> redraw;                     // redraws the canvas unless playback runs
        std::function<void(const QString& message)> tell; // a message to read
        std::function<void(int steps)> undoDepth;         // the history's new depth
    };

    explicit OptionsDialog(QWidget* parent = nullptr);

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    // The language names offered, usually the language files found.
    void setLanguages(const QStringList& names);

    // Sets every control from the settings; the language list selects the entry equal to the
    // language (none when absent). Done on every showing.
    void showValues(const AppSettings& settings);

    // Sets the onion-skin controls alone, when the main window changed those settings while
    // the dialog is open.
    void showOnions(int count, bool ahead);

    // Sets the controls to the defaults; nothing is applied until OK.
    void restoreDefaults();

    // Applies the controls to settings as OK does, without hiding the dialog. Saves the
    // settings file and redraws when anything changed, and returns whether it did. A size
    // beyond what an animation may hold is told and nothing at all is applied; OK then keeps
    // the dialog open so the size can be corrected.
    bool applyTo(AppSettings& settings);

    // Takes every caption and hint from the phrase table.
    void applyLanguage();

    QSpinBox* widthEdit() const { return m_width; }
    QSpinBox* heightEdit() const { return m_height; }
    QSpinBox* onionEdit() const { return m_onion; }
    QCheckBox* aheadBox() const { return m_ahead; }
    QComboBox* languageBox() const { return m_language; }
    QCheckBox* handlesBox() const { return m_handles; }
    QSpinBox* undoDepthEdit() const { return m_undoDepth; }
    QSpinBox* autosaveEdit() const { return m_autosave; }
    QCheckBox* autosizeBox() const { return m_autosize; }
    QPushButton* defaultsButton() const { return m_defaults; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void okClicked();
    QSize currentAnimationSize(const AppSettings& settings) const;
    bool applySize(AppSettings& settings, int width, int height);
    bool sizeAllowed(int width, int height);
    bool m_sizeRefused = false;

    Hooks m_hooks;
    QGroupBox* m_sizeGroup = nullptr;
    QGroupBox* m_onionGroup = nullptr;
    QGroupBox* m_languageGroup = nullptr;
    QGroupBox* m_handlesGroup = nullptr;
    QGroupBox* m_undoGroup = nullptr;
    QSpinBox* m_undoDepth = nullptr;
    QGroupBox* m_autosaveGroup = nullptr;
    QSpinBox* m_autosave = nullptr;
    QLabel* m_widthLabel = nullptr;
    QLabel* m_heightLabel = nullptr;
    QSpinBox* m_width = nullptr;
    QSpinBox* m_height = nullptr;
    QSpinBox* m_onion = nullptr;
    QCheckBox* m_ahead = nullptr;
    QComboBox* m_language = nullptr;
    QCheckBox* m_handles = nullptr;
    QCheckBox* m_autosize = nullptr;
    QPushButton* m_defaults = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace kelto
