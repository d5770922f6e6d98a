#pragma once

#include <QString>
#include <QStringList>

class QMimeData;

namespace kelto {

// What a file dropped on the main window becomes, told by its extension (any case): an
// animation opens, a figure-type file joins the figure types, a picture becomes a background.
enum class DroppedFileKind { Animation, FigureType, Picture, Other };

DroppedFileKind droppedFileKind(const QString& path);

// The local files among dropped data, in the order given; links to anything else (web pages,
// remote files) are left out, since the file commands read local files only.
QStringList droppedLocalFiles(const QMimeData& data);

// The files a drop acts on: the first animation alone when there is one, since opening it
// replaces the document the others would have gone into; otherwise every figure type and
// picture in order. Empty when none of the files is of a kind the window takes.
QStringList filesToOpen(const QStringList& dropped);

} // namespace kelto
