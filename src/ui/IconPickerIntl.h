#pragma once

#include <QString>

// The texts of the artwork picker and its crop window, looked up in the translation context
// "IconPicker" with the English text as the fallback. One function per text. Main thread.
class IconPickerIntl {
public:
    static QString initialQuery(const QString& searchName);
    static QString chooseAnImageFirst();
    static QString chooseLocalImage();
    static QString chooseDeviceImage();
    static QString clickAnImageResultOrChoose();
    static QString couldNotLoadThatImageTry();
    static QString dragAndZoomThenUseThis();
    static QString dragToPositionTheSquareCrop();
    static QString ifNoImagesAppearTryAnother();
    static QString loadingSelectedImage();
    static QString search();
    static QString searchUnavailableTryAgainOrChoose();
    static QString searchingDuckduckgoImages();
    static QString selectAnImageToCrop();
    static QString useThisCrop();
    static QString searchingForImages();
    // The accessible name of result `number` (counted from one).
    static QString selectImage(qsizetype number);
};
