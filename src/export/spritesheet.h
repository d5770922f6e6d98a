#pragma once

#include "export/exportoptions.h"
#include "export/rasterexport.h"

#include <QByteArray>

#include <string>
#include <vector>

namespace kelto {

class Document;

struct SpriteSheetOptions : RasterOptions {
    // One cell per stored frame lasting repeatCount periods, instead of one cell per period.
    bool mergeRepeats = false;
    // Each cell holds only the drawn part of its frame: the bounding box of the pixels that
    // differ from the frame's background (white, or its background picture).
    bool trim = false;
    // Cells per row of the grid; 0 chooses a roughly square sheet. Trimmed cells are packed in
    // shelves instead.
    int columns = 0;
};

// A rectangle in pixels.
struct SheetRect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    bool operator==(const SheetRect&) const = default;
};

// One cell of the sheet as the JSON describes it.
struct SheetCell {
    std::string filename; // stem + frame number (+ "rep" + copy), as separate images are named
    int frameIndex = 0;
    SheetRect frame;      // where the cell lies in the sheet
    SheetRect source;     // where the cell's pixels sat in the whole frame
    bool trimmed = false; // source is smaller than the frame
    int durationMs = 0;
};

struct SpriteSheetLayout {
    int width = 0;
    int height = 0;
    int frameWidth = 0; // the size every frame is drawn at
    int frameHeight = 0;
    std::vector<SheetCell> cells; // in playing order
};

// The largest sheet written: the pixels a bitmap may hold, at most 65535 on a side.
// Throws KeltoError naming the sheet's size and the limit.
void checkSheetSize(int64_t width, int64_t height);

// Places cells of the given sizes (in order) in shelves: tallest first, rows about as wide as
// the sheet is tall. Returns the positions in the order given and sets the sheet size.
std::vector<SheetRect> packShelves(const std::vector<SheetRect>& sizes, int* width, int* height);

// The frame-array JSON common web game engines read for a sheet image named imageName.
QByteArray spriteSheetJson(const SpriteSheetLayout& layout, const std::string& imageName);

// Writes the sheet as sheetPath (a PNG) and the description beside it with the extension
// .json; both files are complete or neither replaces anything. Sizes the sheet cannot hold are
// refused before anything is drawn (untrimmed) or written (trimmed). Nothing is written when
// cancelled. Frame durations are repeat periods of frameInterval ms.
ExportResult exportSpriteSheet(const Document& doc, const std::string& sheetPath,
                               SpriteSheetOptions options, int frameInterval,
                               ExportProgress& progress);

} // namespace kelto
