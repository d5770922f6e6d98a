#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class QWidget;

namespace kelto {

enum class Answer { Yes, No, Cancel };

enum class QuestionCaption { Warning, Information };

// Every question, notice and file or colour choice the program puts to the user goes through
// this one interface: the app shows Qt dialogs, tests script the answers, so no test ever waits
// on a modal dialog.
class Prompter {
public:
    virtual ~Prompter() = default;

    // A question with Yes/No buttons (Yes/No/Cancel when withCancel), captioned "Warning" or,
    // for a mere offer, "Information".
    virtual Answer ask(const QString& text, bool withCancel = false,
                       QuestionCaption caption = QuestionCaption::Warning) = 0;
    // A plain message box.
    virtual void tell(const QString& text) = 0;
    // A notice captioned "Information".
    virtual void inform(const QString& text) = 0;
    // File names to open; empty when cancelled. filter uses Qt's "Text (*.ext);;..." form.
    // picturePreview asks for the dialog with a preview pane.
    virtual QStringList openFileNames(const QString& caption, const QString& folder,
                                      const QString& filter, bool multiple,
                                      bool picturePreview = false) = 0;
    // A file name to save to; empty when cancelled. selectedFilter, when given, receives the
    // index of the chosen filter (0 = first).
    virtual QString saveFileName(const QString& caption, const QString& folder,
                                 const QString& filter, const QString& defaultSuffix,
                                 int* selectedFilter = nullptr) = 0;
    // A colour (0x00BBGGRR); nothing when cancelled.
    virtual std::optional<uint32_t> chooseColour(uint32_t initial) = 0;
};

// Qt dialogs owned by parent.
class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    Answer ask(const QString& text, bool withCancel = false,
               QuestionCaption caption = QuestionCaption::Warning) override;
    void tell(const QString& text) override;
    void inform(const QString& text) override;
    QStringList openFileNames(const QString& caption, const QString& folder, const QString& filter,
                              bool multiple, bool picturePreview = false) override;
    QString saveFileName(const QString& caption, const QString& folder, const QString& filter,
                         const QString& defaultSuffix, int* selectedFilter = nullptr) override;
    std::optional<uint32_t> chooseColour(uint32_t initial) override;

private:
    QWidget* m_parent;
};

// The program-wide prompter: the app installs a QtPrompter, tests a scripted one.
Prompter& prompter();
void setPrompter(Prompter* prompter);

} // namespace kelto
