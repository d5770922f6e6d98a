#include "cli/infojson.h"

#include "document/kelformat.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace kelto {

namespace {

QString latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
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
    o["name"] = latin1(name);
    o["imageKind"] = picture.imageKind();
    o["width"] = picture.width();
    o["height"] = picture.height();
    return o;
}

QJsonObject describeFigure(const Figure& f) {
    QJsonObject o;
    o["id"] = f.figureID;
    o["type"] = f.typeIndex;
    o["scale"] = double(f.scale);
    o["colour"] = qint64(f.colour);
    o["transparency"] = f.transparency;
    o["flipped"] = f.flipped;
    o["stretched"] = f.stretchedCount;
    o["joined"] = f.isJoined;
    o["joinParent"] = f.joinParent;
    o["joinJoint"] = f.joinJoint;
    QJsonArray joints;
    for (const FigureJoint& j : f.jointPos) {
        joints.append(QJsonArray{double(j.x), double(j.y)});
    }
    o["joints"] = joints;
    QJsonArray angles;
    QJsonArray lengths;
    for (const SegmentPose& p : f.pose) {
        angles.append(p.angle);
        lengths.append(double(p.length));
    }
    o["angles"] = angles;
    o["lengths"] = lengths;
    return o;
}

QJsonObject describeFrame(const Figures& frame) {
    QJsonObject o;
    o["repeat"] = frame.repeatCount;
    o["background"] = frame.backgroundIndex;
    QJsonArray order;
    for (uint16_t entry : frame.drawOrder) {
        order.append(entry);
    }
    o["drawOrder"] = order;
    QJsonArray figures;
    for (const Figure& f : frame.figures) {
        figures.append(describeFigure(f));
    }
    o["figures"] = figures;
    return o;
}

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
        t["name"] = latin1(doc.figureTypeName(i));
        t["segmentCount"] = doc.figureType(i).segmentCount();
        t["imageCount"] = doc.figureType(i).imageCount();
        types.append(t);
    }
    o["figureTypes"] = types;
    o["frames"] = QJsonArray();
    return o;
}

void put(const QByteArray& text, std::FILE* out) {
    if (std::fwrite(text.constData(), 1, size_t(text.size()), out) != size_t(text.size())) {
        throw std::runtime_error("Could not write the description");
    }
}

} // namespace

void writeDocumentJson(const std::vector<uint8_t>& fileBytes, std::FILE* out) {
    // The first reading checks the whole file and gathers what precedes and follows the frames
    // (the frame rate is stored after them); the second writes the frames as they are read.
    const Document head = scanKelFile(fileBytes, [](const Figures&, const Document&) {});
    const QByteArray text =
        QJsonDocument(describeDocumentHead(head, peekKelVersion(fileBytes)))
            .toJson(QJsonDocument::Compact);
    // The last one is the key: names, which could hold the same text, all come before it.
    const QByteArray slot = "\"frames\":[";
    const qsizetype at = text.lastIndexOf(slot + ']') + slot.size();
    put(text.left(at), out);
    bool first = true;
    scanKelFile(fileBytes, [&](const Figures& frame, const Document&) {
        if (!first) {
            put(",", out);
        }
        first = false;
        put(QJsonDocument(describeFrame(frame)).toJson(QJsonDocument::Compact), out);
    });
    put(text.mid(at), out);
    put("\n", out);
    if (std::fflush(out) != 0) {
        throw std::runtime_error("Could not write the description");
    }
}

} // namespace kelto
