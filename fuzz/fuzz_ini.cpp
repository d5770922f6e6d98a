// Settings and language files are read from folders other people can write to; the reader
// must take any bytes, and whatever it read must survive being written and read again.
#include "settings/inifile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const kelto::IniFile ini = kelto::IniFile::fromBytes(bytes);
    const kelto::IniFile again = kelto::IniFile::fromBytes(ini.toBytes());
    if (again.sectionNames() != ini.sectionNames()) {
        __builtin_trap();
    }
    for (const QString& section : ini.sectionNames()) {
        const QStringList keys = ini.keys(section);
        if (again.keys(section) != keys) {
            __builtin_trap();
        }
        for (const QString& key : keys) {
            if (again.value(section, key) != ini.value(section, key)) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
