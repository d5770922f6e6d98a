#include "document/document.h"

#include "base/error.h"
#include "document/messages.h"

#include <algorithm>

namespace kelto {

void resizeBackground(ImageGeneral& picture, int32_t width, int32_t height) {
    // The dimension that shrinks goes first: setting the width first could pass through the
    // new width times the old height, which may be beyond what a picture may hold.
    if (height < picture.height()) {
        picture.setHeight(height);
        picture.setWidth(width);
    } else {
        picture.setWidth(width);
        picture.setHeight(height);
    }
}

Document::Document(int32_t animWidth, int32_t animHeight)
    : m_animWidth(animWidth), m_animHeight(animHeight) {
    m_types.resize(kBuiltInFigureTypes);
    m_types[1] = createStickmanType();
    m_typeNames = {std::string(), kStickmanName};
    m_backgrounds.resize(1);
    m_backgroundNames.resize(1);
}

int Document::addFigureType(FigureType type, std::string name) {
    if (!canAddFigureType()) {
        throw KeltoError(ErrorCode::TooManyFigureTypes);
    }
    m_types.push_back(std::move(type));
    m_typeNames.push_back(std::move(name));
    const int index = figureTypeCount() - 1;
    notify(DocumentChange::FigureTypeAdded, index);
    return index;
}

void Document::removeFigureTypesFrom(int index) {
    index = std::max(index, kBuiltInFigureTypes);
    if (index >= figureTypeCount()) {
        return;
    }
    m_types.resize(index);
    m_typeNames.resize(index);
    notify(DocumentChange::FigureTypesRemoved, index);
}

void Document::removeFigureType(int index) {
    if (index < kBuiltInFigureTypes || index >= figureTypeCount()) {
        return;
    }
    m_types.erase(m_types.begin() + index);
    m_typeNames.erase(m_typeNames.begin() + index);
}

void Document::insertFigureType(int index, FigureType type, std::string name) {
    index = std::clamp(index, kBuiltInFigureTypes, figureTypeCount());
    m_types.insert(m_types.begin() + index, std::move(type));
    m_typeNames.insert(m_typeNames.begin() + index, std::move(name));
}

int Document::findFigureType(const std::string& name) const {
    for (int i = 1; i < figureTypeCount(); ++i) {
        if (m_typeNames[i] == name) {
            return i;
        }
    }
    return -1;
}

int Document::addBackground(ImageGeneral picture, std::string name) {
    if (!canAddBackground()) {
        throw KeltoError(ErrorCode::TooManyBackgrounds);
    }
    m_backgrounds.push_back(std::move(picture));
    m_backgroundNames.push_back(std::move(name));
    const int slot = backgroundCount() - 1;
    notify(DocumentChange::BackgroundAdded, slot);
    return slot;
}

void Document::removeBackgroundsFrom(int slot) {
    slot = std::max(slot, 1);
    if (slot >= backgroundCount()) {
        return;
    }
    m_backgrounds.resize(slot);
    m_backgroundNames.resize(slot);
    notify(DocumentChange::BackgroundsRemoved, slot);
}

void Document::removeBackground(int slot) {
    if (slot < 1 || slot >= backgroundCount()) {
        return;
    }
    m_backgrounds.erase(m_backgrounds.begin() + slot);
    m_backgroundNames.erase(m_backgroundNames.begin() + slot);
}

void Document::insertBackground(int slot, ImageGeneral picture, std::string name) {
    slot = std::clamp(slot, 1, backgroundCount());
    m_backgrounds.insert(m_backgrounds.begin() + slot, std::move(picture));
    m_backgroundNames.insert(m_backgroundNames.begin() + slot, std::move(name));
}

int Document::findBackground(const std::string& name) const {
    for (int i = 1; i < backgroundCount(); ++i) {
        if (m_backgroundNames[i] == name) {
            return i;
        }
    }
    return -1;
}

void Document::setAnimationDimensions(int32_t width, int32_t height) {
    if (!isAnimationSizeAllowed(width, height)) {
        throw KeltoError(ErrorCode::AnimationSize);
    }
    for (size_t slot = 1; slot < m_backgrounds.size(); ++slot) {
        resizeBackground(m_backgrounds[slot], width, height);
    }
    m_animWidth = width;
    m_animHeight = height;
    if (!frames.empty()) {
        documentSaved = false;
    }
    notify(DocumentChange::DimensionsChanged, 0);
}

void Document::destroy() {
    frames.clear();
    frames.shrink_to_fit();
    removeFigureTypesFrom(kBuiltInFigureTypes);
    removeBackgroundsFrom(1);
    lastFigureID = 0;
    notify(DocumentChange::FramesChanged, 0);
}

Figures Document::newEditFrame() const {
    Figures frame;
    frame.setCount(1);
    Figure& man = frame.figures[0];
    man.setType(1, m_types[1]);
    // Whole pixels: the centre of an odd size rounds down.
    const int centreX = m_animWidth / 2;
    const int centreY = m_animHeight / 2;
    man.placeRoot({double(centreX), double(centreY)}, m_types[1]);
    man.updateBounds(m_types[1]);
    man.figureID = lastFigureID;
    frame.select(0, true);
    return frame;
}

Figures Document::newDocument() {
    destroy();
    currentFileName.clear();
    documentSaved = true;
    return newEditFrame();
}

void Document::adoptLoaded(Document&& loaded) {
    if (!loaded.frameRateKnown) {
        loaded.frameRate = frameRate;
        loaded.frameRateKnown = true;
    }
    FigureType working = std::move(m_types[0]);
    std::vector<DocumentObserver*> observers = std::move(m_observers);
    *this = std::move(loaded);
    m_types[0] = std::move(working);
    m_observers = std::move(observers);
    notify(DocumentChange::Replaced, 0);
}

void Document::addObserver(DocumentObserver* observer) {
    if (observer &&
        std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end()) {
        m_observers.push_back(observer);
    }
}

void Document::removeObserver(DocumentObserver* observer) {
    std::erase(m_observers, observer);
}

void Document::notify(DocumentChange change, int index) const {
    // A copy, so an observer may unregister itself while being told.
    const std::vector<DocumentObserver*> observers = m_observers;
    for (DocumentObserver* o : observers) {
        o->documentChanged(change, index);
    }
}

} // namespace kelto
