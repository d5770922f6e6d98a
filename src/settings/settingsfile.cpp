#include "settings/settingsfile.h"

#include "base/error.h"
#include "document/animationsize.h"
#include "settings/datafolders.h"
#include "settings/inifile.h"
#include "settings/paths.h"

#include <QDir>
#include <QFileInfo>

namespace kelto {

namespace {

const QString section = QString::fromLatin1(settingsSection);
const QString editorSection = QStringLiteral("Kelto.Editor");
constexpr int kMaxUndoSteps = 10000;
const QString autosaveSection = QStringLiteral("Kelto.Autosave");

// Reads the raw values of one file and applies the defaults and acceptance rules.
class SettingsReader {
public:
    explicit SettingsReader(const IniFile& ini) : m_ini(ini) {}

    int integer(const char* key, int fallback, int lowest, int highest) const {
        bool ok = false;
        const int value = text(key).trimmed().toInt(&ok, 10);
        return ok && value >= lowest && value <= highest ? value : fallback;
    }

    bool boolean(const char* key, bool fallback) const {
        bool ok = false;
        const int value = text(key).trimmed().toInt(&ok, 10);
        return ok ? value != 0 : fallback;
    }

    std::string string(const char* key, const std::string& fallback) const {
        const QString value = text(key);
        return value.isEmpty() ? fallback : value.toStdString();
    }

private:
    QString text(const char* key) const {
        return m_ini.value(section, QString::fromLatin1(key)).value_or(QString());
    }

    const IniFile& m_ini;
};

AppSettings fromIni(const IniFile& ini) {
    const SettingsReader read(ini);
    const AppSettings defaults = defaultSettings();
    AppSettings s;
    s.animWidth = read.integer("DimX", defaults.animWidth, kMinOptionsSide, kMaxOptionsSide);
    s.animHeight = read.integer("DimY", defaults.animHeight, kMinOptionsSide, kMaxOptionsSide);
    if (!isAnimationSizeAllowed(s.animWidth, s.animHeight)) {
        // Each side fits but together they are more than an animation may hold.
        s.animWidth = defaults.animWidth;
        s.animHeight = defaults.animHeight;
    }
    s.numOnion = read.integer("NumOnion", defaults.numOnion, 0, 9);
    s.onionAhead = read.boolean("OnionAhead", defaults.onionAhead);
    s.language = read.string("Language", defaults.language);
    s.showHandles = read.boolean("ShowHandles", defaults.showHandles);
    s.shrinkHandlesClose = read.boolean("ShrinkHandlesClose", defaults.shrinkHandlesClose);
    s.frameRate = read.integer("FrameRate", defaults.frameRate, 30, 150);
    s.minHandleSize = read.integer("MinHandleSize", defaults.minHandleSize, 2, 30);
    s.maxHandleSize = read.integer("MaxHandleSize", defaults.maxHandleSize, 2, 30);
    s.kelDir = read.string("KelDir", defaults.kelDir);
    s.stkDir = read.string("StkDir", defaults.stkDir);
    bool ok = false;
    const int depth = ini.value(editorSection, QStringLiteral("UndoDepth"))
                          .value_or(QString())
                          .trimmed()
                          .toInt(&ok, 10);
    s.undoDepth = ok && depth >= 1 && depth <= kMaxUndoSteps ? depth : defaults.undoDepth;
    const int interval = ini.value(autosaveSection, QStringLiteral("Interval"))
                             .value_or(QString())
                             .trimmed()
                             .toInt(&ok, 10);
    s.autosaveSeconds = ok && interval >= 0 && interval <= kMaxAutosaveSeconds
                            ? interval
                            : defaults.autosaveSeconds;
    s.recentFiles = RecentFiles::fromIni(ini);
    return s;
}

QString number(int value) {
    return QString::number(value);
}
QString flag(bool value) {
    return value ? QStringLiteral("1") : QStringLiteral("0");
}
QString text(const std::string& value) {
    return QString::fromStdString(value);
}

} // namespace

QString settingsFilePath() {
    return settingsFolder() + QString::fromLatin1(settingsFileName);
}

AppSettings defaultSettings() {
    AppSettings s;
    s.kelDir = defaultDataFolder(QStringLiteral("animations")).toStdString();
    s.stkDir = defaultDataFolder(QStringLiteral("stick figures")).toStdString();
    return s;
}

AppSettings readSettings(const QString& path) {
    try {
        const std::optional<IniFile> ini = IniFile::load(path);
        return ini ? fromIni(*ini) : defaultSettings();
    } catch (const std::exception& e) {
        noteRecoveredFailure(e, "LoadSettings");
        return defaultSettings();
    }
}

void writeSettings(const AppSettings& s, const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    IniFile ini;
    ini.setValue(section, QStringLiteral("DimX"), number(s.animWidth));
    ini.setValue(section, QStringLiteral("DimY"), number(s.animHeight));
    ini.setValue(section, QStringLiteral("NumOnion"), number(s.numOnion));
    ini.setValue(section, QStringLiteral("OnionAhead"), flag(s.onionAhead));
    ini.setValue(section, QStringLiteral("Language"), text(s.language));
    ini.setValue(section, QStringLiteral("ShowHandles"), flag(s.showHandles));
    ini.setValue(section, QStringLiteral("ShrinkHandlesClose"), flag(s.shrinkHandlesClose));
    ini.setValue(section, QStringLiteral("FrameRate"), number(s.frameRate));
    ini.setValue(section, QStringLiteral("MinHandleSize"), number(s.minHandleSize));
    ini.setValue(section, QStringLiteral("MaxHandleSize"), number(s.maxHandleSize));
    ini.setValue(section, QStringLiteral("KelDir"), text(s.kelDir));
    ini.setValue(section, QStringLiteral("StkDir"), text(s.stkDir));
    if (s.undoDepth != AppSettings{}.undoDepth) {
        ini.setValue(editorSection, QStringLiteral("UndoDepth"), number(s.undoDepth));
    }
    if (s.autosaveSeconds != AppSettings{}.autosaveSeconds) {
        ini.setValue(autosaveSection, QStringLiteral("Interval"), number(s.autosaveSeconds));
    }
    s.recentFiles.toIni(ini);
    ini.save(path);
}

QString storedLanguage(const QString& path) {
    try {
        const std::optional<IniFile> ini = IniFile::load(path);
        return ini ? ini->value(section, QStringLiteral("Language")).value_or(QString()).trimmed()
                   : QString();
    } catch (const std::exception& e) {
        noteRecoveredFailure(e, "StoredLanguage");
        return QString();
    }
}

void loadSettings() {
    appSettings() = readSettings(settingsFilePath());
}

void saveSettings() {
    writeSettings(appSettings(), settingsFilePath());
}

} // namespace kelto
