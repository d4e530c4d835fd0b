#include "config/DefaultConfiguration.h"
#include "model/Model.h"
#include "support/TestSupport.h"

#include "ImageSamples.h"
#include "support/ModelHarness.h"
#include "support/SettingsFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The window's side, as far as the editing operations see it: a picker that records what it
// was asked to crop.
class RecordingPicker : public ArtworkPicker {
public:
    double aspect = 0;
    QImage cropped;
    void showCrop(const QImage& image, Completion) override { cropped = image; }
    void showSearch(const QString&, Completion) override {}
    void close() override {}
};
class RecordingDialogs : public ModelDialogs {
public:
    std::shared_ptr<RecordingPicker> picker;
    std::optional<QString> chooseExportPath(const QString&) override { return {}; }
    std::optional<QString> chooseBundle() override { return {}; }
    ImportChoice askImportMode(const QString&, const QString&) override {
        return ImportChoice::cancel;
    }
    std::optional<QString> chooseImageFile() override { return {}; }
    std::shared_ptr<ArtworkPicker> makePicker(double aspect,
                                              std::function<void(const QString&)>) override {
        picker = std::make_shared<RecordingPicker>();
        picker->aspect = aspect;
        return picker;
    }
};
// A dropped file, delivered from another thread as a drag source would.
class DroppedPath : public DropItem {
public:
    explicit DroppedPath(QString path) : path_(std::move(path)) {}
    bool hasFileURL() const override { return true; }
    QStringList types() const override { return {}; }
    void loadFileURL(FileCallback callback) const override {
        std::thread([callback, url = QUrl::fromLocalFile(path_)] { callback(url, {}); }).join();
    }
    void loadData(const QString&, DataCallback) const override {}

private:
    QString path_;
};

struct Editing {
    explicit Editing(DeviceKind kind)
        : model(kind == DeviceKind::mountain ? "mountain-01" : "msdTwo-01", kind, "Pad",
                root.path()) {
        model.setDialogs(dialogs);
    }
    const Binding& binding(int64_t id) const {
        const QList<Binding>& keys = model.activeScene().keys;
        return *std::find_if(keys.begin(), keys.end(),
                             [&](const Binding& b) { return b.id == id; });
    }
    QString file(const QString& name, const QByteArray& bytes) {
        writeBytes(root.filePath(name), bytes);
        return root.filePath(name);
    }
    bool drop(const QString& path, std::optional<int64_t> control) {
        return model.acceptDrop({std::make_shared<DroppedPath>(path)}, control);
    }

    QTemporaryDir root;
    Model model;
    std::shared_ptr<RecordingDialogs> dialogs = std::make_shared<RecordingDialogs>();
};

}  // namespace

TEST(ModelEditing, DialPresetsRewriteTheWholeDialOnly) {
    Editing pad(DeviceKind::msdTwo);
    pad.model.applyDialPreset(DialPreset::media, 0x90);
    pad.model.applyDialPreset(DialPreset::volume, 0x35);
    const QList<QuorvelScene> before = pad.model.scenes();
    pad.model.applyDialPreset(DialPreset::scenes, 5);
    EXPECT_EQ(pad.model.scenes(), before);
    QStringList actions;
    for (int64_t id : {0x50, 0x35, 0x51, 0x33}) {
        actions << pad.binding(id).action;
    }
    EXPECT_EQ(actions.join(", "), "Volume down, Mute, Volume up, Play/pause");
}

TEST(ModelEditing, SwapKeepsNamesAndClearKeepsScriptName) {
    Editing pad(DeviceKind::mountain);
    pad.model.applyDialPreset(DialPreset::volume, 0x35);  // no dial on this pad: nothing
    pad.model.storeArtwork(encoded(filled(8, 8, Qt::red), "png"), 2, pad.model.activeSceneID());
    const Binding two = pad.binding(2);
    const Binding seven = pad.binding(7);
    const std::optional<ScreenButtonDrag> drag = pad.model.buttonDragPayload(2);
    ASSERT_TRUE(drag);
    EXPECT_EQ(ScreenButtonDrag::decoded(drag->encoded()), drag);
    EXPECT_FALSE(pad.model.canSwapScreenButtons(*drag, 2));
    ASSERT_TRUE(pad.model.swapScreenButtons(*drag, 7));
    EXPECT_EQ(pad.model.message(), "Screen buttons swapped");
    EXPECT_EQ(QList({pad.binding(2).name, pad.binding(7).name}), QList({two.name, seven.name}));
    EXPECT_EQ(QList({pad.binding(7).imagePath, pad.binding(7).scriptID, pad.binding(2).imagePath}),
              QList({two.imagePath, two.scriptID, std::optional<QString>()}));
    // The dragged button changed since: a second drop of the same drag is refused.
    EXPECT_FALSE(pad.model.swapScreenButtons(*drag, 7));

    pad.model.clearAction(7);
    EXPECT_EQ(pad.model.message(), "LCD key 7 action cleared");
    EXPECT_FALSE(pad.binding(7).imagePath);
    EXPECT_EQ(pad.binding(7).scriptName, two.scriptName);
    pad.model.clearAction(99);
    EXPECT_EQ(pad.model.message(), "The control being cleared no longer exists");
}

TEST(ModelEditing, DropsReportInTheStatusLine) {
    Editing pad(DeviceKind::msdTwo);
    const QString app =
        pad.file("editor.desktop", "[Desktop Entry]\nType=Application\nName=Editor\nExec=true\n");
    const QString square = pad.file("square.png", encoded(filled(30, 30, Qt::green), "png"));
    const QString wide = pad.file("wide.png", encoded(filled(90, 30, Qt::green), "png"));
    const QString text = pad.file("notes.txt", "hello");

    EXPECT_FALSE(pad.model.acceptDrop({}, 1));
    EXPECT_EQ(pad.model.message(), "Drop one application or image at a time");
    const struct {
        QString path;
        std::optional<int64_t> control;
        QString message;
    } drops[] = {
        {app, std::nullopt, "Drop an image, not an application, onto the background"},
        {square, 0x50, "Only screen buttons and the background can have custom images"},
        {text, 1, "Drop an application or a supported image file"},
        {pad.root.filePath("gone.png"), 1,
         "The file “gone.png” couldn’t be opened because there is no such file"},
        {pad.root.filePath("x.quorvel"), 1,
         "Connect the selected device before importing settings"},
    };
    for (const auto& drop : drops) {
        if (drop.path.endsWith(".quorvel")) {
            QDir().mkpath(drop.path);
        }
        EXPECT_TRUE(pad.drop(drop.path, drop.control));
        EXPECT_TRUE(waitUntil([&] { return pad.model.message() == drop.message; }))
            << pad.model.message().toStdString();
    }

    ASSERT_TRUE(pad.drop(app, 2));
    ASSERT_TRUE(waitUntil([&] { return pad.binding(2).action == "Open application"; }));
    EXPECT_EQ(QList({pad.binding(2).argument, pad.binding(2).scriptName.value_or("")}),
              QList({app, QString("Editor")}));

    ASSERT_TRUE(pad.drop(square, 3));
    ASSERT_TRUE(waitUntil([&] { return pad.binding(3).imagePath.has_value(); }));
    EXPECT_TRUE(pad.binding(3).imagePath->startsWith(pad.model.imagesFolder()));
    ASSERT_TRUE(pad.drop(wide, 4));
    ASSERT_TRUE(waitUntil([&] { return pad.dialogs->picker != nullptr; }));
    EXPECT_EQ(pad.dialogs->picker->aspect, 1.0);
    EXPECT_EQ(pad.dialogs->picker->cropped.size(), QSize(90, 30));
}

TEST(ModelEditing, WindowDropOfSettingsNeedsOneBundleAndASelection) {
    ModelHarness harness;
    const auto bundle = std::make_shared<DroppedPath>(harness.root() + "/pad.quorvel");
    EXPECT_FALSE(harness.store().acceptSettingsDrop({bundle, bundle}));
    EXPECT_EQ(harness.store().message(), "Drop one settings bundle at a time");
    EXPECT_TRUE(harness.store().acceptSettingsDrop({bundle}));
    EXPECT_TRUE(waitUntil([&] {
        return harness.store().message() == "Select a connected device before dropping settings";
    }));
}
