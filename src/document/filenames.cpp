#include "document/filenames.h"

#include <QList>
#include <QString>

#include <array>

namespace kelto {

namespace {

// Unicode of the bytes 0x80-0x9F; the rest of the code page is Latin-1. The undefined codes
// keep their own value.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

char16_t unicodeOf(uint8_t byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : char16_t(byte);
}

// The byte of a character, or -1 when the code page has none.
int byteOf(uint c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return int(c);
    }
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == c) {
            return int(0x80 + i);
        }
    }
    return -1;
}

QString composed(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()))
        .normalized(QString::NormalizationForm_C);
}

} // namespace

std::string nameFromFileBytes(std::string_view bytes) {
    QString text;
    text.reserve(qsizetype(bytes.size()));
    for (char b : bytes) {
        text.append(QChar(unicodeOf(uint8_t(b))));
    }
    return text.toStdString();
}

std::string nameToFileBytes(std::string_view utf8) {
    std::string bytes;
    for (const uint c : composed(utf8).toUcs4()) {
        if (bytes.size() == kMaxStoredNameBytes) {
            break;
        }
        const int b = byteOf(c);
        bytes.push_back(b < 0 ? '?' : char(b));
    }
    return bytes;
}

bool isStorableName(std::string_view utf8) {
    for (const uint c : composed(utf8).toUcs4()) {
        if (byteOf(c) < 0) {
            return false;
        }
    }
    return true;
}

std::string storableName(std::string_view utf8) {
    return nameFromFileBytes(nameToFileBytes(utf8));
}

} // namespace kelto
