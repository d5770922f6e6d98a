#include "settings/inifile.h"

#include "base/error.h"
#include "settings/atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace kelto {

namespace {

QString decodeText(const QByteArray& bytes) {
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) {
        view = view.sliced(3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError()) {
        return text;
    }
    // Older language files were written in a Western 8-bit code page; Latin-1 maps every byte.
    return QString::fromLatin1(view);
}

// Traditional INI readers drop one pair of matching quotes around a value; the writer adds
// them when the value would otherwise lose leading or trailing blanks or its own quotes.
QString unquote(QStringView value) {
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first) {
            return value.sliced(1, value.size() - 2).toString();
        }
    }
    return value.toString();
}

QString encodeValue(const QString& value) {
    QString text = value;
    // A line break would end the entry early and turn the rest into a stray line.
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    const bool needsQuotes =
        !text.isEmpty() && (text.front().isSpace() || text.back().isSpace() ||
                            (text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') &&
                             text.back() == text.front()));
    return needsQuotes ? QLatin1Char('"') + text + QLatin1Char('"') : text;
}

} // namespace

IniFile IniFile::fromBytes(const QByteArray& bytes) {
    IniFile ini;
    const QString text = decodeText(bytes);
    qsizetype current = -1;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r') {
            ++end;
        }
        ini.parseLine(QStringView(text).sliced(start, end - start), current);
        if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n') {
            ++end;
        }
        start = end + 1;
    }
    return ini;
}

void IniFile::parseLine(QStringView line, qsizetype& current) {
    line = line.trimmed();
    if (line.isEmpty() || line.front() == u';' || line.front() == u'#') {
        return;
    }
    if (line.front() == u'[') {
        const qsizetype close = line.indexOf(u']');
        const QString name =
            line.sliced(1, (close < 0 ? line.size() : close) - 1).trimmed().toString();
        // A repeated section continues the first one, so its keys stay reachable.
        current = addSection(name);
        return;
    }
    const qsizetype equals = line.indexOf(u'=');
    if (current < 0 || equals <= 0) {
        return; // entries before any section and lines without a key are ignored
    }
    const QString key = line.first(equals).trimmed().toString();
    Section& section = m_sections[static_cast<std::size_t>(current)];
    const QString folded = key.toCaseFolded();
    if (key.isEmpty() || section.index.contains(folded)) {
        return;
    }
    section.index.insert(folded, section.entries.size());
    section.entries.push_back({key, unquote(line.sliced(equals + 1).trimmed())});
}

std::optional<IniFile> IniFile::load(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        throw KeltoError(ErrorCode::ReadFailed,
                         path.toStdString() + ": " + file.errorString().toStdString());
    }
    if (file.size() > maxFileBytes) {
        throw KeltoError("The file " + path.toStdString() + " is too large");
    }
    // Read at most one byte beyond the limit: a file that grows while being read is refused too.
    const QByteArray bytes = file.read(maxFileBytes + 1);
    if (bytes.size() > maxFileBytes) {
        throw KeltoError("The file " + path.toStdString() + " is too large");
    }
    return fromBytes(bytes);
}

QByteArray IniFile::toBytes() const {
    QString text;
    for (std::size_t i = 0; i < m_sections.size(); ++i) {
        if (i > 0) {
            text += QLatin1Char('\n');
        }
        text += QLatin1Char('[') + m_sections[i].name + QLatin1String("]\n");
        for (const Entry& entry : m_sections[i].entries) {
            text += entry.key + QLatin1Char('=') + encodeValue(entry.value) + QLatin1Char('\n');
        }
    }
    return text.toUtf8();
}

void IniFile::save(const QString& path) const {
    const QByteArray bytes = toBytes();
    writeFileReplacing(QFile::encodeName(path).toStdString(), bytes.constData(),
                       size_t(bytes.size()));
}

qsizetype IniFile::findSection(const QString& name) const {
    return m_sectionIndex.value(name.toCaseFolded(), -1);
}

qsizetype IniFile::addSection(const QString& name) {
    const qsizetype found = findSection(name);
    if (found >= 0) {
        return found;
    }
    m_sections.push_back({name, {}, {}});
    const auto added = static_cast<qsizetype>(m_sections.size() - 1);
    m_sectionIndex.insert(name.toCaseFolded(), added);
    return added;
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const {
    const qsizetype found = findSection(section);
    if (found < 0) {
        return std::nullopt;
    }
    const Section& target = m_sections[static_cast<std::size_t>(found)];
    const auto entry = target.index.constFind(key.toCaseFolded());
    if (entry == target.index.cend()) {
        return std::nullopt;
    }
    return target.entries[entry.value()].value;
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value) {
    Section& target = m_sections[static_cast<std::size_t>(addSection(section))];
    const QString folded = key.toCaseFolded();
    const auto entry = target.index.constFind(folded);
    if (entry != target.index.cend()) {
        target.entries[entry.value()].value = value;
        return;
    }
    target.index.insert(folded, target.entries.size());
    target.entries.push_back({key, value});
}

QStringList IniFile::sectionNames() const {
    QStringList names;
    for (const Section& section : m_sections) {
        names.append(section.name);
    }
    return names;
}

QStringList IniFile::keys(const QString& section) const {
    QStringList names;
    const qsizetype found = findSection(section);
    if (found >= 0) {
        for (const Entry& entry : m_sections[static_cast<std::size_t>(found)].entries) {
            names.append(entry.key);
        }
    }
    return names;
}

} // namespace kelto
