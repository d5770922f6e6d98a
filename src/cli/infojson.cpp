#include "cli/infojson.h"

#include <QJsonArray>

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

QJsonObject describeDocument(const Document& doc, int version) {
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
    QJsonArray frames;
    for (const Figures& frame : doc.frames) {
        frames.append(describeFrame(frame));
    }
    o["frames"] = frames;
    return o;
}

} // namespace kelto
