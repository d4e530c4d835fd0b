#include "ImageSamples.h"
#include "artwork/Artwork.h"
#include "artwork/LucideIcons.h"

#include <QFile>
#include <QTemporaryDir>

namespace {
// Points an override folder at the front of the icon lookup for one test.
struct IconFolderOverride {
    explicit IconFolderOverride(const QString& folder) {
        qputenv("QUORVEL_LUCIDE_DIR", folder.toUtf8());
    }
    ~IconFolderOverride() { qunsetenv("QUORVEL_LUCIDE_DIR"); }
};

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QRect inkBounds(const QImage& image) {
    return boundsWhere(image, [](QRgb pixel) { return qAlpha(pixel) > 128; });
}
}  // namespace

// Every icon of the action catalog and the licence ship with the build; names cannot leave
// the icon folder.
TEST(LucideIcons, CatalogIconsAndLicenceShipAndNamesStayInTheirFolder) {
    for (const char* name : {"volume-2", "volume-1", "volume-x", "skip-back", "play", "pause",
                             "skip-forward", "sun", "sun-dim", "sun-moon", "arrow-down", "arrow-up",
                             "keyboard", "folder", "globe", "terminal"}) {
        EXPECT_TRUE(LucideIcons::iconPath(name)) << name;
    }
    const auto licence = LucideIcons::licensePath();
    ASSERT_TRUE(licence);
    EXPECT_TRUE(licence->endsWith("/Lucide-LICENSE.txt"));
    EXPECT_TRUE(readFile(*licence).contains("Lucide"));

    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("icons"));
    writeFile(dir.filePath("outside.svg"), "<svg xmlns='http://www.w3.org/2000/svg'/>");
    const IconFolderOverride override(dir.filePath("icons"));
    EXPECT_FALSE(LucideIcons::iconPath("../outside"));
    EXPECT_FALSE(LucideIcons::iconPath("Volume-2"));
}

// An icon is scaled into a 70-point box at (15, 15), white, a non-square one fitted by its longer
// side (the catalog's are drawn on the pads in tests/pipeline); a missing or broken one is logged
// and absent.
TEST(Artwork, IconsAreFittedIntoTheirBoxByTheLongerSideOrLoggedWhenBroken) {
    QTemporaryDir dir;
    writeFile(dir.filePath("wide.svg"),
              "<svg xmlns='http://www.w3.org/2000/svg' width='48' height='24' viewBox='0 0 48 24'>"
              "<rect width='48' height='24' fill='currentColor'/></svg>");
    writeFile(dir.filePath("broken.svg"), "this is not an svg");
    const IconFolderOverride override(dir.path());
    const auto image = Artwork::symbol("wide", "Wide");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(100, 100));
    EXPECT_EQ(image->text("Description"), "Wide");
    const QRect ink = inkBounds(*image);
    EXPECT_NEAR(ink.left(), 15, 1);
    EXPECT_NEAR(ink.right(), 84, 1);
    EXPECT_NEAR(ink.top(), 32.5, 1);
    EXPECT_NEAR(ink.bottom(), 66.5, 1);
    EXPECT_EQ(image->pixel(50, 50), qRgb(255, 255, 255));

    const LogCapture log;
    EXPECT_FALSE(Artwork::symbol("no-such-icon", "Nothing"));
    EXPECT_FALSE(Artwork::symbol("broken", "Broken"));
    EXPECT_TRUE(log.contains("Missing or unreadable Lucide icon: no-such-icon"));
    EXPECT_TRUE(log.contains("Missing or unreadable Lucide icon: broken"));
}
