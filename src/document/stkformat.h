#pragma once

#include "graphics/bytestream.h"
#include "model/figuretype.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kelto {

// The current figure-type file version, written as the first byte of every file we save.
inline constexpr uint8_t kStkVersion = 121;
inline constexpr uint8_t kStkV3FirstByte = 0x78; // a zlib header: the whole file is one stream

// The form of a figure-type record: the older one carries no ImageReversed byte and stores its
// pictures column by column.
enum class RecordForm { Current, Older };

// Appends the current-form record of a type.
void writeFigureTypeRecord(ByteWriter& out, const FigureType& type);
// Reads a record into a fresh type and checks it: a damaged record throws KeltoError.
FigureType readFigureTypeRecord(ByteReader& in, RecordForm form);

// How a figure-type file was stored, named the way the preview shows it.
struct StkFileInfo {
    uint8_t firstByte = 0;
    std::string generation; // "V2", "V3", "V4" or "" for the unnamed versions 2..119
};

// A whole .stk file: the byte 121, then one zlib stream of the current-form record.
std::vector<uint8_t> writeStkFile(const FigureType& type);

struct StkV2Bytes {
    std::vector<uint8_t> bytes;
    bool modified = false; // pictures or filled/hollow circles had to be turned into V2 kinds
};
// The uncompressed, picture-less V2 file.
StkV2Bytes writeStkV2File(const FigureType& type);

// Parses a .stk file of any generation; throws KeltoError (the not-compatible message for a
// version above 121, the damaged-file message otherwise).
FigureType readStkFile(const std::vector<uint8_t>& bytes, StkFileInfo* info = nullptr);

std::string stkGenerationName(uint8_t firstByte);

// Files on disk. Saving replaces the file through a temporary beside it. saveStkFileV2 returns
// whether data had to be modified, so the caller can show the conversion notice.
void saveStkFile(const FigureType& type, const std::string& path);
bool saveStkFileV2(const FigureType& type, const std::string& path);
FigureType loadStkFile(const std::string& path, StkFileInfo* info = nullptr);

} // namespace kelto
