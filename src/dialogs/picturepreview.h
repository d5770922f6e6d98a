#pragma once

#include <QLabel>

namespace kelto {

// The preview pane of the picture-open dialogs: figure-type files show their figure (with the
// file's generation), other pictures a reduced copy.
class PicturePreview : public QLabel {
    Q_OBJECT
public:
    explicit PicturePreview(QWidget* parent = nullptr);

    void showFile(const QString& path);

private:
    void showBitmap(const QString& path, int side);
};

} // namespace kelto
