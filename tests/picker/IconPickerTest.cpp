#include "support/LoopbackSite.h"
#include "support/TestSupport.h"

#include "artwork/ImageLoading.h"
#include "picker/IconPicker.h"
#include "ui/IconPickerIntl.h"
#include "ui/SquareCropView.h"

#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace {

// Before the application exists: the engine's own set-up, and a proxy that refuses everything
// the engine might fetch beyond this machine (loopback never goes through a proxy).
const bool engineReady = [] {
    IconPicker::prepareEngine();
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--proxy-server=http://127.0.0.1:9");
    return true;
}();

QByteArray dataAddress(const QByteArray& bytes) {
    return "data:image/png;base64," + bytes.toBase64();
}

// An imitation of a search engine's result page: thumbnails (one of them twice), an icon too
// small to offer, a data: image, a thumbnail added late, and an image that never arrives, so
// that the page never finishes loading.
QByteArray resultsPage() {
    return "<!DOCTYPE html><html><body>"
           "<img src='/a.png'><img src='/tiny.png'><img src='/b.png'><img src='/a.png'>"
           "<img src='" +
           dataAddress(LoopbackSite::png(90, Qt::green)) +
           "'><img src='/never.png'>"
           "<script>setTimeout(() => { const i = document.createElement('img');"
           " i.src = '/late.png'; document.body.appendChild(i); }, 300);</script>"
           "</body></html>";
}

struct Picker {
    explicit Picker(const QString& searchPath = "/search") {
        site.serve("/search", {.body = resultsPage(), .contentType = "text/html"});
        for (const char* path : {"/a.png", "/b.png", "/late.png"}) {
            site.serve(QString::fromLatin1(path), 200, LoopbackSite::png(120, Qt::blue));
        }
        site.serve("/tiny.png", 200, LoopbackSite::png(16, Qt::red));
        site.serve("/never.png", {.silent = true});
        picker.setSearchBase(searchPath.isEmpty() ? QUrl("http://127.0.0.1:9/")
                                                  : site.url(searchPath));
        BoundedDownload::Settings slow;
        slow.timeout = std::chrono::seconds(1);
        picker.setDownloadSettings(slow);
        picker.cropClosed = [this](bool accepted) { closed.push_back(accepted); };
        picker.show("play", [this](const QByteArray& png) { this->png = png; });
    }
    // The grid's buttons as "label src" lines.
    QStringList grid() {
        std::optional<QStringList> shown;
        picker.browser()->page()->runJavaScript(
            "Array.from(document.querySelectorAll('#grid button')).map(b =>"
            " b.getAttribute('aria-label') + ' ' + b.firstChild.getAttribute('src'))",
            [&](const QVariant& value) { shown = value.toStringList(); });
        waitUntil([&] { return shown.has_value(); });
        return shown.value_or(QStringList{"(no answer)"});
    }

    LoopbackSite site;
    std::vector<bool> closed;
    std::optional<QByteArray> png;
    IconPicker picker;  // last: closing it at the end still reports to the members above
};

}  // namespace

TEST(IconPicker, SearchResultsFillTheGridOnceEach) {
    Picker p;
    const QString data = QString::fromLatin1(dataAddress(LoopbackSite::png(90, Qt::green)));
    const QString a = p.site.url("/a.png").toString(), b = p.site.url("/b.png").toString(),
                  late = p.site.url("/late.png").toString();
    ASSERT_TRUE(waitUntil([&] { return p.picker.pendingResults().size() == 4; }))
        << p.picker.pendingResults().join(' ');
    EXPECT_EQ(p.picker.pendingResults(), (QStringList{a, b, data, late}));
    EXPECT_EQ(p.site.requests().value(0), "/search?q=play&iax=images&ia=images");
    EXPECT_EQ(p.picker.status(), IconPickerIntl::clickAnImageResultOrChoose());
    // Results of an older query are dropped; the grid shows every address once.
    p.picker.receiveResults(QVariantMap{{"query", "older"}, {"urls", QStringList{"http://x/1"}}});
    EXPECT_TRUE(waitUntil([&] { return p.grid().size() == 4; }));
    // Images arrive in any order; the buttons are numbered in the grid's.
    QStringList grid = p.grid(), addresses;
    for (int i = 0; i < grid.size(); ++i) {
        EXPECT_TRUE(grid[i].startsWith(QString("Select image %1 ").arg(i + 1))) << grid[i];
        addresses.append(grid[i].section(' ', 3));
    }
    addresses.sort();
    EXPECT_EQ(addresses, (QStringList{data, a, b, late}));
    // A new search starts over with an empty grid.
    p.site.serve("/search?q=stop&iax=images&ia=images",
                 {.body = "<p>Nothing found</p>", .contentType = "text/html"});
    p.picker.query()->setText("stop");
    p.picker.searchImages();
    EXPECT_TRUE(p.picker.isAwaitingResults());
    EXPECT_TRUE(waitUntil([&] { return p.grid().isEmpty() && !p.picker.isAwaitingResults(); }));
}

TEST(IconPicker, SelectedResultsLoadWithinTheLimitsOrSaySo) {
    Picker p;
    p.site.serve("/page.html", {.body = "<p>no image</p>", .contentType = "text/html"});
    p.site.serve("/huge.png", 200, QByteArray(ImageLoading::maxBytes + 1, '\0'));
    p.site.serve("/slow.png", {.trickle = true, .announceLength = false});
    p.site.serve("/ftp.png", 302, "ftp://127.0.0.1/a.png");
    const QString tooLong =
        "data:image/png;base64," + QString(ImageLoading::maxBytes / 3 * 4 + 5, 'A');
    struct Row {
        QString address;
        bool loads;
    };
    const QString failed = IconPickerIntl::couldNotLoadThatImageTry();
    for (const Row& row :
         {Row{p.site.url("/a.png").toString(), true},
          Row{QString::fromLatin1(dataAddress(LoopbackSite::png(90, Qt::red))), true},
          Row{"data:image/png;base64,@@@@", false}, Row{tooLong, false},
          Row{p.site.url("/missing.png").toString(), false},
          Row{p.site.url("/page.html").toString(), false},
          Row{p.site.url("/huge.png").toString(), false},
          Row{p.site.url("/slow.png").toString(), false},
          Row{p.site.url("/ftp.png").toString(), false}, Row{"file:///etc/passwd", false}}) {
        p.picker.selectResult(row.address);
        const QString expected = row.loads ? IconPickerIntl::dragAndZoomThenUseThis() : failed;
        EXPECT_TRUE(waitUntil([&] { return p.picker.status() == expected; }))
            << row.address.left(60) << ": " << p.picker.status();
        EXPECT_EQ(p.picker.crop()->hasImage(), row.loads) << row.address.left(60);
    }

    // A newer selection wins over a download still running.
    p.picker.selectResult(p.site.url("/never.png").toString());
    EXPECT_TRUE(p.picker.isDownloading());
    p.picker.selectResult(QString::fromLatin1(dataAddress(LoopbackSite::png(90, Qt::red))));
    EXPECT_FALSE(p.picker.isDownloading());
    EXPECT_TRUE(p.picker.crop()->hasImage());
}

TEST(IconPicker, UseThisCropNeedsAnImageAndClosingCancelsTheDownload) {
    {
        Picker p;
        p.picker.useCrop();
        EXPECT_EQ(p.picker.status(), IconPickerIntl::chooseAnImageFirst());
        EXPECT_TRUE(p.picker.window()->isVisible());
        p.picker.selectResult(QString::fromLatin1(dataAddress(LoopbackSite::png(90, Qt::red))));
        p.picker.useCrop();
        ASSERT_TRUE(p.png);
        EXPECT_EQ(QImage::fromData(*p.png).size(), QSize(1024, 1024));
        EXPECT_EQ(p.closed, std::vector<bool>{true});
        EXPECT_FALSE(p.picker.window()->isVisible());
    }
    // A search engine that cannot be reached says so; the window stays for a local image.
    Picker p("");
    EXPECT_TRUE(waitUntil([&] {
        return p.picker.status() == IconPickerIntl::searchUnavailableTryAgainOrChoose();
    })) << p.picker.status();
    EXPECT_FALSE(p.picker.isAwaitingResults());
    p.picker.selectResult(p.site.url("/never.png").toString());
    p.picker.close();
    EXPECT_FALSE(p.picker.isDownloading());
    EXPECT_EQ(p.closed, std::vector<bool>{false});
    EXPECT_FALSE(p.png);
}

TEST(IconPicker, TheProcessEndsWithItsInputAndRefusesBadArguments) {
    QTemporaryDir dir;
    const QString output = dir.filePath("crop.png");
    struct Row {
        QStringList arguments;
        int exitCode;
    };
    for (const Row& row :
         {Row{{"--search-name", "x", "--output", output}, 0},
          Row{{"--search-name", "x", "--aspect-ratio", "-1", "--output", output}, 2},
          Row{{"--search-name", "x"}, 2}}) {
        QProcess picker;
        endWithTest(picker);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QUORVEL_IMAGE_SEARCH_URL", "http://127.0.0.1:9/");
        picker.setProcessEnvironment(environment);
        picker.start(QUORVEL_PICKER, row.arguments);
        ASSERT_TRUE(picker.waitForStarted());
        picker.closeWriteChannel();  // as when the program closes the picker
        EXPECT_TRUE(picker.waitForFinished(30000)) << row.arguments.join(' ');
        EXPECT_EQ(picker.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(picker.exitCode(), row.exitCode) << row.arguments.join(' ');
        EXPECT_FALSE(QFile::exists(output));
    }
}

// The browser engine runs inside this test process and frees some of its own objects through a
// base class of another size, which AddressSanitizer reports as a type mismatch (our code is
// not on that stack). Every other check stays on; only sanitizer builds read this.
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
