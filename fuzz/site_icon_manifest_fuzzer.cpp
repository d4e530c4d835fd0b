// Feeds arbitrary bytes to the web app manifest reader of the site-icon search. Besides crashes
// and memory errors (AddressSanitizer), it checks the reader's promises: never more candidates
// than the entries it looks at, and each an absolute http or https address with a host.
#include "siteicons/SiteIconDiscovery.h"

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
    const QList<SiteIconDiscovery::Candidate> icons = SiteIconDiscovery::manifestIcons(
        bytes, QUrl(QStringLiteral("https://example.org/app/manifest.webmanifest")));
    if (icons.size() > SiteIconDiscovery::manifestIconLimit) {
        std::abort();
    }
    for (const SiteIconDiscovery::Candidate& icon : icons) {
        const QString scheme = icon.url.scheme();
        if ((scheme != u"http" && scheme != u"https") || icon.url.host().isEmpty()) {
            std::abort();
        }
    }
    return 0;
}
