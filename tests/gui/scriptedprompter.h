#pragma once

#include "dialogs/prompter.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>

namespace kelto::testing {

// Answers questions and file choices from a script and records everything it was shown.
// Running out of scripted answers answers No / cancels, so a test never blocks.
class ScriptedPrompter : public Prompter {
public:
    std::deque<Answer> answers;
    std::deque<QStringList> openNames;
    std::deque<QString> saveNames;
    std::deque<int> saveFilters;
    std::deque<uint32_t> colours;

    QStringList questions;     // texts of ask()
    QStringList messages;      // texts of tell() and inform()
    QList<bool> cancelOffered; // per question, whether Cancel was offered
    QStringList folders;       // the starting folder of every file dialog
    QStringList captions;      // per question, its caption

    Answer ask(const QString& text, bool withCancel, QuestionCaption caption) override {
        questions << text;
        cancelOffered << withCancel;
        captions << (caption == QuestionCaption::Information ? "Information" : "Warning");
        return take(answers, Answer::No);
    }
    void tell(const QString& text) override { messages << text; }
    void inform(const QString& text) override { messages << text; }
    QStringList openFileNames(const QString&, const QString& folder, const QString&, bool,
                              bool) override {
        folders << folder;
        return take(openNames, QStringList{});
    }
    QString saveFileName(const QString&, const QString& folder, const QString&, const QString&,
                         int* selectedFilter) override {
        folders << folder;
        if (selectedFilter) {
            *selectedFilter = take(saveFilters, 0);
        }
        return take(saveNames, QString{});
    }
    std::optional<uint32_t> chooseColour(uint32_t) override {
        if (colours.empty()) {
            return std::nullopt;
        }
        return take(colours, 0u);
    }

private:
    template <class T>
    static T take(std::deque<T>& queue, T fallback) {
        if (queue.empty()) {
            return fallback;
        }
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};

} // namespace kelto::testing
