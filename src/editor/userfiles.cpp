#include "editor/userfiles.h"

#include "settings/multilang.h"

#include <QFile>

namespace kelto {

std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString translatedMessage(const std::string& message) {
    const QString text = QString::fromStdString(message);
    for (int v = 0; v < PhraseCount; ++v) {
        const auto phrase = phraseFromValue(v);
        if (phrase && englishPhrase(*phrase) == text) {
            return getPhrase(*phrase);
        }
    }
    return text;
}

} // namespace kelto
