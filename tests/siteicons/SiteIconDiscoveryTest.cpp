#include "siteicons/SiteIconDiscovery.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using Candidate = SiteIconDiscovery::Candidate;

QString describe(const QList<Candidate>& candidates) {
    QStringList parts;
    for (const Candidate& candidate : candidates) {
        parts << candidate.url.toString() + " " + QString::number(candidate.size);
    }
    return parts.join(", ");
}

}  // namespace

TEST(SiteIconDiscovery, PageLinksResolveAgainstTheBaseAndTakeTheirSizes) {
    const QUrl page("https://www.example.com/news/today.html");
    const struct {
        const char* html;
        const char* icons;
        const char* manifests;
    } rows[] = {
        {"<link rel=\"icon\" href=\"/static/icon.png\">",
         "https://www.example.com/static/icon.png 32", ""},
        {"<base href=\"https://cdn.example.net/assets/\"><link rel=icon href=a.png>"
         "<BASE href=https://other.example/>",
         "https://cdn.example.net/assets/a.png 32", ""},
        {"<link rel=icon href=\"data:image/png;base64,AAAA\"><link rel=icon href='javascript:x()'>"
         "<link rel=icon><link href=/no-rel.png>",
         "", ""},
        {"<link rel=\"icon\" href=\"/i.png?a=1&amp;b=&quot;2&quot;&amp;c=&#39;3&#39;\">",
         "https://www.example.com/i.png?a=1&b=%222%22&c='3' 32", ""},
        {"<link rel=apple-touch-icon href=t.png><link rel='apple-touch-icon-precomposed' "
         "sizes=152x152 href=p.png>",
         "https://www.example.com/news/t.png 180, https://www.example.com/news/p.png 152", ""},
        {"<LINK REL=\"Shortcut Icon\" SIZES=\"16x16 32x32 48X48\" HREF=\"/f.ico\" rel=icon "
         "sizes=any>\n<link\nrel=manifest href=/m.json>",
         "https://www.example.com/f.ico 32", "https://www.example.com/m.json"},
        {"<link rel=icon href=/a.png sizes=x64><link rel=icon href=/b.png",
         "https://www.example.com/a.png 64", ""},
    };
    for (const auto& row : rows) {
        const SiteIconDiscovery::Links links = SiteIconDiscovery::links(row.html, page);
        EXPECT_EQ(describe(links.icons), row.icons) << row.html;
        QStringList manifests;
        for (const QUrl& url : links.manifests) {
            manifests << url.toString();
        }
        EXPECT_EQ(manifests.join(", "), row.manifests) << row.html;
    }
}

TEST(SiteIconDiscovery, ManifestIconsAreTheFirst32ShowableEntries) {
    const QUrl manifest("https://example.com/app/site.webmanifest");
    QStringList entries;
    for (int index = 0; index < 40; ++index) {
        entries << QString(R"({"src": "/i%1.png", "sizes": "%2x1"})").arg(index).arg(index + 1);
    }
    const QByteArray forty = ("{\"icons\": [" + entries.join(',') + "]}").toUtf8();
    const struct {
        QByteArray json;
        const char* icons;
    } rows[] = {
        {R"({"icons": [{"src": "mono.svg", "purpose": "monochrome"},
                       {"src": "both.png", "purpose": "maskable any", "sizes": "512x512"},
                       {"src": "plain.png"}, {"src": 7}, {"src": "ftp://x/y.png"}]})",
         "https://example.com/app/both.png 512, https://example.com/app/plain.png 192"},
        {"not json", ""},
        {R"({"icons": {"src": "a.png"}})", ""},
        {R"({"icons": [{"src": "a.png"}, 3]})", ""},
        {R"([{"icons": []}])", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(describe(SiteIconDiscovery::manifestIcons(row.json, manifest)), row.icons)
            << row.json.toStdString();
    }
    const QList<Candidate> icons = SiteIconDiscovery::manifestIcons(forty, manifest);
    ASSERT_EQ(icons.size(), 32);
    EXPECT_EQ(icons.last().size, 32);
}
