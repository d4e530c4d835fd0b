#include "siteicons/SiteIconCache.h"
#include "siteicons/SiteIconLoader.h"
#include "support/LoopbackSite.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Every site is served from loopback; all loads run at once so that the time-outs overlap.
TEST(SiteIconLoader, HostileAndBrokenSitesEndWithTheBestIconOrNoneAndAReason) {
    const QByteArray bigPage = "<html>" + QByteArray(SiteIconLoad::pageLimit, ' ');
    const struct Row {
        const char* name;
        int size;  // 0: none
        const char* problem;
        std::function<void(LoopbackSite&)> serve;
    } rows[] = {
        {"base element and link icons", 64, "",
         [](LoopbackSite& site) {
             site.serve("/", 200,
                        "<base href=" + site.url("/assets/").toEncoded() +
                            "><link rel=icon sizes=64x64 href=i.png>");
             site.serve("/assets/i.png", 200, LoopbackSite::png(64, Qt::red));
         }},
        {"manifest icon good enough stops the search", 300, "",
         [](LoopbackSite& site) {
             site.serve("/", 200,
                        "<link rel=manifest href=/m1><link rel=manifest href=/m2>"
                        "<link rel=manifest href=/m3><link rel=icon href=/i32.png>");
             site.serve("/m1", 200, R"({"icons": [{"src": "/big.png", "sizes": "300x300"}]})");
             site.serve("/big.png", 200, LoopbackSite::png(300, Qt::red));
         }},
        {"redirected page resolves against the final address", 40, "",
         [&](LoopbackSite& site) {
             site.serve("/", 302, "/home/");
             site.serve("/home/", 200, "<link rel=icon href=i.png>");
             site.serve("/home/i.png", 200, LoopbackSite::png(40, Qt::red));
         }},
        {"redirect loop and non-web redirect", 0, "More than 10 redirects",
         [](LoopbackSite& site) {
             site.serve("/", 302, "/again");
             site.serve("/again", 302, "/");
             site.serve("/favicon.ico", 302, "file:///etc/passwd");
         }},
        {"404 page still tries the fallbacks, not its links", 20, "status 404",
         [&](LoopbackSite& site) {
             site.serve("/", 404, "<link rel=manifest href=/m><link rel=icon href=/i32.png>");
             site.serve("/apple-touch-icon-precomposed.png", 200, LoopbackSite::png(20, Qt::red));
         }},
        {"bodies past the limits, announced or not", 0, "than the limit",
         [&](LoopbackSite& site) {
             site.serve("/", {.body = bigPage, .announceLength = false});
             site.serve("/favicon.ico", 200, QByteArray(SiteIconLoad::iconLimit + 1, 'x'));
         }},
        {"trickling page times out; then the fallbacks", 16, "Timed out",
         [&](LoopbackSite& site) {
             site.serve("/", {.body = QByteArray(200, ' '), .trickle = true});
             site.serve("/favicon.ico", 200, LoopbackSite::png(16, Qt::red));
         }},
        {"server that never answers", 0, "No answer",
         [&](LoopbackSite& site) { site.serve("/", {.silent = true}); }},
        {"ICO files give their largest frame, or the next when it is broken", 32, "",
         [](LoopbackSite& site) {
             site.serve("/favicon.ico", 200, LoopbackSite::ico({16, 32, 256}, 256));
         }},
        {"an ICO with a 16, 256 and 32 pixel frame", 256, "",
         [](LoopbackSite& site) {
             site.serve("/favicon.ico", 200, LoopbackSite::ico({16, 256, 32}));
         }},
        {"a large icon is scaled to 512", 512, "",
         [](LoopbackSite& site) {
             site.serve("/favicon.ico", 200, LoopbackSite::png(1024, Qt::red));
         }},
        {"HTML served as the icon, then a 1x1 icon", 1, "not a usable image",
         [&](LoopbackSite& site) {
             site.serve("/apple-touch-icon.png", 200, "<html></html>");
             site.serve("/favicon.ico", 200, LoopbackSite::png(1, Qt::red));
         }},
    };
    std::vector<std::unique_ptr<LoopbackSite>> sites;
    std::vector<std::unique_ptr<SiteIconLoad>> loads;
    std::vector<std::optional<std::pair<QByteArray, QStringList>>> results(std::size(rows));
    for (const Row& row : rows) {
        sites.push_back(std::make_unique<LoopbackSite>());
        row.serve(*sites.back());
        loads.push_back(std::make_unique<SiteIconLoad>(sites.back()->url("/")));
        QObject::connect(
            loads.back().get(), &SiteIconLoad::finished,
            [&, index = loads.size() - 1](const QByteArray& png, const QStringList& p) {
                results[index] = {png, p};
            });
        loads.back()->start();
    }
    ASSERT_TRUE(waitUntil(
        [&] {
            return std::all_of(results.begin(), results.end(),
                               [](auto& r) { return r.has_value(); });
        },
        std::chrono::seconds(60)));
    // Two of three manifests, and nothing after the first good enough icon.
    EXPECT_EQ(sites[1]->requests(), QStringList({"/", "/m1", "/m2", "/big.png"}));
    for (size_t index = 0; index < std::size(rows); ++index) {
        const auto& [png, problems] = *results[index];
        const QImage image = QImage::fromData(png);
        EXPECT_EQ(image.isNull() ? 0 : image.width(), rows[index].size) << rows[index].name;
        EXPECT_TRUE(problems.join('\n').contains(rows[index].problem))
            << rows[index].name << ": " << problems.join('\n');
    }
}

TEST(SiteIconCache, FetchesOncePerHourStoresOnDiskAndRefreshesAfterAWeek) {
    QTemporaryDir folder;
    LoopbackSite site;
    site.serve("/", 200, "<link rel=icon sizes=48x48 href=/i.png>");
    site.serve("/i.png", 200, LoopbackSite::png(48, Qt::red));
    const QUrl address = site.url("/");
    QDateTime now = QDateTime::currentDateTimeUtc();
    QStringList arrived;
    {
        SiteIconCache cache(folder.path());
        cache.setClock([&] { return now; });
        QObject::connect(&cache, &SiteIconCache::siteIconUpdated,
                         [&](const QString& key) { arrived << key; });
        cache.request(address.toString() + "#one");
        cache.request(address.toString() + "#two");
        ASSERT_TRUE(waitUntil([&] { return !arrived.isEmpty(); }));
        EXPECT_EQ(arrived, QStringList{address.toString()});
        EXPECT_EQ(site.requests().count("/"), 1);
        EXPECT_EQ(cache.image(address.toString() + "#three").size(), QSize(48, 48));
        EXPECT_EQ(QFileInfo(cache.diskFile(address)).fileName().size(), 64 + 4);
    }
    site.stop();
    SiteIconCache restarted(folder.path());
    restarted.setClock([&] { return now; });
    EXPECT_EQ(restarted.image(address).size(), QSize(48, 48));
    now = now.addDays(6);
    restarted.request(address);
    EXPECT_EQ(restarted.runningFetches(), 0) << "a cached icon is fresh for a week";
    now = now.addDays(2);
    restarted.request(address);
    EXPECT_EQ(restarted.runningFetches(), 1);
    ASSERT_TRUE(waitUntil([&] { return restarted.runningFetches() == 0; }));
    restarted.request(address);
    EXPECT_EQ(restarted.runningFetches(), 0) << "a failed site is tried once an hour";
    now = now.addSecs(3600);
    restarted.request(address);
    EXPECT_EQ(restarted.runningFetches(), 1);
}
