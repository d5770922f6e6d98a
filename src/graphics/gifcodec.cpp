#include "graphics/imagecodecs.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <fstream>

namespace kelto {

namespace {

struct GifInput {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

int readCallback(GifFileType* gif, GifByteType* out, int n) {
    auto* in = static_cast<GifInput*>(gif->UserData);
    const size_t count = std::min(size_t(std::max(n, 0)), in->size - in->pos);
    std::memcpy(out, in->data + in->pos, count);
    in->pos += count;
    return int(count);
}

struct GifGuard {
    GifFileType* gif = nullptr;
    ~GifGuard() {
        if (gif) {
            int error = 0;
            DGifCloseFile(gif, &error);
        }
    }
};

[[noreturn]] void bad(const char* what) {
    throw KeltoError(std::string("Invalid GIF picture: ") + what);
}

void check(int result) {
    if (result == GIF_ERROR) {
        bad("damaged data");
    }
}

void skipExtension(GifFileType* gif) {
    int code = 0;
    GifByteType* block = nullptr;
    check(DGifGetExtension(gif, &code, &block));
    while (block) {
        check(DGifGetExtensionNext(gif, &block));
    }
}

Bitmap readImage(GifFileType* gif) {
    check(DGifGetImageDesc(gif));
    const GifImageDesc& desc = gif->Image;
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map || map->ColorCount <= 0 || map->ColorCount > 256) {
        bad("no colour table");
    }
    if (desc.Width <= 0 || desc.Height <= 0 || desc.Left < 0 || desc.Top < 0) {
        bad("empty image");
    }
    const bool onScreen = gif->SWidth > 0 && gif->SHeight > 0 &&
                          desc.Left + desc.Width <= gif->SWidth &&
                          desc.Top + desc.Height <= gif->SHeight;
    const int width = onScreen ? gif->SWidth : desc.Width;
    const int height = onScreen ? gif->SHeight : desc.Height;
    const int left = onScreen ? desc.Left : 0;
    const int top = onScreen ? desc.Top : 0;
    checkBitmapSize(width, height);
    // A 12-bit LZW code stands for at most 4096 pixels, so a byte holds fewer than 2800; a
    // larger claim than the remaining data can hold is refused before anything is allocated.
    const auto* in = static_cast<const GifInput*>(gif->UserData);
    if (double(desc.Width) * desc.Height > 2800.0 * double(in->size - in->pos) + 65536.0) {
        bad("image larger than its data");
    }
    Bitmap bitmap(width, height, PixelFormat::Bits8);
    std::vector<uint32_t> palette(size_t(map->ColorCount));
    for (int i = 0; i < map->ColorCount; ++i) {
        const GifColorType& c = map->Colors[i];
        palette[size_t(i)] = (uint32_t(c.Red) << 16) | (uint32_t(c.Green) << 8) | c.Blue;
    }
    bitmap.setPalette(std::move(palette));
    if (onScreen && (desc.Width != width || desc.Height != height)) {
        bitmap.fill(uint32_t(std::clamp(gif->SBackGroundColor, 0, 255)));
    }
    std::vector<GifPixelType> line(size_t(desc.Width));
    auto readRow = [&](int y) {
        check(DGifGetLine(gif, line.data(), desc.Width));
        std::memcpy(bitmap.row(top + y) + left, line.data(), line.size());
    };
    if (desc.Interlace) {
        static const int start[] = {0, 4, 2, 1};
        static const int step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = start[pass]; y < desc.Height; y += step[pass]) {
                readRow(y);
            }
        }
    } else {
        for (int y = 0; y < desc.Height; ++y) {
            readRow(y);
        }
    }
    return bitmap;
}

} // namespace

Bitmap decodeGif(const uint8_t* data, size_t size) {
    GifInput in{data, size, 0};
    GifGuard guard;
    int error = 0;
    guard.gif = DGifOpen(&in, readCallback, &error);
    if (!guard.gif) {
        bad("no GIF header");
    }
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        check(DGifGetRecordType(guard.gif, &type));
        if (type == IMAGE_DESC_RECORD_TYPE) {
            return readImage(guard.gif);
        }
        if (type == EXTENSION_RECORD_TYPE) {
            skipExtension(guard.gif);
        } else if (type == TERMINATE_RECORD_TYPE) {
            bad("no image");
        } else {
            bad("damaged data");
        }
    }
}

std::string lowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return "";
    }
    std::string ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

std::vector<uint8_t> readWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        throw KeltoError(ErrorCode::FileDoesNotExist);
    }
    const std::streamoff size = file.tellg();
    if (size < 0 || size > (std::streamoff(1) << 30)) {
        throw KeltoError("File too large");
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    file.seekg(0);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), size)) {
        throw KeltoError("Cannot read the file");
    }
    return bytes;
}

Bitmap readPictureFile(const std::string& path) {
    const std::string ext = lowerExtension(path);
    if (ext != ".bmp" && ext != ".png" && ext != ".gif" && ext != ".jpg" && ext != ".jpeg") {
        throw KeltoError(ErrorCode::FileTypeWrong);
    }
    const std::vector<uint8_t> bytes = readWholeFile(path);
    if (ext == ".bmp") {
        return readBmpFile(bytes.data(), bytes.size());
    }
    if (ext == ".png") {
        return decodePng(bytes.data(), bytes.size());
    }
    if (ext == ".gif") {
        return decodeGif(bytes.data(), bytes.size());
    }
    return decodeJpeg(bytes.data(), bytes.size());
}

} // namespace kelto
