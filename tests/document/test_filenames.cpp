#include "document/filenames.h"
#include "document/kelformat.h"
#include "document/stkformat.h"
#include "fixtures.h"

#include <gtest/gtest.h>

#include <string>

using namespace kelto;
using namespace kelto::test;

namespace {

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) {
        s.push_back(char(b));
    }
    return s;
}

// A version-4 record with one stored type under a name given as raw file bytes, and one empty
// frame.
std::vector<uint8_t> recordWithTypeName(const std::string& rawName) {
    ByteWriter w;
    w.put<uint8_t>(4);
    w.put<int32_t>(300);
    w.put<int32_t>(200);
    w.put<uint8_t>(1);
    w.put<uint16_t>(3);
    writeFigureTypeRecord(w, chainType(1));
    w.put<uint8_t>(uint8_t(rawName.size()));
    w.putBytes(rawName.data(), rawName.size());
    w.put<int32_t>(1);
    w.put<uint16_t>(1);
    w.put<uint8_t>(0);
    w.put<uint16_t>(0);
    w.put<int32_t>(100);
    return w.bytes();
}

// The name bytes as a written record holds them: right after the one stored type's record.
std::string writtenTypeName(const Document& doc) {
    const std::vector<uint8_t> record = writeDocumentRecord(doc);
    ByteWriter type;
    writeFigureTypeRecord(type, doc.figureType(2));
    const size_t at = 1 + 4 + 4 + 1 + 2 + type.size();
    const size_t n = record.at(at);
    return std::string(reinterpret_cast<const char*>(record.data() + at + 1), n);
}

} // namespace

// Bytes of the code page's upper control range and of Latin-1 read as their characters.
TEST(FileNames, WindowsBytesReadAsTheirCharacters) {
    EXPECT_EQ(nameFromFileBytes(bytes({0x80})), "\xE2\x82\xAC");           // euro sign
    EXPECT_EQ(nameFromFileBytes(bytes({0x84})), "\xE2\x80\x9E");           // low quotes
    EXPECT_EQ(nameFromFileBytes(bytes({0x85})), "\xE2\x80\xA6");           // ellipsis
    EXPECT_EQ(nameFromFileBytes(bytes({0x8A, 0x9F})), "\xC5\xA0\xC5\xB8"); // S caron, Y diaeresis
    EXPECT_EQ(nameFromFileBytes(bytes({'C', 'a', 'f', 0xE9})), "Caf\xC3\xA9");
    EXPECT_EQ(nameFromFileBytes(bytes({0xA0, 0xFF})), "\xC2\xA0\xC3\xBF");
    // The undefined codes keep their value as control characters.
    EXPECT_EQ(nameFromFileBytes(bytes({0x81, 0x9D})), "\xC2\x81\xC2\x9D");
}

// Every byte string of the code page comes back unchanged through the program's text.
TEST(FileNames, EveryByteRoundTrips) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all.push_back(char(b));
    }
    const std::string firstHalf = all.substr(0, 128), secondHalf = all.substr(128);
    EXPECT_EQ(nameToFileBytes(nameFromFileBytes(firstHalf)), firstHalf);
    EXPECT_EQ(nameToFileBytes(nameFromFileBytes(secondHalf)), secondHalf);
    EXPECT_TRUE(isStorableName(nameFromFileBytes(secondHalf)));
}

TEST(FileNames, WritingCutsTo255BytesAndReplacesWhatTheCodePageLacks) {
    std::string longName;
    for (int i = 0; i < 300; ++i) {
        longName += "\xC3\xA9"; // 300 characters, 600 UTF-8 bytes
    }
    EXPECT_EQ(nameToFileBytes(longName), std::string(255, char(0xE9)));

    const std::string cyrillic = "\xD0\x96uk"; // Zhe, then "uk"
    EXPECT_FALSE(isStorableName(cyrillic));
    EXPECT_EQ(nameToFileBytes(cyrillic), "?uk");
    EXPECT_EQ(storableName(cyrillic), "?uk");
    EXPECT_EQ(nameToFileBytes("\xF0\x9F\x98\x80"), "?"); // one character outside the BMP
    EXPECT_EQ(nameToFileBytes("a\xFF"
                              "b"),
              "a?b"); // broken UTF-8

    // An accent typed as a separate mark is composed first.
    EXPECT_TRUE(isStorableName("e\xCC\x81"));
    EXPECT_EQ(nameToFileBytes("e\xCC\x81"), bytes({0xE9}));
}

// The .kel reader and writer convert at the file boundary: the document holds UTF-8.
TEST(FileNames, AnimationFilesHoldWindowsBytes) {
    const Document read = readDocumentRecord(recordWithTypeName(bytes({0x80, 'u', 'r', 'o'})));
    ASSERT_EQ(read.figureTypeCount(), 3);
    EXPECT_EQ(read.figureTypeName(2), "\xE2\x82\xAC"
                                      "uro");
    EXPECT_EQ(writtenTypeName(read), bytes({0x80, 'u', 'r', 'o'}));

    // A 255-byte name (the most a length byte holds) reads as 255 characters.
    const Document full = readDocumentRecord(recordWithTypeName(std::string(255, char(0xE9))));
    std::string expected;
    for (int i = 0; i < 255; ++i) {
        expected += "\xC3\xA9";
    }
    EXPECT_EQ(full.figureTypeName(2), expected);

    // A name too long for the length byte is cut to 255 bytes, not to the length's low byte.
    Document doc(300, 200);
    doc.addFigureType(chainType(1), std::string(300, 'n'));
    doc.frames.push_back(frameOf({}));
    EXPECT_EQ(writtenTypeName(doc), std::string(255, 'n'));
    EXPECT_EQ(readKelFile(writeKelFile(doc)).figureTypeName(2), std::string(255, 'n'));

    // A character the code page lacks is written as '?'.
    Document other(300, 200);
    other.addFigureType(chainType(1), "\xD0\x96");
    other.frames.push_back(frameOf({}));
    EXPECT_EQ(writtenTypeName(other), "?");
}

// Frames copied by an older program carry Windows bytes; a paste finds the document's own
// type of that name instead of adding a twin.
TEST(FileNames, PastedNamesMatchTheDocumentsNames) {
    Document doc(300, 200);
    doc.addFigureType(chainType(1), "\xE2\x82\xAC"
                                    "uro");
    doc.frames.push_back(frameOf({}));
    const std::vector<uint8_t> record = recordWithTypeName(bytes({0x80, 'u', 'r', 'o'}));
    const PasteResult result = doc.pasteFrames(record.data(), record.size(), 1, false);
    ASSERT_EQ(result.status, PasteStatus::Pasted);
    EXPECT_EQ(doc.frameCount(), 2);
    EXPECT_EQ(doc.figureTypeCount(), 3);
}
