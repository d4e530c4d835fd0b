#include "ui/IconPickerIntl.h"

#include <QCoreApplication>

namespace {

QString text(const char* source) {
    return QCoreApplication::translate("IconPicker", source);
}

}  // namespace

QString IconPickerIntl::initialQuery(const QString& searchName) {
    return text("%1").arg(searchName);
}

QString IconPickerIntl::chooseAnImageFirst() {
    return text("Choose an image first.");
}

QString IconPickerIntl::chooseLocalImage() {
    return text("Choose Local Image…");
}

QString IconPickerIntl::chooseDeviceImage() {
    return text("Choose Device Image");
}

QString IconPickerIntl::clickAnImageResultOrChoose() {
    return text("Click an image result, or choose a local image.");
}

QString IconPickerIntl::couldNotLoadThatImageTry() {
    return text("Could not load that image. Try another result or a local file.");
}

QString IconPickerIntl::dragAndZoomThenUseThis() {
    return text("Drag and zoom, then use this crop.");
}

QString IconPickerIntl::dragToPositionTheSquareCrop() {
    return text("Drag to position the square crop.");
}

QString IconPickerIntl::ifNoImagesAppearTryAnother() {
    return text("If no images appear, try another search or choose a local image.");
}

QString IconPickerIntl::loadingSelectedImage() {
    return text("Loading selected image…");
}

QString IconPickerIntl::search() {
    return text("Search");
}

QString IconPickerIntl::searchUnavailableTryAgainOrChoose() {
    return text("Search unavailable. Try again or choose a local image.");
}

QString IconPickerIntl::searchingDuckduckgoImages() {
    return text("Searching DuckDuckGo images…");
}

QString IconPickerIntl::selectAnImageToCrop() {
    return text("Select an image to crop");
}

QString IconPickerIntl::useThisCrop() {
    return text("Use This Crop");
}

QString IconPickerIntl::searchingForImages() {
    return text("Searching for images…");
}

QString IconPickerIntl::selectImage(qsizetype number) {
    return text("Select image %1").arg(number);
}
