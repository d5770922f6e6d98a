#pragma once

#include "document/document.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kelto {

inline constexpr uint8_t kKelVersion = 4;

// What a load may hold is estimated as the record is read (figures with their joints and poses,
// frames, pictures, types) and refused with kMsgKelTooLarge beyond the larger of a floor and a
// multiple of the input's size: a small file cannot make the program take gigabytes, and a large
// animation still loads.
inline constexpr size_t kMinLoadBudget = size_t(384) << 20;
inline constexpr size_t kLoadBudgetPerInputByte = 64;

// The version-4 document record of the whole document (before compression).
std::vector<uint8_t> writeDocumentRecord(const Document& doc);

// The same record in parts, for writers that gather it a piece at a time: everything before the
// frames (ending with the frame count given), one frame appended to out, and everything after
// the frames. Head, frames and tail together are the bytes writeDocumentRecord gives.
std::vector<uint8_t> writeRecordHead(const Document& doc, int frameCount);
void appendFrameRecord(const Document& doc, const Figures& frame, std::vector<uint8_t>& out);
std::vector<uint8_t> writeRecordTail(const Document& doc);

// The version-4 record of the frames marked TimelineSelected, as "Save Selected" and Copy
// write it: only the backgrounds and types those frames use, numbered in the order the frames
// were selected (selectionOrder; marked frames missing from it follow in frame order), and the
// frames in frame order. Empty when no frame is marked.
std::vector<uint8_t> writeSelectedFramesRecord(const Document& doc,
                                               const std::vector<int>& selectionOrder);

// The second built-in stick figure that version-2 files bring in as "Default 2".
FigureType createDefaultTwoType();

// The version byte of a record, or of a file's first byte after decompression.
bool isReadableKelVersion(uint8_t version);

// Parses a document record of version 2, 3 or 4 into a new document. Bytes after the record
// are ignored. Throws KeltoError: the not-compatible message for an unknown version, the
// damaged-file message (with a detail) for anything else that is wrong.
Document readDocumentRecord(const uint8_t* data, size_t size);
inline Document readDocumentRecord(const std::vector<uint8_t>& bytes) {
    return readDocumentRecord(bytes.data(), bytes.size());
}

// A whole .kel file: the zlib stream of a record, parsed while it is inflated, so that nonsense
// is refused within the first bytes that make none.
std::vector<uint8_t> writeKelFile(const Document& doc);
// Whether inflating runs on a thread of its own beside the parsing. Automatic does so for
// compressed files of kInflateAheadFrom bytes and more; the result is the same either way.
enum class InflateThread { Automatic, Never, Always };
Document readKelFile(const std::vector<uint8_t>& fileBytes,
                     InflateThread thread = InflateThread::Automatic);

// Receives the frames of a record one at a time, with the document as read so far (its types,
// backgrounds and last figure id).
using FrameSink = std::function<void(const Figures& frame, const Document& doc)>;
// Reads a .kel file like readKelFile but hands each frame to the sink instead of keeping it,
// so that a file can be described without holding all of it. The document returned has no
// frames; the rest is as read.
Document scanKelFile(const std::vector<uint8_t>& fileBytes, const FrameSink& sink);
// The version byte at the start of a .kel file's record; throws KeltoError when the file is not
// a zlib stream.
uint8_t peekKelVersion(const std::vector<uint8_t>& fileBytes);

// The path without its extension (the part after the last dot of the file name).
std::string removeExtension(const std::string& path);

// Saves the whole document to pathWithoutExtension + ".kel" through a temporary file, then
// marks it saved under that name. Throws KeltoError (nothing written, nothing marked) on any
// failure, including a document without frames.
void saveAnimation(Document& doc, const std::string& pathWithoutExtension);
// Saves the marked frames to pathWithoutExtension + ".kel". The document stays as it is: a
// part saved elsewhere does not make the whole document saved. Returns false, writing
// nothing, when no frame is marked.
bool saveSelectedFrames(const Document& doc, const std::string& pathWithoutExtension,
                        const std::vector<int>& selectionOrder);
// Reads a .kel file into a new document, marked saved under the path. The caller replaces its
// document with it (Document::adoptLoaded) only when this returns.
Document loadAnimation(const std::string& path);

} // namespace kelto
