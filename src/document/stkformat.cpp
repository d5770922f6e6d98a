#include "document/stkformat.h"

#include "document/messages.h"
#include "document/picturerecords.h"
#include "document/zstream.h"
#include "graphics/imagecodecs.h"
#include "model/integrity.h"
#include "settings/atomicfile.h"

#include <cmath>
#include <cstring>

namespace kelto {

namespace {

// Sizes beyond this are no drawing anyone made; refusing them keeps every later computation of
// positions and bounds far inside the integer range.
constexpr double kMaxSegmentSize = 1e6;

[[noreturn]] void badRecord(const std::string& why) {
    throw KeltoError(ErrorCode::BadStkFile, why);
}

void checkTypeSizes(const FigureType& type) {
    for (const Segment& seg : type.segments) {
        if (!(std::fabs(seg.length) <= kMaxSegmentSize) ||
            !(std::fabs(seg.thickness) <= kMaxSegmentSize)) {
            badRecord("segment size out of range");
        }
    }
}

Segment readSegment(ByteReader& in) {
    Segment seg;
    in.getBytes(&seg, sizeof(Segment));
    return seg;
}

void writeSegment(ByteWriter& out, const Segment& seg) {
    out.putBytes(&seg, sizeof(Segment));
}

} // namespace

void writeFigureTypeRecord(ByteWriter& out, const FigureType& type) {
    out.put<uint8_t>(static_cast<uint8_t>(type.segmentCount()));
    bool anyPicture = false;
    for (int s = 0; s < type.segmentCount(); ++s) {
        const Segment& seg = type.segments[s];
        writeSegment(out, seg);
        if (seg.kind == skImage) {
            anyPicture = true;
            out.put<uint8_t>(type.imageRefs[s].imageIndex);
            out.put<uint8_t>(type.imageRefs[s].imageReversed);
        }
    }
    if (anyPicture) {
        out.put<uint8_t>(static_cast<uint8_t>(type.imageCount()));
        for (const Sprite& sprite : type.images) {
            writeSpriteRecord(out, sprite);
        }
    }
}

FigureType readFigureTypeRecord(ByteReader& in, RecordForm form) {
    const int count = in.get<uint8_t>();
    if (count == 0) {
        badRecord("a figure type without segments");
    }
    FigureType type;
    type.setSegmentCount(count);
    bool anyPicture = false;
    for (int s = 0; s < count; ++s) {
        type.segments[s] = readSegment(in);
        type.imageRefs[s] = ImageRef{};
        if (type.segments[s].kind == skImage) {
            anyPicture = true;
            type.imageRefs[s].imageIndex = in.get<uint8_t>();
            if (form == RecordForm::Current) {
                type.imageRefs[s].imageReversed = in.get<uint8_t>();
            }
        }
    }
    if (anyPicture) {
        const int pictures = in.get<uint8_t>();
        type.setImageCount(pictures);
        for (Sprite& sprite : type.images) {
            readSpriteRecord(in, sprite, form);
        }
    }
    // Joint numbers are checked before the joint table is built from them.
    for (const Segment& seg : type.segments) {
        if (seg.startJoint > count || seg.endJoint < 1 || seg.endJoint > count) {
            badRecord("joint number out of range");
        }
    }
    type.rebuildJoints();
    if (const std::string why = verifyFigureType(type); !why.empty()) {
        badRecord(why);
    }
    checkTypeSizes(type);
    return type;
}

std::string stkGenerationName(uint8_t firstByte) {
    if (firstByte <= 1) {
        return "V2";
    }
    if (firstByte == kStkV3FirstByte) {
        return "V3";
    }
    if (firstByte == kStkVersion) {
        return "V4";
    }
    return {};
}

std::vector<uint8_t> writeStkFile(const FigureType& type) {
    ByteWriter record;
    writeFigureTypeRecord(record, type);
    std::vector<uint8_t> packed = compressStream(record.bytes());
    std::vector<uint8_t> file;
    file.reserve(packed.size() + 1);
    file.push_back(kStkVersion);
    file.insert(file.end(), packed.begin(), packed.end());
    return file;
}

StkV2Bytes writeStkV2File(const FigureType& type) {
    StkV2Bytes result;
    ByteWriter out;
    out.put<uint8_t>(1);
    out.put<uint8_t>(static_cast<uint8_t>(type.segmentCount()));
    for (Segment seg : type.segments) {
        if (seg.kind == skImage) {
            seg.kind = skLine;
            seg.thickness = 0;
            result.modified = true;
        } else if (seg.kind == skFilledCircle || seg.kind == skHollowCircle) {
            seg.kind = skCircle;
            result.modified = true;
        }
        writeSegment(out, seg);
    }
    result.bytes = std::move(out.bytes());
    return result;
}

FigureType readStkFile(const std::vector<uint8_t>& bytes, StkFileInfo* info) {
    if (bytes.empty()) {
        badRecord("empty file");
    }
    const uint8_t first = bytes[0];
    if (first > kStkVersion) {
        throw KeltoError(ErrorCode::StkNotCompatible);
    }
    if (info) {
        info->firstByte = first;
        info->generation = stkGenerationName(first);
    }
    try {
        if (first <= 1) {
            ByteReader in(bytes);
            in.skip(1);
            return readFigureTypeRecord(in, RecordForm::Current);
        }
        // Parsed while it is inflated; the rest of the stream is still checked to its end.
        const bool whole = first == kStkV3FirstByte;
        const size_t skip = whole ? 0 : 1;
        InflateSource source(bytes.data() + skip, bytes.size() - skip);
        ByteReader in(source);
        if (whole) {
            in.skip(1);
        }
        FigureType type = readFigureTypeRecord(in, whole ? RecordForm::Older : RecordForm::Current);
        source.finish();
        return type;
    } catch (const KeltoError& e) {
        if (e.code() == ErrorCode::BadStkFile) {
            throw;
        }
        badRecord(damageDetail(e));
    }
}

void saveStkFile(const FigureType& type, const std::string& path) {
    writeFileReplacing(path, writeStkFile(type));
}

bool saveStkFileV2(const FigureType& type, const std::string& path) {
    const StkV2Bytes v2 = writeStkV2File(type);
    writeFileReplacing(path, v2.bytes);
    return v2.modified;
}

FigureType loadStkFile(const std::string& path, StkFileInfo* info) {
    return readStkFile(readWholeFile(path), info);
}

} // namespace kelto
