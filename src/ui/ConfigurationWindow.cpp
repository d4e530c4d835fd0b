#include "ui/ConfigurationWindow.h"

#include "core/ActionError.h"
#include "core/Log.h"
#include "model/DeviceStore.h"
#include "model/Model.h"
#include "ui/MimeDropItem.h"
#include "ui/SettingsView.h"
#include "ui/StatusViews.h"
#include "ui/Symbols.h"
#include "ui/WidgetDialogs.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace {
bool isSettingsBundleDrop(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    return !urls.isEmpty() && std::all_of(urls.cbegin(), urls.cend(), [](const QUrl& url) {
        return url.isLocalFile() &&
               url.path().endsWith(QStringLiteral(".quorvel"), Qt::CaseInsensitive);
    });
}

const QString geometryKey = QStringLiteral("ConfigurationWindow/geometry");

// Beside the program's other settings, in the folder that tests redirect.
QSettings windowSettings() {
    return QSettings(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                         QStringLiteral("/window.conf"),
                     QSettings::IniFormat);
}
}  // namespace

DeviceRootView::DeviceRootView(DeviceStore& store, QWidget* parent)
    : QWidget(parent), store_(&store) {
    setAcceptDrops(true);
    auto* layout = new QVBoxLayout(this);
    pages_ = new QStackedWidget(this);
    layout->addWidget(pages_);

    storeMessage_ = new QLabel(pages_);
    storeMessage_->setAlignment(Qt::AlignCenter);
    storeMessage_->setWordWrap(true);
    pages_->addWidget(storeMessage_);

    devicePage_ = new QWidget(pages_);
    auto* page = new QVBoxLayout(devicePage_);
    page->setContentsMargins(0, 0, 0, 0);
    auto* header = new QHBoxLayout;
    picker_ = new QComboBox(devicePage_);
    picker_->setAccessibleName(QStringLiteral("Device"));
    picker_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    name_ = new QLabel(devicePage_);
    QFont font = name_->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.4);
    name_->setFont(font);
    nameEditor_ = new QLineEdit(devicePage_);
    nameEditor_->setAccessibleName(QStringLiteral("Device name"));
    nameEditor_->hide();
    rename_ = new QToolButton(devicePage_);
    rename_->setIcon(Symbols::icon(QStringLiteral("pencil")));
    rename_->setToolTip(QStringLiteral("Rename device"));
    rename_->setAccessibleName(QStringLiteral("Rename device"));
    rename_->setAutoRaise(true);
    statusSlot_ = new QWidget(devicePage_);
    new QHBoxLayout(statusSlot_);
    statusSlot_->layout()->setContentsMargins(0, 0, 0, 0);
    header->addWidget(picker_);
    header->addSpacing(12);
    header->addWidget(name_);
    header->addWidget(nameEditor_);
    header->addWidget(rename_);
    header->addStretch(1);
    header->addWidget(statusSlot_);
    page->addLayout(header);
    pages_->addWidget(devicePage_);

    connect(picker_, &QComboBox::activated, this, [this](int index) {
        if (store_) {
            store_->select(picker_->itemData(index).toString());
        }
    });
    connect(rename_, &QToolButton::clicked, this, &DeviceRootView::startRename);
    connect(nameEditor_, &QLineEdit::editingFinished, this, &DeviceRootView::finishRename);
    connect(&store, &DeviceStore::changed, this, &DeviceRootView::refresh);
    refresh();
}

void DeviceRootView::refresh() {
    if (!store_) {
        return;
    }
    const QList<Model*> devices = store_->devices();
    storeMessage_->setText(store_->message());
    if (devices.isEmpty()) {
        pages_->setCurrentWidget(storeMessage_);
        return;
    }
    pages_->setCurrentWidget(devicePage_);
    const QSignalBlocker blocker(picker_);
    for (int index = 0; index < devices.size(); ++index) {
        const QString label = devices[index]->deviceName();
        if (index < picker_->count()) {
            picker_->setItemText(index, label);
            picker_->setItemData(index, devices[index]->id());
        } else {
            picker_->addItem(label, devices[index]->id());
        }
    }
    Model* selected = store_->selected();
    picker_->setCurrentIndex(selected ? picker_->findData(selected->id()) : -1);
    if (selected && !nameEditor_->isVisible()) {
        name_->setText(selected->deviceName());
    }
    if (selected != shown_) {
        showSelected();
    }
}

void DeviceRootView::showSelected() {
    Model* selected = store_ ? store_->selected() : nullptr;
    shown_ = selected;
    if (SettingsView* old = std::exchange(settings_, nullptr)) {
        // Deleted later: this may run inside one of its own signals.
        old->hide();
        devicePage_->layout()->removeWidget(old);
        old->deleteLater();
    }
    while (QLayoutItem* item = statusSlot_->layout()->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    nameEditor_->hide();
    name_->show();
    if (!selected) {
        name_->clear();
        return;
    }
    name_->setText(selected->deviceName());
    statusSlot_->layout()->addWidget(new ConnectionStatusView(*selected, statusSlot_));
    settings_ = new SettingsView(*selected, devicePage_);
    devicePage_->layout()->addWidget(settings_);
}

void DeviceRootView::startRename() {
    if (!shown_) {
        return;
    }
    nameEditor_->setText(shown_->deviceName());
    name_->hide();
    nameEditor_->show();
    nameEditor_->setFocus();
    nameEditor_->selectAll();
}

void DeviceRootView::finishRename() {
    if (!nameEditor_->isVisible()) {
        return;
    }
    nameEditor_->hide();
    name_->show();
    if (!shown_ || nameEditor_->text() == shown_->deviceName()) {
        return;
    }
    try {
        shown_->renameDevice(nameEditor_->text());
    } catch (const ActionError& error) {
        shown_->report(error.message());
    }
    name_->setText(shown_->deviceName());
}

void DeviceRootView::dragEnterEvent(QDragEnterEvent* event) {
    if (isSettingsBundleDrop(*event->mimeData())) {
        event->acceptProposedAction();
    }
}

void DeviceRootView::dropEvent(QDropEvent* event) {
    if (store_ && isSettingsBundleDrop(*event->mimeData()) &&
        store_->acceptSettingsDrop(MimeDropItem::items(*event->mimeData()))) {
        event->acceptProposedAction();
    }
}

ConfigurationWindow::ConfigurationWindow(DeviceStore& store, QWidget* parent)
    : QMainWindow(parent), store_(&store), dialogs_(std::make_shared<WidgetDialogs>(this)) {
    setWindowTitle(QStringLiteral("Quorvel Zodovuvur"));
    setMinimumSize(970, 650);
    auto* toolbar = addToolBar(QStringLiteral("Quorvel.configuration"));
    toolbar->setObjectName(QStringLiteral("Quorvel.configuration"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    auto* subtitle = new QLabel(QStringLiteral("MSD-TWO · MOUNTAIN DISPLAYPAD"), toolbar);
    subtitle->setForegroundRole(QPalette::PlaceholderText);
    subtitle->setContentsMargins(8, 0, 0, 0);
    toolbar->addWidget(subtitle);
    auto* spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);
    auto* count = new DeviceCountView(store, toolbar);
    count->setToolTip(QStringLiteral("Connection status"));
    toolbar->addWidget(count);
    root_ = new DeviceRootView(store, this);
    setCentralWidget(root_);
    connect(&store, &DeviceStore::devicesChanged, this, &ConfigurationWindow::handDialogs);
    handDialogs();
    restoreGeometryOrCentre();
}

ConfigurationWindow::~ConfigurationWindow() {
    if (store_) {
        for (Model* model : store_->devices()) {
            if (model->dialogs() == dialogs_) {
                model->setDialogs(nullptr);
            }
        }
    }
}

void ConfigurationWindow::handDialogs() {
    if (!store_) {
        return;
    }
    for (Model* model : store_->devices()) {
        if (!model->dialogs()) {
            model->setDialogs(dialogs_);
        }
    }
}

std::unique_ptr<ConfigurationWindow> ConfigurationWindow::launch(DeviceStore& store,
                                                                 bool background) {
    logLine("Quorvel Zodovuvur startup: configuration window %s",
            background ? "hidden" : "visible");
    if (background) {
        return nullptr;
    }
    auto window = std::make_unique<ConfigurationWindow>(store);
    window->bringToFront();
    return window;
}

void ConfigurationWindow::bringToFront() {
    logLine("Quorvel Zodovuvur configuration requested");
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
}

void ConfigurationWindow::closeEvent(QCloseEvent* event) {
    rememberGeometry();
    hide();
    event->ignore();
}

void ConfigurationWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    rememberGeometry();
}

void ConfigurationWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    rememberGeometry();
}

void ConfigurationWindow::rememberGeometry() {
    if (restoring_ || !isVisible()) {
        return;
    }
    windowSettings().setValue(geometryKey, saveGeometry());
}

void ConfigurationWindow::restoreGeometryOrCentre() {
    restoring_ = true;
    const QByteArray saved = windowSettings().value(geometryKey).toByteArray();
    if (saved.isEmpty() || !restoreGeometry(saved)) {
        resize(1050, 720);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect available = screen->availableGeometry();
            move(available.center() - QPoint(1050 / 2, 720 / 2));
        }
    }
    restoring_ = false;
}
