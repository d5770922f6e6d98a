#pragma once

#include "base/error.h"
#include "document/animationsize.h"
#include "graphics/imagegeneral.h"
#include "model/figures.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelto {

inline constexpr int kMaxFrames = 1000000;
inline constexpr int kMaxFigureTypes = 65534;  // the two built-in entries included
inline constexpr int kMaxBackgrounds = 255;    // slot 0 included
inline constexpr int kBuiltInFigureTypes = 2;  // 0: the builder's working type, 1: the stick man
inline constexpr float kMaxFigureScale = 1000; // the scale control's top, 100000 percent
inline constexpr int kDefaultFrameRate = 80;   // milliseconds per frame period
inline constexpr int kMinFrameRate = 30;
inline constexpr int kMaxFrameRate = 150;
inline const char* const kStickmanName = "Default";

// Cuts or extends a background to a size (anchored top-left, not scaled), through a middle
// size no larger than the old and the new one.
void resizeBackground(ImageGeneral& picture, int32_t width, int32_t height);

// What changed in a document, for the views that mirror it (pickers, timeline).
enum class DocumentChange {
    FigureTypeAdded,    // index: the new type
    FigureTypesRemoved, // index: the first removed type; everything from there on went
    BackgroundAdded,    // index: the new slot
    BackgroundsRemoved, // index: the first removed slot; everything from there on went
    FramesChanged,      // index: the first frame that may differ
    DimensionsChanged,  // index: unused
    Replaced,           // the whole content was replaced by a loaded document
};

class DocumentObserver {
public:
    virtual ~DocumentObserver() = default;
    virtual void documentChanged(DocumentChange change, int index) = 0;
};

// Timeline state that a paste shifts when it inserts frames before it.
struct TimelineIndices {
    std::vector<int> selection; // frame numbers in the order they were selected
    int editFrameIndex = -1;    // -1 = the new frame after the last stored one
};

enum class PasteStatus {
    Pasted,
    NotCompatible,      // the record's version is not one we read
    TooManyBackgrounds, // the backgrounds added by the paste were removed again
    TooManyFigureTypes, // the types added by the paste were removed again
    TooManyFrames,      // no frame was added
};

struct PasteResult {
    PasteStatus status = PasteStatus::Pasted;
    ErrorCode refusal = ErrorCode::General; // why it was not pasted
    // The English sentence of the refusal.
    std::string message() const { return englishMessage(refusal, {}); }
    int firstFrame = 0;
    int frameCount = 0;
    bool dimensionsAdopted = false;
};

// The animation document: stored frames, figure types with names, backgrounds with names, the
// animation size, the frame rate and the figure identity counter. It never calls GUI code; the
// views learn about changes through DocumentObserver.
class Document {
public:
    std::vector<Figures> frames;
    int32_t frameRate = kDefaultFrameRate;
    // False for a document read from a record that stores no frame rate (version 2): its
    // frameRate is only the default, and adopting it or pasting it keeps the current rate.
    bool frameRateKnown = true;
    int32_t lastFigureID = 0;
    bool documentSaved = true;
    std::string currentFileName;

    explicit Document(int32_t animWidth = 500, int32_t animHeight = 400);
    Document(Document&&) = default;
    Document& operator=(Document&&) = default;

    int frameCount() const { return static_cast<int>(frames.size()); }
    int figureTypeCount() const { return static_cast<int>(m_types.size()); }
    int backgroundCount() const { return static_cast<int>(m_backgrounds.size()); }
    int32_t animWidth() const { return m_animWidth; }
    int32_t animHeight() const { return m_animHeight; }

    const FigureTypeList& figureTypes() const { return m_types; }
    const FigureType& figureType(int i) const { return m_types.at(i); }
    // Entry 0 is the figure builder's working type; the others change only through the document.
    FigureType& workingType() { return m_types[0]; }
    const std::string& figureTypeName(int i) const { return m_typeNames.at(i); }
    // Slot 0 stands for no picture and holds an empty one.
    const std::vector<ImageGeneral>& backgrounds() const { return m_backgrounds; }
    const ImageGeneral& background(int slot) const { return m_backgrounds.at(slot); }
    const std::string& backgroundName(int slot) const { return m_backgroundNames.at(slot); }

    // Appends a type under a name and returns its index; throws KeltoError with the limit's
    // message when the list is full.
    int addFigureType(FigureType type, std::string name);
    void removeFigureTypesFrom(int index);
    // Removes one loaded type and closes the gap; figures keep their numbers, so the caller
    // renumbers them and updates the pickers. The built-in types are never removed.
    void removeFigureType(int index);
    // Puts a removed type back at its old index (undo of a removal); figures are renumbered by
    // the caller.
    void insertFigureType(int index, FigureType type, std::string name);
    // The first type from index 1 on with exactly this name, or -1.
    int findFigureType(const std::string& name) const;
    bool canAddFigureType() const { return figureTypeCount() < kMaxFigureTypes; }

    // Appends a picture under a name and returns its slot; throws KeltoError with the limit's
    // message when all slots are taken.
    int addBackground(ImageGeneral picture, std::string name);
    void removeBackgroundsFrom(int slot);
    // Removes one loaded picture and closes the gap; frames keep their slot numbers, so the
    // caller renumbers them and updates the picker. Slot 0 is never removed.
    void removeBackground(int slot);
    // Puts a removed picture back at its old slot (undo of a removal).
    void insertBackground(int slot, ImageGeneral picture, std::string name);
    // The first slot from 1 on with exactly this name, or -1.
    int findBackground(const std::string& name) const;
    bool canAddBackground() const { return backgroundCount() < kMaxBackgrounds; }

    bool canAddFrame() const { return frameCount() < kMaxFrames; }

    // Brings every background to the new size (cut or extended, not scaled). Throws
    // KeltoError(ErrorCode::AnimationSize), changing nothing, for a size outside the limits.
    void setAnimationDimensions(int32_t width, int32_t height);

    // Empties the document: no frames, the two built-in types, slot 0, LastFigureID 0. The
    // builder's working type and the size stay. Asking to save first is the caller's part.
    void destroy();
    // The frame being edited in a new document: one stick man at the centre of the area.
    Figures newEditFrame() const;
    // "New": destroys the content, forgets the file name, counts as unchanged and returns the
    // frame to edit. Asking to save first is the caller's part.
    Figures newDocument();
    // Takes over a document that was read from a file, keeping this one's working type and
    // observers, and tells the observers. A loaded document without a stored frame rate keeps
    // this one's rate.
    void adoptLoaded(Document&& loaded);

    // The paste merge of frames copied as a document record (the bytes may run on past the
    // record). Damaged data throws KeltoError and a paste refused at a limit says why in the
    // result; either way the document is left exactly as it was and observers hear nothing.
    // ownClipboard: the frames were copied from this document, so their identities are kept;
    // otherwise they are shifted above every identity the document holds.
    PasteResult pasteFrames(const uint8_t* data, size_t size, int position, bool ownClipboard,
                            TimelineIndices* timeline = nullptr);

    // Identity for a new figure. At the top of the range the last identity is handed out
    // again rather than wrapping round: lookups by identity cope with repeats.
    int32_t nextFigureID() { return lastFigureID = followingFigureID(lastFigureID); }

    void addObserver(DocumentObserver* observer);
    void removeObserver(DocumentObserver* observer);
    // Tells the observers about a change made from outside (an undo step).
    void notifyObservers(DocumentChange change, int index) const { notify(change, index); }

private:
    void notify(DocumentChange change, int index) const;
    int matchingBackground(const Document& source, int slot, int limit) const;
    int matchingFigureType(const Document& source, int index, int limit) const;
    struct PastePlan;
    PastePlan planPaste(Document& pasted) const;
    PasteStatus pasteRefusal(const PastePlan& plan, int pastedFrames) const;
    void addPastedEntries(Document& pasted, PastePlan& plan);

    FigureTypeList m_types;
    std::vector<std::string> m_typeNames; // entry 0 unused
    std::vector<ImageGeneral> m_backgrounds;
    std::vector<std::string> m_backgroundNames;
    int32_t m_animWidth;
    int32_t m_animHeight;
    std::vector<DocumentObserver*> m_observers;
};

} // namespace kelto
