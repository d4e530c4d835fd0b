// Feeds arbitrary bytes to the image loader, the way a dropped file, a settings bundle or a
// downloaded site icon reaches it. Besides crashes and memory errors (AddressSanitizer), it
// checks the loader's promises: either a refusal or a non-null image no larger than the cap.
#include "artwork/ImageLoading.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {
void quiet(QtMsgType, const QMessageLogContext&, const QString&) {
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Decoders complain about every broken input; that noise would drown the fuzzer's output.
    qInstallMessageHandler(quiet);
    static int appArgc = 1;
    static char* appArgv[] = {(*argv)[0], nullptr};
    static QGuiApplication app(appArgc, appArgv);
    (void)argc;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const QImage image = ImageLoading::image(bytes);
        if (image.isNull() ||
            std::max(image.width(), image.height()) > ImageLoading::maxDimension) {
            std::abort();
        }
    } catch (const ImageLoadError&) {
    }
    return 0;
}
