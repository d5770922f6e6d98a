#include "document/kelformat.h"

#include "document/filenames.h"
#include "document/messages.h"
#include "document/picturerecords.h"
#include "document/stkformat.h"
#include "document/zstream.h"
#include "graphics/bytestream.h"
#include "graphics/imagecodecs.h"
#include "model/integrity.h"
#include "settings/atomicfile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kelto {

namespace {

// Joints and drawn extents beyond this are refused, which keeps every later bounds computation
// inside the 32-bit range.
constexpr double kMaxExtent = 1e8;
constexpr double kMaxScaleMagnitude = 1e5;
constexpr double kOldAngleLimit = 100;

[[noreturn]] void badRecord(const std::string& why) {
    throw KeltoError(ErrorCode::BadKelFile, why);
}

// Backgrounds are held at the animation size, so the size bounds what a file can make us hold.
void checkSize(int32_t width, int32_t height) {
    if (!isAnimationSizeAllowed(width, height)) {
        badRecord("animation size out of range");
    }
}

// What a load may make us hold, estimated before it is allocated: the figures with their joints
// and poses, the frames, and the pictures and types as their records' bytes. A file's frames may
// be as large as its record, which a zlib stream can make a thousand times larger than the file,
// so the limit grows with the file and the small ones share a fixed floor.
class LoadBudget {
public:
    explicit LoadBudget(size_t inputSize)
        : m_limit(std::max(kMinLoadBudget, inputSize * kLoadBudgetPerInputByte)) {}

    void chargeBytes(size_t bytes) {
        m_used += bytes;
        check();
    }
    void chargeFrames(size_t count) {
        m_used += count * kFrameCost;
        check();
    }
    void chargeFigure(int segments) {
        m_used += kFigureCost;
        if (segments > static_cast<int>(kInlineSegments)) {
            m_used += 2 * kBlockCost + size_t(segments + 1) * sizeof(FigureJoint) +
                      size_t(segments) * sizeof(SegmentPose);
        }
        check(); // counts the figures accepted before this one, so "more than" holds
        ++m_figures;
    }
    // A frame that is handed on and not kept gives back what it held.
    size_t mark() const { return m_used; }
    void releaseTo(size_t mark) { m_used = mark; }

private:
    // Heap blocks carry about 16 bytes of bookkeeping each: a frame has two (figures and draw
    // order). A figure holds its joints and pose itself unless its type is larger than the
    // inline room; then they take two blocks of their own.
    static constexpr size_t kBlockCost = 16;
    static constexpr size_t kFrameCost = sizeof(Figures) + 2 * kBlockCost;
    static constexpr size_t kFigureCost = sizeof(Figure) + sizeof(uint16_t);

    void check() const {
        if (m_used > m_limit) {
            throw tooLargeError(m_figures);
        }
    }

    size_t m_limit;
    size_t m_used = 0;
    size_t m_figures = 0;
};

// ---------------------------------------------------------------------------------------------
// Writing

class RecordWriter {
public:
    // Maps a document background slot / type index to the number written; identity when empty.
    std::vector<uint8_t> backgroundNumber;
    std::vector<int> typeNumber;

    explicit RecordWriter(const Document& doc, bool reserve = true) : m_doc(doc) {
        if (reserve) {
            m_out.bytes().reserve(estimate());
        }
    }

    void writeHeader() {
        // Never write what the reader would refuse.
        if (!isAnimationSizeAllowed(m_doc.animWidth(), m_doc.animHeight())) {
            throw KeltoError(ErrorCode::AnimationSize);
        }
        m_out.put<uint8_t>(kKelVersion);
        m_out.put<int32_t>(m_doc.animWidth());
        m_out.put<int32_t>(m_doc.animHeight());
    }
    void writeBackgrounds(const std::vector<int>& slots) {
        m_out.put<uint8_t>(static_cast<uint8_t>(slots.size() + 1));
        for (int slot : slots) {
            writeBackgroundRecord(m_out, m_doc.background(slot));
            m_out.putShortString(nameToFileBytes(m_doc.backgroundName(slot)));
        }
    }
    void writeTypes(const std::vector<int>& indices) {
        m_out.put<uint16_t>(static_cast<uint16_t>(indices.size() + kBuiltInFigureTypes));
        for (int index : indices) {
            writeFigureTypeRecord(m_out, m_doc.figureType(index));
            m_out.putShortString(nameToFileBytes(m_doc.figureTypeName(index)));
        }
    }
    void writeFrame(const Figures& frame) {
        m_out.put<uint16_t>(frame.repeatCount);
        const uint8_t bg = frame.backgroundIndex;
        m_out.put<uint8_t>(backgroundNumber.empty() || bg == 0 ? bg : backgroundNumber[bg]);
        m_out.put<uint16_t>(static_cast<uint16_t>(frame.figureCount()));
        for (const Figure& f : frame.figures) {
            writeFigure(f);
        }
        for (uint16_t entry : frame.drawOrder) {
            m_out.put<uint16_t>(entry);
        }
    }
    void writeFrameRate() { m_out.put<int32_t>(m_doc.frameRate); }
    void putFrameCount(int n) { m_out.put<int32_t>(n); }
    std::vector<uint8_t> take() { return std::move(m_out.bytes()); }
    std::vector<uint8_t>& buffer() { return m_out.bytes(); }

private:
    void writeFigure(const Figure& f) {
        const FigureType& type = m_doc.figureType(f.typeIndex);
        m_out.put<int32_t>(f.figureID);
        const bool renumber = !typeNumber.empty() && f.typeIndex >= kBuiltInFigureTypes;
        m_out.put<uint16_t>(
            static_cast<uint16_t>(renumber ? typeNumber[f.typeIndex] : f.typeIndex));
        m_out.put<float>(f.scale);
        m_out.put<uint32_t>(f.colour);
        m_out.put<uint8_t>(f.transparency);
        if (type.imageCount() > 0) {
            m_out.put<uint8_t>(f.flipped);
        }
        for (const SegmentPose& p : f.pose) {
            m_out.put<double>(p.angle);
        }
        m_out.put<float>(f.jointPos[0].x);
        m_out.put<float>(f.jointPos[0].y);
        m_out.put<uint8_t>(f.stretchedCount);
        if (f.stretchedCount != 0) {
            for (const SegmentPose& p : f.pose) {
                m_out.put<float>(p.length);
            }
        }
        m_out.put<uint8_t>(f.isJoined);
        if (f.isJoined) {
            m_out.put<uint16_t>(f.joinParent);
            m_out.put<uint8_t>(f.joinJoint);
        }
    }

    // Room for the frames' bytes, so the buffer is not copied over and over while it grows.
    size_t estimate() const {
        size_t bytes = 64;
        for (const Figures& frame : m_doc.frames) {
            bytes += 5;
            for (const Figure& f : frame.figures) {
                bytes += 32 + f.pose.size() * (f.stretchedCount ? 12 : 8);
            }
        }
        return bytes;
    }

    const Document& m_doc;
    ByteWriter m_out;
};

std::vector<int> range(int from, int to) {
    std::vector<int> v;
    for (int i = from; i < to; ++i) {
        v.push_back(i);
    }
    return v;
}

// ---------------------------------------------------------------------------------------------
// Reading

class RecordReader {
public:
    RecordReader(ByteReader& in, uint8_t version, LoadBudget& budget, const FrameSink* sink)
        : m_in(in), m_version(version), m_budget(budget), m_sink(sink) {}

    Document read() {
        if (m_version == 2) {
            return readVersion2();
        }
        return readVersion3or4();
    }

private:
    Document readVersion3or4() {
        const int32_t width = m_in.get<int32_t>();
        const int32_t height = m_in.get<int32_t>();
        checkSize(width, height);
        Document doc(width, height);
        const int b = m_in.get<uint8_t>();
        if (b < 1) {
            badRecord("no background slot count");
        }
        for (int slot = 1; slot < b; ++slot) {
            const size_t start = m_in.pos();
            ImageGeneral picture = readBackground(doc);
            std::string name = nameFromFileBytes(m_in.getShortString());
            m_budget.chargeBytes(m_in.pos() - start);
            doc.addBackground(std::move(picture), std::move(name));
        }
        const int t = m_version >= 4 ? m_in.get<uint16_t>() : m_in.get<uint8_t>();
        if (t < kBuiltInFigureTypes || t > kMaxFigureTypes) {
            badRecord("figure type count out of range");
        }
        const RecordForm form = m_version >= 4 ? RecordForm::Current : RecordForm::Older;
        readTypes(doc, t, form);
        const int f = readFrameCount(m_version >= 4 ? 5 : 4);
        readFrames(doc, f, [this](Document& d, Figures& frame) { readFrame(d, frame); });
        doc.frameRate = std::clamp(m_in.get<int32_t>(), kMinFrameRate, kMaxFrameRate);
        return doc;
    }

    Document readVersion2() {
        const bool hasBackground = m_in.get<uint8_t>() != 0;
        const int32_t width = m_in.get<int32_t>();
        const int32_t height = m_in.get<int32_t>();
        checkSize(width, height);
        Document doc(width, height);
        // The record stores no rate: loading it keeps the current one.
        doc.frameRateKnown = false;
        if (hasBackground) {
            const size_t start = m_in.pos();
            ImageGeneral picture = readBackground(doc);
            m_budget.chargeBytes(m_in.pos() - start);
            std::string name = version2BackgroundName(picture);
            doc.addBackground(std::move(picture), std::move(name));
        }
        const int t = m_in.get<uint8_t>();
        if (t < kBuiltInFigureTypes) {
            badRecord("figure type count out of range");
        }
        readTypes(doc, t, RecordForm::Current);
        const int f = readFrameCount(1);
        readFrames(doc, f, [this, hasBackground](Document& d, Figures& frame) {
            frame.backgroundIndex = hasBackground ? 1 : 0;
            readFrameFigures(d, frame, m_in.get<uint8_t>());
        });
        return doc;
    }

    void readTypes(Document& doc, int count, RecordForm form) {
        for (int i = kBuiltInFigureTypes; i < count; ++i) {
            const size_t start = m_in.pos();
            FigureType type = readTypeRecord(form, i);
            std::string name = nameFromFileBytes(m_in.getShortString());
            m_budget.chargeBytes(m_in.pos() - start);
            doc.addFigureType(std::move(type), std::move(name));
        }
    }

    // Frames are kept in the document, or handed to the sink one by one and dropped.
    template <class ReadOne>
    void readFrames(Document& doc, int count, ReadOne readOne) {
        if (!m_sink) {
            m_budget.chargeFrames(size_t(count));
            doc.frames.resize(count);
            for (Figures& frame : doc.frames) {
                readOne(doc, frame);
            }
            return;
        }
        for (int i = 0; i < count; ++i) {
            const size_t mark = m_budget.mark();
            m_budget.chargeFrames(1);
            Figures frame;
            readOne(doc, frame);
            (*m_sink)(frame, doc);
            m_budget.releaseTo(mark);
        }
    }

    // A picture is read at its own size, which passes the same limit as any picture, and is
    // then cut or extended to the animation size as changing the animation size would do, so
    // every background of the document has the animation's size. The animation size bounds
    // what an extension costs; cutting at once keeps one oversized picture in memory at most.
    // An extended picture holds more than its record's bytes, which is all the caller charges
    // to the load budget; the difference is charged here.
    ImageGeneral readBackground(const Document& doc) {
        ImageGeneral picture;
        const size_t start = m_in.pos();
        bool resized = false;
        try {
            readBackgroundRecord(m_in, picture);
            if (picture.width() != doc.animWidth() || picture.height() != doc.animHeight()) {
                resizeBackground(picture, doc.animWidth(), doc.animHeight());
                resized = true;
            }
        } catch (const KeltoError& e) {
            badRecord(std::string("background: ") + e.what());
        }
        const size_t held = picture.imageKind() == ImageGeneral::kJpegKind
                                ? picture.jpegData().size()
                                : picture.bitmap().byteCount();
        const size_t recordBytes = m_in.pos() - start;
        if (resized && held > recordBytes) {
            m_budget.chargeBytes(held - recordBytes);
        }
        return picture;
    }

    FigureType readTypeRecord(RecordForm form, int index) {
        try {
            return readFigureTypeRecord(m_in, form);
        } catch (const KeltoError& e) {
            badRecord("figure type " + std::to_string(index) + ": " + damageDetail(e));
        }
    }

    int readFrameCount(size_t minFrameBytes) {
        const int32_t f = m_in.get<int32_t>();
        if (f < 0 || f > kMaxFrames) {
            badRecord("frame count out of range");
        }
        m_in.need(size_t(f) * minFrameBytes);
        return f;
    }

    void readFrame(Document& doc, Figures& frame) {
        frame.repeatCount = std::max<uint16_t>(1, m_in.get<uint16_t>());
        frame.backgroundIndex = m_in.get<uint8_t>();
        if (frame.backgroundIndex >= doc.backgroundCount()) {
            badRecord("background index out of range");
        }
        const int n = m_version >= 4 ? m_in.get<uint16_t>() : m_in.get<uint8_t>();
        readFrameFigures(doc, frame, n);
    }

    void readFrameFigures(Document& doc, Figures& frame, int n) {
        // Every figure record takes at least this many bytes, so a count can be checked
        // against the data before anything is allocated for it.
        m_in.need(size_t(n) * (m_version >= 4 ? 25 : 17));
        frame.setCount(n);
        bool anyJoined = false;
        for (Figure& f : frame.figures) {
            readFigure(doc, f);
            anyJoined = anyJoined || f.isJoined;
        }
        if (m_version >= 4 && n > 0) {
            for (uint16_t& entry : frame.drawOrder) {
                entry = m_in.get<uint16_t>();
            }
        }
        frame.recomputeOrderPositions();
        // New figures hang on nothing and hold empty joined lists, which is what rebuilding
        // would make of a frame without joins.
        if (anyJoined) {
            frame.rebuildJoinLists();
        }
        if (const std::string why = verifyFrame(frame, doc.figureTypes()); !why.empty()) {
            badRecord(why);
        }
    }

    uint16_t readTypeIndex(Document& doc) {
        if (m_version >= 4) {
            return m_in.get<uint16_t>();
        }
        if (m_version == 2 && m_in.available(1) && *m_in.peek(1) == 1) {
            m_in.skip(1);
            return defaultTwoIndex(doc);
        }
        const uint8_t stored = m_in.get<uint8_t>();
        return stored == 0 ? static_cast<uint16_t>(doc.figureTypeCount() - 1) : stored;
    }

    // Version-2 files drew their stick man differently; it comes back as a type of its own the
    // first time a figure uses it.
    uint16_t defaultTwoIndex(Document& doc) {
        if (m_defaultTwo < 0) {
            m_defaultTwo = doc.addFigureType(createDefaultTwoType(), "Default 2");
        }
        return static_cast<uint16_t>(m_defaultTwo);
    }

    void readFigure(Document& doc, Figure& f) {
        if (m_version >= 4) {
            f.figureID = m_in.get<int32_t>();
            doc.lastFigureID = std::max(doc.lastFigureID, f.figureID);
        } else {
            if (doc.lastFigureID == INT32_MAX) {
                badRecord("too many figures");
            }
            f.figureID = doc.nextFigureID();
        }
        const uint16_t typeIndex = readTypeIndex(doc);
        if (typeIndex >= doc.figureTypeCount() || doc.figureType(typeIndex).segmentCount() == 0) {
            badRecord("figure type index out of range");
        }
        const FigureType& type = doc.figureType(typeIndex);
        f.typeIndex = typeIndex;
        f.scale = m_in.get<float>();
        f.colour = m_in.get<uint32_t>();
        f.transparency = m_version >= 4 ? m_in.get<uint8_t>() : 0;
        if (type.imageCount() > 0) {
            f.flipped = m_in.get<uint8_t>();
        }
        const PoseCheck read = readPose(f, type);
        bool lengthsInRange = read.typeLengthsInRange;
        const float x = m_in.get<float>();
        const float y = m_in.get<float>();
        bool ownLengths = true;
        if (m_version >= 4) {
            f.stretchedCount = m_in.get<uint8_t>();
            if (f.stretchedCount != 0) {
                ownLengths = false;
                lengthsInRange = true;
                for (SegmentPose& p : f.pose) {
                    p.length = m_in.get<float>();
                    lengthsInRange = lengthsInRange && std::fabs(p.length) <= kMaxExtent;
                }
            }
            f.isJoined = m_in.get<uint8_t>() != 0;
            if (f.isJoined) {
                f.joinParent = m_in.get<uint16_t>();
                f.joinJoint = m_in.get<uint8_t>();
            }
        }
        if (m_version == 2 && f.scale > kMaxFigureScale) {
            f.scale = kMaxFigureScale;
        }
        // Refused only now, so that a short record is reported as such whatever it holds.
        if (!(std::fabs(f.scale) <= kMaxScaleMagnitude)) {
            badRecord("figure scale out of range");
        }
        if (!read.anglesFinite || !lengthsInRange) {
            badRecord("figure pose out of range");
        }
        f.placeRoot({x, y}, type);
        checkExtent(f, type);
        if (const BoundsPlan* plan = ownLengths ? planFor(f.typeIndex, type, f.scale) : nullptr) {
            f.bounds = plan->boundsOf(f);
        } else {
            f.updateBounds(type);
        }
    }

    // A file's figures mostly share a few types and scales, so their bounds margins are worked
    // out once per type and scale and kept in a few slots, the oldest replaced first.
    const BoundsPlan* planFor(uint16_t typeIndex, const FigureType& type, float scale) {
        for (PlanSlot& slot : m_plans) {
            if (slot.typeIndex == typeIndex && (!slot.usable || slot.plan.isFor(scale))) {
                return slot.usable ? &slot.plan : nullptr;
            }
        }
        if (m_plans.size() < kPlanSlots) {
            m_plans.emplace_back();
        }
        PlanSlot& slot = m_plans[m_nextPlan];
        m_nextPlan = (m_nextPlan + 1) % kPlanSlots;
        slot.typeIndex = typeIndex;
        slot.usable = slot.plan.prepare(type, scale);
        return slot.usable ? &slot.plan : nullptr;
    }

    // Sizes the figure like Figure::setType, without computing joints and bounds (the reader
    // places the figure once its pose is read), taking the angles from the record and the
    // lengths from the type in one pass. Poses with a non-finite angle or a length out of range
    // would overflow the figure's bounds or make no drawing.
    struct PoseCheck {
        bool anglesFinite = true;
        bool typeLengthsInRange = true;
    };
    PoseCheck readPose(Figure& f, const FigureType& type) {
        const int n = type.segmentCount();
        m_budget.chargeFigure(n);
        f.jointPos.resize(n + 1);
        f.pose.resize(n);
        const uint8_t* angles = m_in.take(size_t(n) * sizeof(double));
        PoseCheck check;
        for (int s = 0; s < n; ++s) {
            double angle;
            std::memcpy(&angle, angles + size_t(s) * sizeof(double), sizeof(double));
            if (m_version < 4 && std::fabs(angle) > kOldAngleLimit) {
                angle = 0;
            }
            const float length = type.segments[s].length;
            check.anglesFinite = check.anglesFinite && std::isfinite(angle);
            check.typeLengthsInRange = check.typeLengthsInRange && std::fabs(length) <= kMaxExtent;
            f.pose[s] = {angle, length};
        }
        return check;
    }

    static void checkExtent(const Figure& f, const FigureType& type) {
        for (const FigureJoint& j : f.jointPos) {
            if (!(std::fabs(j.x) <= kMaxExtent) || !(std::fabs(j.y) <= kMaxExtent)) {
                badRecord("figure position out of range");
            }
        }
        for (int s = 0; s < type.segmentCount(); ++s) {
            const Segment& seg = type.segments[s];
            double reach =
                std::fabs(seg.thickness * f.scale) + std::fabs(f.pose[s].length * f.scale);
            if (seg.kind == skImage) {
                const Sprite& pic = type.images[type.imageRefs[s].imageIndex];
                if (pic.width() > 0) {
                    reach +=
                        std::fabs(double(pic.height()) * f.scale * f.pose[s].length) / pic.width();
                }
            }
            if (!(reach <= kMaxExtent)) {
                badRecord("figure size out of range");
            }
        }
    }

    struct PlanSlot {
        uint16_t typeIndex = 0;
        bool usable = false; // false: a type with pictures, bounded figure by figure
        BoundsPlan plan;
    };
    static constexpr size_t kPlanSlots = 8;

    ByteReader& m_in;
    uint8_t m_version;
    LoadBudget& m_budget;
    const FrameSink* m_sink; // frames go here, one at a time, instead of into the document
    int m_defaultTwo = -1;
    std::vector<PlanSlot> m_plans;
    size_t m_nextPlan = 0;
};

} // namespace

FigureType createDefaultTwoType() {
    struct Row {
        uint8_t start;
        uint8_t kind;
        float length;
        double angle;
    };
    static const Row rows[] = {
        {0, skLine, 60, 3 * kPi / 2}, {1, skCircle, 36, 3 * kPi / 2}, {1, skLine, 40, 3 * kPi / 4},
        {1, skLine, 40, kPi / 4},     {3, skLine, 40, 2 * kPi / 3},   {4, skLine, 40, kPi / 3},
        {0, skLine, 50, 5 * kPi / 8}, {0, skLine, 50, 3 * kPi / 8},   {7, skLine, 50, 5 * kPi / 8},
        {8, skLine, 50, 3 * kPi / 8},
    };
    FigureType type;
    type.setSegmentCount(1);
    Segment& first = type.segments[0];
    first = Segment{};
    first.startJoint = 0;
    first.endJoint = 1;
    first.length = rows[0].length;
    first.angle = rows[0].angle;
    first.thickness = 7;
    first.kind = rows[0].kind;
    type.imageRefs[0] = ImageRef{};
    type.rebuildJoints();
    for (size_t k = 1; k < std::size(rows); ++k) {
        type.addSegment(rows[k].start, rows[k].kind, rows[k].length, 7, rows[k].angle, 0, 0);
    }
    return type;
}

std::vector<uint8_t> writeDocumentRecord(const Document& doc) {
    RecordWriter w(doc);
    w.writeHeader();
    w.writeBackgrounds(range(1, doc.backgroundCount()));
    w.writeTypes(range(kBuiltInFigureTypes, doc.figureTypeCount()));
    w.putFrameCount(doc.frameCount());
    for (const Figures& frame : doc.frames) {
        w.writeFrame(frame);
    }
    w.writeFrameRate();
    return w.take();
}

std::vector<uint8_t> writeRecordHead(const Document& doc, int frameCount) {
    RecordWriter w(doc, false);
    w.writeHeader();
    w.writeBackgrounds(range(1, doc.backgroundCount()));
    w.writeTypes(range(kBuiltInFigureTypes, doc.figureTypeCount()));
    w.putFrameCount(frameCount);
    return w.take();
}

void appendFrameRecord(const Document& doc, const Figures& frame, std::vector<uint8_t>& out) {
    RecordWriter w(doc, false);
    w.buffer().swap(out);
    w.writeFrame(frame);
    w.buffer().swap(out);
}

std::vector<uint8_t> writeRecordTail(const Document& doc) {
    RecordWriter w(doc, false);
    w.writeFrameRate();
    return w.take();
}

std::vector<uint8_t> writeSelectedFramesRecord(const Document& doc,
                                               const std::vector<int>& selectionOrder) {
    std::vector<int> order;
    for (int i : selectionOrder) {
        if (i >= 0 && i < doc.frameCount() && doc.frames[i].timelineSelected &&
            std::find(order.begin(), order.end(), i) == order.end()) {
            order.push_back(i);
        }
    }
    for (int i = 0; i < doc.frameCount(); ++i) {
        if (doc.frames[i].timelineSelected &&
            std::find(order.begin(), order.end(), i) == order.end()) {
            order.push_back(i);
        }
    }
    if (order.empty()) {
        return {};
    }
    RecordWriter w(doc);
    w.backgroundNumber.assign(doc.backgroundCount(), 255);
    w.typeNumber.assign(doc.figureTypeCount(), -1);
    std::vector<int> slots;
    std::vector<int> types;
    for (int i : order) {
        const Figures& frame = doc.frames[i];
        const uint8_t bg = frame.backgroundIndex;
        if (bg != 0 && w.backgroundNumber[bg] == 255) {
            slots.push_back(bg);
            w.backgroundNumber[bg] = static_cast<uint8_t>(slots.size());
        }
        for (const Figure& f : frame.figures) {
            if (f.typeIndex >= kBuiltInFigureTypes && w.typeNumber[f.typeIndex] < 0) {
                types.push_back(f.typeIndex);
                w.typeNumber[f.typeIndex] = static_cast<int>(types.size()) + 1;
            }
        }
    }
    w.writeHeader();
    w.writeBackgrounds(slots);
    w.writeTypes(types);
    w.putFrameCount(static_cast<int>(order.size()));
    for (const Figures& frame : doc.frames) {
        if (frame.timelineSelected) {
            w.writeFrame(frame);
        }
    }
    w.writeFrameRate();
    return w.take();
}

bool isReadableKelVersion(uint8_t version) {
    return version >= 2 && version <= kKelVersion;
}

namespace {

// Reads a record from its version byte on. Every failure names the .kel file: a figure type
// or a picture inside it that is damaged makes the animation file damaged, with the detail.
Document readRecord(ByteReader& in, size_t inputSize, const FrameSink* sink) {
    if (!in.available(1)) {
        badRecord("empty record");
    }
    const uint8_t version = in.get<uint8_t>();
    if (!isReadableKelVersion(version)) {
        throw KeltoError(ErrorCode::KelNotCompatible);
    }
    try {
        LoadBudget budget(inputSize);
        RecordReader reader(in, version, budget, sink);
        return reader.read();
    } catch (const KeltoError& e) {
        if (e.code() == ErrorCode::BadKelFile || e.code() == ErrorCode::KelTooLarge) {
            throw;
        }
        badRecord(damageDetail(e));
    }
}

template <class Source>
Document readFromSource(Source& source, size_t inputSize, const FrameSink* sink) {
    ByteReader in(source);
    Document doc = readRecord(in, inputSize, sink);
    source.finish();
    return doc;
}

// The file's zlib stream is inflated as the record is read; what the record leaves unread is
// still checked to the stream's end.
Document readCompressed(const std::vector<uint8_t>& fileBytes, const FrameSink* sink,
                        InflateThread thread) {
    try {
        const bool ahead =
            thread == InflateThread::Always ||
            (thread == InflateThread::Automatic && fileBytes.size() >= kInflateAheadFrom);
        if (ahead) {
            InflateAheadSource source(fileBytes.data(), fileBytes.size());
            return readFromSource(source, fileBytes.size(), sink);
        }
        InflateSource source(fileBytes.data(), fileBytes.size());
        return readFromSource(source, fileBytes.size(), sink);
    } catch (const KeltoError& e) {
        if (e.code() == ErrorCode::BadKelFile || e.code() == ErrorCode::KelTooLarge ||
            e.code() == ErrorCode::KelNotCompatible) {
            throw;
        }
        badRecord(e.what());
    }
}

} // namespace

Document readDocumentRecord(const uint8_t* data, size_t size) {
    ByteReader in(data, size);
    return readRecord(in, size, nullptr);
}

std::vector<uint8_t> writeKelFile(const Document& doc) {
    return compressStream(writeDocumentRecord(doc));
}

Document readKelFile(const std::vector<uint8_t>& fileBytes, InflateThread thread) {
    return readCompressed(fileBytes, nullptr, thread);
}

Document scanKelFile(const std::vector<uint8_t>& fileBytes, const FrameSink& sink) {
    return readCompressed(fileBytes, &sink, InflateThread::Automatic);
}

uint8_t peekKelVersion(const std::vector<uint8_t>& fileBytes) {
    InflateSource source(fileBytes.data(), fileBytes.size());
    ByteReader in(source);
    return in.get<uint8_t>();
}

std::string removeExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return path;
    }
    return path.substr(0, dot);
}

void saveAnimation(Document& doc, const std::string& pathWithoutExtension) {
    if (doc.frames.empty()) {
        throw KeltoError(ErrorCode::NoFramesToSave);
    }
    const std::string path = pathWithoutExtension + ".kel";
    writeFileReplacing(path, writeKelFile(doc));
    doc.documentSaved = true;
    doc.currentFileName = path;
}

bool saveSelectedFrames(const Document& doc, const std::string& pathWithoutExtension,
                        const std::vector<int>& selectionOrder) {
    const std::vector<uint8_t> record = writeSelectedFramesRecord(doc, selectionOrder);
    if (record.empty()) {
        return false;
    }
    writeFileReplacing(pathWithoutExtension + ".kel", compressStream(record));
    return true;
}

Document loadAnimation(const std::string& path) {
    Document doc = readKelFile(readWholeFile(path));
    doc.documentSaved = true;
    doc.currentFileName = path;
    return doc;
}

} // namespace kelto
