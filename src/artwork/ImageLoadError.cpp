#include "artwork/ImageLoadError.h"

namespace {
const char* textFor(ImageLoadError::Kind kind) {
    switch (kind) {
        case ImageLoadError::tooLarge:
            return "The image file is larger than 30 MB";
        case ImageLoadError::tooManyPixels:
            return "The image has more than 100 megapixels";
        case ImageLoadError::unreadable:
            break;
    }
    return "The image could not be decoded";
}
}  // namespace

ImageLoadError::ImageLoadError(Kind kind) : kind_(kind), utf8_(textFor(kind)) {
}

QString ImageLoadError::message() const {
    return QString::fromUtf8(textFor(kind_));
}
