#include "editor/qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTranslator>

#include <memory>

namespace kelto {

namespace {

std::unique_ptr<QTranslator>& installed() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

bool isLocaleCode(const QString& code) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z]{2,3}(_[A-Za-z]{2,4})?$"));
    return pattern.match(code).hasMatch();
}

} // namespace

QString qtTranslationsFolder() {
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool useQtTranslations(const QString& localeCode) {
    std::unique_ptr<QTranslator>& current = installed();
    if (current) {
        QCoreApplication::removeTranslator(current.get());
        current.reset();
    }
    const QString code = localeCode.trimmed();
    if (!isLocaleCode(code) || code.startsWith(QLatin1String("en"), Qt::CaseInsensitive)) {
        return false;
    }
    auto translator = std::make_unique<QTranslator>();
    // "qtbase_pt_BR" falls back to "qtbase_pt" inside load().
    if (!translator->load(QStringLiteral("qtbase_") + code, qtTranslationsFolder()) ||
        !QCoreApplication::installTranslator(translator.get())) {
        return false;
    }
    current = std::move(translator);
    return true;
}

} // namespace kelto
