#pragma once

#include <QPointer>
#include <QWidget>

class DeviceStore;
class Model;
class QLabel;

// "N connected": how many of the store's devices are connected now.
class DeviceCountView : public QWidget {
    Q_OBJECT
public:
    explicit DeviceCountView(DeviceStore& store, QWidget* parent = nullptr);
    QString text() const;

private:
    void refresh();
    QPointer<DeviceStore> store_;
    QLabel* label_;
};

// "Connected" or "Disconnected" beside a filled circle, for one device.
class ConnectionStatusView : public QWidget {
    Q_OBJECT
public:
    explicit ConnectionStatusView(Model& model, QWidget* parent = nullptr);
    QString text() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<Model> model_;
};
