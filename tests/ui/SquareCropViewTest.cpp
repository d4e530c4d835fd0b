#include "support/TestSupport.h"
#include "ui/CropWindow.h"
#include "ui/IconPickerIntl.h"
#include "ui/SquareCropView.h"

#include <QPointer>
#include <QPushButton>
#include <QSlider>

#include <QTest>

#include <gtest/gtest.h>

namespace {

// Left half red, right half blue: where the crop lands shows in the output's colours.
QImage halves(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (int y = 0; y < height; ++y) {
        for (int x = width / 2; x < width; ++x) {
            image.setPixel(x, y, qRgb(0, 0, 255));
        }
    }
    return image;
}

QImage decoded(const std::optional<QByteArray>& png) {
    return png ? QImage::fromData(*png, "PNG") : QImage();
}

}  // namespace

TEST(SquareCropView, OutputSizeFollowsTheShapeAndNeedsAnImage) {
    struct Row {
        double aspect;
        QSize size;
    };
    for (const Row& row : {Row{1, {1024, 1024}}, Row{3, {1024, 341}}, Row{0.5, {1024, 2048}}}) {
        SquareCropView view(row.aspect);
        EXPECT_FALSE(view.png()) << row.aspect;
        view.setImage(halves(40, 30));
        const QImage output = decoded(view.png());
        EXPECT_EQ(output.size(), row.size) << row.aspect;
        EXPECT_TRUE(output.hasAlphaChannel());
    }
}

TEST(SquareCropView, DragAndZoomMoveTheCropButTheImageAlwaysCoversIt) {
    SquareCropView view(1);
    view.setImage(halves(200, 100));  // twice as wide as high: 600 x 300 points at zoom 1
    // Centred, the square shows half red and half blue.
    QImage output = decoded(view.png());
    EXPECT_EQ(output.pixelColor(100, 512), QColor(Qt::red));
    EXPECT_EQ(output.pixelColor(900, 512), QColor(Qt::blue));

    // Dragged far to the right the image stops at its left edge: only red shows.
    QTest::mousePress(&view, Qt::LeftButton, {}, {150, 150});
    QTest::mouseMove(&view, {1000, 150});
    QTest::mouseRelease(&view, Qt::LeftButton, {}, {1000, 150});
    EXPECT_EQ(view.offset(), QPointF(150, 0));
    output = decoded(view.png());
    EXPECT_EQ(output.pixelColor(1000, 10), QColor(Qt::red));

    // Zoom is bounded and keeps the cover; a new image starts centred at zoom 1.
    view.setZoom(9);
    EXPECT_EQ(view.zoom(), 4);
    view.setOffset({-5000, 5000});
    const QRectF rect = view.imageRect(view.size());
    EXPECT_TRUE(rect.contains(QRectF(QPointF(), QSizeF(view.size())))) << rect.x() << rect.y();
    view.setImage(halves(10, 10));
    EXPECT_EQ(view.zoom(), 1);
    EXPECT_EQ(view.offset(), QPointF());
}

TEST(CropWindow, UseThisCropHandsBackThePngOnceAndClosesOnce) {
    for (const bool withImage : {false, true}) {
        QList<QByteArray> pngs;
        int closed = 0;
        QPointer<CropWindow> window = new CropWindow(
            1, withImage ? halves(200, 100) : QImage(), [&](const QByteArray& png) { pngs << png; },
            [&] { ++closed; });
        window->show();
        window->zoomSlider()->setValue(window->zoomSlider()->maximum());
        EXPECT_EQ(window->cropView()->zoom(), 4);
        QTest::mouseClick(window->useButton(), Qt::LeftButton);
        if (!withImage) {
            // Nothing to crop: it says so and stays open until closed.
            EXPECT_EQ(window->status(), IconPickerIntl::chooseAnImageFirst());
            EXPECT_TRUE(window->isVisible());
            window->close();
        }
        EXPECT_TRUE(waitUntil([&] { return window.isNull(); }));
        EXPECT_EQ(closed, 1);
        ASSERT_EQ(pngs.size(), withImage ? 1 : 0);
        if (withImage) {
            EXPECT_EQ(decoded(pngs[0]).size(), QSize(1024, 1024));
        }
    }
}
