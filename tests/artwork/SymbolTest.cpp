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
TEST(LucideIcons, IconsShipStayInTheirFolderAndAreFittedWhiteOrLoggedWhenBroken) {
    for (const char* name : {"volume-2", "volume-1", "volume-x", "skip-back", "play", "pause",
                             "skip-forward", "sun", "sun-dim", "sun-moon", "arrow-down", "arrow-up",
                             "keyboard", "folder", "globe", "terminal"}) {
        EXPECT_TRUE(LucideIcons::iconPath(name)) << name;
    }
    const QString licence = LucideIcons::licensePath().value_or("");
    EXPECT_TRUE(licence.endsWith("/Lucide-LICENSE.txt") && readFile(licence).contains("Lucide"));

    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("icons"));
    writeFile(dir.filePath("outside.svg"), "<svg xmlns='http://www.w3.org/2000/svg'/>");
    const IconFolderOverride override(dir.filePath("icons"));
    EXPECT_FALSE(LucideIcons::iconPath("../outside") || LucideIcons::iconPath("Volume-2"));
    // An icon is scaled into a 70-point box at (15, 15), white, a non-square one fitted by its
    // longer side (the catalog's are drawn on the pads in tests/pipeline); a missing or broken one
    // is logged and absent.
    QTemporaryDir icons;
    writeFile(icons.filePath("wide.svg"),
              "<svg xmlns='http://www.w3.org/2000/svg' width='48' height='24' viewBox='0 0 48 24'>"
              "<rect width='48' height='24' fill='currentColor'/></svg>");
    writeFile(icons.filePath("broken.svg"), "this is not an svg");
    const IconFolderOverride own(icons.path());
    const auto image = Artwork::symbol("wide", "Wide");
    ASSERT_TRUE(image);
    EXPECT_EQ(std::tuple(image->size(), image->text("Description"), image->pixel(50, 50)),
              std::tuple(QSize(100, 100), QString("Wide"), qRgb(255, 255, 255)));
    // Each edge of the ink within a pixel of (15, 32.5) to (84, 66.5).
    const QRect ink = inkBounds(*image);
    EXPECT_TRUE(QRect(14, 32, 3, 2).contains(ink.topLeft()));
    EXPECT_TRUE(QRect(83, 66, 3, 2).contains(ink.bottomRight()));

    const LogCapture log;
    EXPECT_FALSE(Artwork::symbol("no-such-icon", "Nothing") || Artwork::symbol("broken", "Broken"));
    EXPECT_TRUE(log.contains("Missing or unreadable Lucide icon: no-such-icon") &&
                log.contains("Missing or unreadable Lucide icon: broken"));
}
