#pragma once

#include "artwork/ImageLoadError.h"

#include <QByteArray>
#include <QImage>
#include <QUrl>

#include <cstdint>

// The one gate through which every image from outside (dropped or chosen files, artwork named
// by a configuration, images inside settings bundles, downloaded site icons, icons set by
// scripts) is decoded. It bounds what a hostile or broken file can cost: the byte count is
// checked before anything is read, the pixel count from the header before any pixel is
// decoded, and decoding goes straight into a picture whose longer side is at most
// `maxDimension` (never enlarged), with the file's orientation applied.
//
// Stateless and safe to call from any thread. Failures are thrown: ImageLoadError for the
// three refusals, ActionError for a file that cannot be read at all. Never returns a null
// image.
class ImageLoading {
public:
    static constexpr int64_t maxBytes = 31457280;  // 30 MiB
    static constexpr int64_t maxSourcePixels = 100000000;
    static constexpr int maxDimension = 4096;
    // Vector images (SVG) have no pixels of their own; they are drawn at least this large on
    // their longer side so that a small intrinsic size does not blur on a key or in the window.
    static constexpr int vectorRenderSide = 1024;

    // Decodes the file at `fileUrl` (a local file URL, or a URL holding just a path). Throws
    // ImageLoadError::tooLarge without reading a file that is larger than `maxBytes`, and
    // ActionError when the file is missing, is a folder, is not a regular file (a pipe, socket
    // or device: refused without blocking) or cannot be read.
    static QImage image(const QUrl& fileUrl);

    // Decodes encoded bytes (PNG, JPEG, GIF, WebP, TIFF, BMP and the other formats Qt reads;
    // SVG as the vector format). The format comes from the content, never from a file name.
    static QImage image(const QByteArray& data);

    // Throws ImageLoadError::tooManyPixels when width x height exceeds `maxSourcePixels` or
    // does not fit in 64 bits; otherwise does nothing.
    static void validatePixels(int64_t width, int64_t height);
};
