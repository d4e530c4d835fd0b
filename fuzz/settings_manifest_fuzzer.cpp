// Feeds arbitrary bytes to the settings bundle's manifest reader, the first thing of a stranger's
// bundle that this program reads. Besides crashes and memory errors (AddressSanitizer), it checks
// the reader's promise: either a refusal with a message, or an archive that passes its own
// structure check and writes a manifest that reads back to the same archive.
#include "config/SettingsArchive.h"
#include "core/ActionError.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static int appArgc = 1;
    static char* appArgv[] = {(*argv)[0], nullptr};
    static QCoreApplication app(appArgc, appArgv);
    (void)argc;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    SettingsArchive archive;
    try {
        archive = SettingsArchive::fromManifest(bytes);
    } catch (const ActionError& error) {
        if (error.message().isEmpty()) {
            std::abort();
        }
        return 0;
    }
    archive.validateStructure();
    const SettingsArchive again = SettingsArchive::fromManifest(archive.manifest());
    if (again.scenes != archive.scenes || again.activeSceneID != archive.activeSceneID ||
        again.brightness != archive.brightness || again.followMac != archive.followMac ||
        !(again.kind == archive.kind) || again.scope != archive.scope) {
        std::abort();
    }
    return 0;
}
