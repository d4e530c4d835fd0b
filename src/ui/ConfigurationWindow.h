#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QWidget>

#include <memory>

class DeviceStore;
class Model;
class QComboBox;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QToolButton;
class SettingsView;
class WidgetDialogs;

// The device picker, the selected device's name (renamed in place with the pencil) and its
// connection, above the device's SettingsView; the store's message while no device is known.
// Settings bundles dropped anywhere on it are imported into the selected device.
class DeviceRootView : public QWidget {
    Q_OBJECT
public:
    explicit DeviceRootView(DeviceStore& store, QWidget* parent = nullptr);

    SettingsView* settingsView() const { return settings_; }
    QComboBox* devicePicker() const { return picker_; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void refresh();
    void showSelected();
    void startRename();
    void finishRename();

    QPointer<DeviceStore> store_;
    QStackedWidget* pages_;
    QLabel* storeMessage_;
    QWidget* devicePage_;
    QComboBox* picker_;
    QLabel* name_;
    QLineEdit* nameEditor_;
    QToolButton* rename_;
    QWidget* statusSlot_;
    QPointer<Model> shown_;
    SettingsView* settings_ = nullptr;
};

// The configuration window: the devices of the store, their scenes and bindings. Closing it
// hides it; the program goes on in the tray. Its size and place are remembered. While it exists
// every device model asks its questions and shows its panels through it.
class ConfigurationWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit ConfigurationWindow(DeviceStore& store, QWidget* parent = nullptr);
    ~ConfigurationWindow() override;

    // The window at start-up, shown; none in the `background`, where it is built on the first
    // request instead (until then an all-day process would carry some megabytes of widgets
    // nobody looks at). Logs which.
    static std::unique_ptr<ConfigurationWindow> launch(DeviceStore& store, bool background);
    // Shows the window in front (the tray's "configure" item, a second start).
    void bringToFront();

    DeviceRootView* rootView() const { return root_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void handDialogs();
    void rememberGeometry();
    void restoreGeometryOrCentre();

    QPointer<DeviceStore> store_;
    std::shared_ptr<WidgetDialogs> dialogs_;
    DeviceRootView* root_;
    bool restoring_ = false;
};
