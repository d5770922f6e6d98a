#include "cli/infojson.h"

#include "document/kelformat.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace kelto {

namespace {

QString text(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size())); // names are held as UTF-8
}

QJsonObject describeSegment(const FigureType& type, int s) {
    const Segment& seg = type.segments[s];
    QJsonObject o;
    o["start"] = seg.startJoint;
    o["end"] = seg.endJoint;
    o["kind"] = seg.kind;
    o["length"] = double(seg.length);
    o["angle"] = seg.angle;
    o["thickness"] = double(seg.thickness);
    o["static"] = seg.isStatic;
    o["imageIndex"] = type.imageRefs[s].imageIndex;
    o["imageReversed"] = type.imageRefs[s].imageReversed;
    return o;
}

QJsonObject describeSprite(const Sprite& sprite) {
    QJsonObject o;
    o["width"] = sprite.width();
    o["height"] = sprite.height();
    o["bitsPerPixel"] = bitsPerPixel(sprite.bitmap().format());
    o["keyColour"] = qint64(sprite.keyColour());
    return o;
}

QJsonObject describeBackground(const std::string& name, const ImageGeneral& picture) {
    QJsonObject o;
    o["name"] = text(name);
    o["imageKind"] = picture.imageKind();
    o["width"] = picture.width();
    o["height"] = picture.height();
    return o;
}

// Frames are many, so their text is written directly, in the form QJsonDocument gives: keys in
// sorted order, whole numbers up to 2^53 without a fraction, other numbers in the shortest form
// that reads back to the same double, and null for what JSON cannot hold.
class FrameText {
public:
    explicit FrameText(std::string& out) : m_out(out) {}

    void frame(const Figures& frame) {
        m_out += "{\"background\":";
        integer(frame.backgroundIndex);
        m_out += ",\"drawOrder\":[";
        for (size_t i = 0; i < frame.drawOrder.size(); ++i) {
            comma(i);
            integer(frame.drawOrder[i]);
        }
        m_out += "],\"figures\":[";
        for (size_t i = 0; i < frame.figures.size(); ++i) {
            comma(i);
            figure(frame.figures[i]);
        }
        m_out += "],\"repeat\":";
        integer(frame.repeatCount);
        m_out += '}';
    }

private:
    void figure(const Figure& f) {
        m_out += "{\"angles\":";
        list(f.pose, [this](const SegmentPose& p) { number(p.angle); });
        m_out += ",\"colour\":";
        integer(f.colour);
        m_out += ",\"flipped\":";
        integer(f.flipped);
        m_out += ",\"id\":";
        integer(f.figureID);
        m_out += ",\"joinJoint\":";
        integer(f.joinJoint);
        m_out += ",\"joinParent\":";
        integer(f.joinParent);
        m_out += ",\"joined\":";
        integer(f.isJoined);
        m_out += ",\"joints\":";
        list(f.jointPos, [this](const FigureJoint& j) {
            m_out += '[';
            number(j.x);
            m_out += ',';
            number(j.y);
            m_out += ']';
        });
        m_out += ",\"lengths\":";
        list(f.pose, [this](const SegmentPose& p) { number(p.length); });
        m_out += ",\"scale\":";
        number(f.scale);
        m_out += ",\"stretched\":";
        integer(f.stretchedCount);
        m_out += ",\"transparency\":";
        integer(f.transparency);
        m_out += ",\"type\":";
        integer(f.typeIndex);
        m_out += '}';
    }

    // A JSON array of items, each written by write.
    template <class Items, class Write>
    void list(const Items& items, Write write) {
        m_out += '[';
        for (size_t i = 0; i < items.size(); ++i) {
            comma(i);
            write(items[i]);
        }
        m_out += ']';
    }

    void comma(size_t i) {
        if (i > 0) {
            m_out += ',';
        }
    }
    void integer(int64_t v) {
        char buffer[24];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
        m_out.append(buffer, end);
    }
    void number(double v) {
        constexpr double kExactWhole = 9007199254740992.0; // 2^53
        if (!std::isfinite(v)) {
            m_out += "null";
        } else if (std::fabs(v) > kExactWhole) {
            m_out += QByteArray::number(v, 'g', QLocale::FloatingPointShortest).toStdString();
        } else if (v == std::trunc(v)) {
            integer(static_cast<int64_t>(v));
        } else {
            // The same digits as Qt's shortest form for every number in this range (they differ
            // only in how whole numbers beyond 2^53 are padded), at a fraction of the cost.
            char buffer[32];
            const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
            m_out.append(buffer, end);
        }
    }

    std::string& m_out;
};

} // namespace

QJsonObject describeFigureTypeFile(const FigureType& type, const StkFileInfo& info) {
    QJsonObject o;
    o["format"] = "stk";
    o["generation"] = QString::fromStdString(info.generation);
    o["firstByte"] = info.firstByte;
    QJsonArray segments;
    for (int s = 0; s < type.segmentCount(); ++s) {
        segments.append(describeSegment(type, s));
    }
    o["segments"] = segments;
    QJsonArray images;
    for (const Sprite& sprite : type.images) {
        images.append(describeSprite(sprite));
    }
    o["images"] = images;
    return o;
}

namespace {

// Everything but the frames, with an empty "frames" array where they go.
QJsonObject describeDocumentHead(const Document& doc, int version) {
    QJsonObject o;
    o["format"] = "kel";
    o["version"] = version;
    o["width"] = doc.animWidth();
    o["height"] = doc.animHeight();
    o["frameRate"] = doc.frameRate;
    o["lastFigureId"] = doc.lastFigureID;
    QJsonArray backgrounds;
    for (int slot = 1; slot < doc.backgroundCount(); ++slot) {
        backgrounds.append(describeBackground(doc.backgroundName(slot), doc.background(slot)));
    }
    o["backgrounds"] = backgrounds;
    QJsonArray types;
    for (int i = kBuiltInFigureTypes; i < doc.figureTypeCount(); ++i) {
        QJsonObject t;
        t["index"] = i;
        t["name"] = text(doc.figureTypeName(i));
        t["segmentCount"] = doc.figureType(i).segmentCount();
        t["imageCount"] = doc.figureType(i).imageCount();
        types.append(t);
    }
    o["figureTypes"] = types;
    o["frames"] = QJsonArray();
    return o;
}

// Frames are written in pieces of about this size.
constexpr size_t kChunk = 1 << 16;

void put(std::string_view text, std::FILE* out) {
    if (std::fwrite(text.data(), 1, text.size(), out) != text.size()) {
        throw std::runtime_error("Could not write the description");
    }
}

void put(const QByteArray& text, std::FILE* out) {
    put(std::string_view(text.constData(), size_t(text.size())), out);
}

} // namespace

void writeDocumentJson(const std::vector<uint8_t>& fileBytes, std::FILE* out) {
    // The first reading checks the whole file and gathers what precedes and follows the frames
    // (the frame rate is stored after them); the second writes the frames as they are read.
    const Document head = scanKelFile(fileBytes, [](const Figures&, const Document&) {});
    const QByteArray text = QJsonDocument(describeDocumentHead(head, peekKelVersion(fileBytes)))
                                .toJson(QJsonDocument::Compact);
    // The last one is the key: names, which could hold the same text, all come before it.
    const QByteArray slot = "\"frames\":[";
    const qsizetype at = text.lastIndexOf(slot + ']') + slot.size();
    put(text.left(at), out);
    bool first = true;
    std::string chunk;
    scanKelFile(fileBytes, [&](const Figures& frame, const Document&) {
        if (!first) {
            chunk += ',';
        }
        first = false;
        FrameText(chunk).frame(frame);
        if (chunk.size() >= kChunk) {
            put(chunk, out);
            chunk.clear();
        }
    });
    put(chunk, out);
    put(text.mid(at), out);
    put(std::string_view("\n"), out);
    if (std::fflush(out) != 0) {
        throw std::runtime_error("Could not write the description");
    }
}

} // namespace kelto
