#include "app/QuorvelApplication.h"
#include "app/VirtualPads.h"
#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "device/virtual/VirtualDisplayPad.h"
#include "siteicons/SiteIconCache.h"
#include "support/LoopbackSite.h"
#include "support/ModelHarness.h"
#include "support/SettingsFiles.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

// The program on the virtual DisplayPad: key 1 shows its loopback site's red icon, also after a
// restart with the site gone; key 2's site has no icon, so it keeps its globe, with a log line.
TEST(SiteIconCache, WebAddressKeyShowsTheSiteIconAlsoAfterARestartWithoutTheSite) {
    QTemporaryDir root, cacheFolder;
    LoopbackSite site;
    site.serve("/", 200, "<link rel=icon sizes=64x64 href=/red.png>");
    site.serve("/red.png", 200, LoopbackSite::png(64, Qt::red));
    const QString id = virtualDisplayPadID();
    SavedConfiguration configuration = DefaultConfiguration::configuration(DeviceKind::mountain);
    QList<Binding>& keys = configuration.scenes[0].keys;
    keys[0].action = keys[1].action = "Open URL";
    keys[0].argument = site.url("/").toString();
    keys[1].argument = site.url("/missing/").toString();
    writeBytes(root.filePath(id + "/bindings.json"), ConfigurationJson::encode(configuration));

    for (const bool restart : {false, true}) {
        if (restart) {
            site.stop();
        }
        LogCapture log;
        QuorvelApplication::Backends backends;
        backends.settingsRoot = root.path();
        backends.siteIcons = std::make_shared<SiteIconCache>(cacheFolder.path());
        QuorvelApplication::Options options;
        options.simulate = true;
        QuorvelApplication app(options, std::move(backends), QDBusConnection("none"));
        app.launch();
        auto pad =
            std::static_pointer_cast<VirtualDisplayPad>(app.virtualPads()->pad("displaypad"));
        const auto shows = [&](int key, QColor colour) {
            return !pad->keyImage(key).isNull() && near(keyColor(*pad, key), colour, 24);
        };
        EXPECT_TRUE(waitUntil([&] { return shows(1, Qt::red); }, std::chrono::seconds(30)))
            << (restart ? "after the restart\n" : "") << log.lines().join('\n');
        if (!restart) {
            EXPECT_TRUE(waitUntil([&] {
                return log.lines().join('\n').contains("No site icon for " +
                                                       site.url("/missing/").toString());
            })) << log.lines().join('\n');
        }
        EXPECT_FALSE(shows(2, Qt::red));
        bool finished = false;
        QObject::connect(&app, &QuorvelApplication::finished, [&] { finished = true; });
        app.quit();
        ASSERT_TRUE(waitUntil([&] { return finished; }, std::chrono::seconds(30)));
    }
    EXPECT_EQ(site.requests().count("/"), 1);
}
