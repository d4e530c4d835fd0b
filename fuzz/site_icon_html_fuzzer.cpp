// Feeds arbitrary pages to the site-icon link reader, which reads whatever a web site sends.
// Besides crashes and memory errors (AddressSanitizer), it checks the reader's promises: every
// candidate and manifest is an absolute http or https address with a host, and a page cannot
// make the reader slow (libFuzzer's -timeout catches a quadratic pattern on large inputs).
#include "siteicons/SiteIconDiscovery.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

namespace {

void checkAddress(const QUrl& url) {
    const QString scheme = url.scheme();
    if ((scheme != u"http" && scheme != u"https") || url.host().isEmpty() || url.isRelative()) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static int appArgc = 1;
    static char* appArgv[] = {(*argv)[0], nullptr};
    static QCoreApplication app(appArgc, appArgv);
    (void)argc;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString html = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const SiteIconDiscovery::Links links =
        SiteIconDiscovery::links(html, QUrl(QStringLiteral("https://example.org/dir/page.html")));
    for (const SiteIconDiscovery::Candidate& icon : links.icons) {
        checkAddress(icon.url);
    }
    for (const QUrl& manifest : links.manifests) {
        checkAddress(manifest);
    }
    const QList<SiteIconDiscovery::Candidate> ranked = SiteIconDiscovery::ranked(links.icons);
    for (qsizetype index = 1; index < ranked.size(); ++index) {
        if (ranked[index - 1].size < ranked[index].size) {
            std::abort();
        }
    }
    return 0;
}
