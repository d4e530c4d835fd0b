#include "ImageSamples.h"
#include "artwork/Artwork.h"
#include "artwork/LucideIcons.h"

#include "support/TestSupport.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Points an override folder at the front of the icon lookup for one test.
class IconFolderOverride {
public:
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

// The bounding box of pixels that are not transparent.
QRect inkBounds(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 128) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
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

TEST(Artwork, SymbolIsAWhiteIconCentredInItsBox) {
    const auto image = Artwork::symbol("volume-x", "Mute");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(100, 100));
    EXPECT_EQ(image->text("Description"), "Mute");
    const QRect ink = inkBounds(*image);
    // The 24-point icon is scaled into a 70-point box at (15, 15); strokes stay inside it.
    EXPECT_GE(ink.left(), 15);
    EXPECT_GE(ink.top(), 15);
    EXPECT_LE(ink.right(), 85);
    EXPECT_LE(ink.bottom(), 85);
    EXPECT_GT(ink.width(), 40);
    // Strokes are white: no fully covered pixel has another colour.
    QMap<bool, int> covered;
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        for (int x = ink.left(); x <= ink.right(); ++x) {
            const QRgb pixel = image->pixel(x, y);
            covered[pixel == qRgb(255, 255, 255)] += qAlpha(pixel) == 255 ? 1 : 0;
        }
    }
    EXPECT_GT(covered[true], 100);
    EXPECT_EQ(covered[false], 0);
}

TEST(Artwork, NonSquareIconIsFittedByItsLongerSide) {
    QTemporaryDir dir;
    writeFile(dir.filePath("wide.svg"),
              "<svg xmlns='http://www.w3.org/2000/svg' width='48' height='24' viewBox='0 0 48 24'>"
              "<rect width='48' height='24' fill='currentColor'/></svg>");
    const IconFolderOverride override(dir.path());
    const auto image = Artwork::symbol("wide", "Wide");
    ASSERT_TRUE(image);
    const QRect ink = inkBounds(*image);
    EXPECT_NEAR(ink.left(), 15, 1);
    EXPECT_NEAR(ink.right(), 84, 1);
    EXPECT_NEAR(ink.top(), 32.5, 1);
    EXPECT_NEAR(ink.bottom(), 66.5, 1);
    EXPECT_EQ(image->pixel(50, 50), qRgb(255, 255, 255));
}

TEST(Artwork, MissingOrBrokenSymbolIsLoggedAndAbsent) {
    QTemporaryDir dir;
    writeFile(dir.filePath("broken.svg"), "this is not an svg");
    const IconFolderOverride override(dir.path());
    const LogCapture log;
    EXPECT_FALSE(Artwork::symbol("no-such-icon", "Nothing"));
    EXPECT_FALSE(Artwork::symbol("broken", "Broken"));
    EXPECT_TRUE(log.contains("Missing or unreadable Lucide icon: no-such-icon"));
    EXPECT_TRUE(log.contains("Missing or unreadable Lucide icon: broken"));
}
