#include "shell/TrayIcon.h"

#include "artwork/LucideIcons.h"
#include "core/Log.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QSvgRenderer>

namespace {
// The Lucide grid drawn in the desktop's text colour: its strokes are "currentColor", which
// would be black on a dark panel.
QIcon trayIcon() {
    const auto path = LucideIcons::iconPath(QStringLiteral("grid-3x2"));
    QFile file(path.value_or(QString()));
    if (!path || !file.open(QIODevice::ReadOnly)) {
        return QIcon::fromTheme(QStringLiteral("org.quorvel.Zodovuvur"));
    }
    QByteArray svg = file.read(64 * 1024);
    svg.replace("currentColor",
                QApplication::palette().color(QPalette::WindowText).name().toUtf8());
    QSvgRenderer renderer(svg);
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void activate(QWidget* box) {
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    box->raise();
    box->activateWindow();
}
}  // namespace

TrayIcon::TrayIcon(DeviceStore& store, QObject* parent)
    : QObject(parent), menu_(store, UpdateChecker::enabled()) {
    icon_.setIcon(trayIcon());
    icon_.setToolTip(QStringLiteral("Quorvel Zodovuvur"));
    icon_.setContextMenu(menu_.menu());
    connect(&icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && menu_.settingsItem()->isEnabled()) {
                    Q_EMIT settingsRequested();
                }
            });
    connect(&menu_, &StatusMenu::settingsRequested, this, &TrayIcon::settingsRequested);
    connect(&menu_, &StatusMenu::quitRequested, this, &TrayIcon::quitRequested);
    connect(&menu_, &StatusMenu::aboutRequested, this, &TrayIcon::showAbout);
    connect(&menu_, &StatusMenu::updateCheckRequested, this, [this] { checkForUpdates(true); });
    connect(&menu_, &StatusMenu::updateWebsiteRequested, this,
            [] { QDesktopServices::openUrl(UpdateChecker::website()); });
    connect(&menu_, &StatusMenu::launchAtLoginFailed, this, [](const QString& reason) {
        auto* box = new QMessageBox(QMessageBox::Warning,
                                    QStringLiteral("Could not change Launch at Login"),
                                    QStringLiteral("Could not change Launch at Login"));
        box->setInformativeText(reason);
        activate(box);
    });
    updateTimer_.setInterval(UpdateChecker::interval);
    connect(&updateTimer_, &QTimer::timeout, this, [this] { checkForUpdates(false); });
}

bool TrayIcon::show() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        logLine(
            "The desktop shows no tray icons: Quorvel Zodovuvur runs without its menu "
            "(quit it with SIGTERM or Ctrl-C)");
        return false;
    }
    icon_.show();
    if (UpdateChecker::enabled()) {
        checkForUpdates(false);
        updateTimer_.start();
    }
    return true;
}

void TrayIcon::checkForUpdates(bool showResult) {
    QPointer<TrayIcon> self(this);
    UpdateChecker::check([self, showResult](UpdateChecker::Result result) {
        if (!self) {
            return;
        }
        using Result = UpdateChecker::Result;
        if (result != Result::unableToCheck) {
            self->menu_.setNewerVersionAvailable(result == Result::newerVersion);
        }
        if (!showResult) {
            return;
        }
        const QString text = result == Result::upToDate ? QStringLiteral("You're up to date")
                             : result == Result::newerVersion
                                 ? QStringLiteral("A newer version is available")
                                 : QStringLiteral("Unable to check!");
        auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Quorvel Zodovuvur"),
                                    text, QMessageBox::Ok);
        QPushButton* website =
            box->addButton(QStringLiteral("Open Website"), QMessageBox::ActionRole);
        QObject::connect(website, &QPushButton::clicked, box,
                         [] { QDesktopServices::openUrl(UpdateChecker::website()); });
        activate(box);
    });
}

void TrayIcon::showAbout() {
    QString text = QStringLiteral("<b>Quorvel Zodovuvur</b> %1")
                       .arg(QApplication::applicationVersion().toHtmlEscaped());
    if (UpdateChecker::enabled()) {
        text += QStringLiteral("<p align=\"center\"><a href=\"%1\">More info…</a></p>")
                    .arg(UpdateChecker::website().toString().toHtmlEscaped());
    }
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("About Quorvel Zodovuvur"),
                                text, QMessageBox::Ok);
    box->setTextFormat(Qt::RichText);
    box->setTextInteractionFlags(Qt::TextBrowserInteraction);
    box->setIconPixmap(trayIcon().pixmap(64, 64));
    activate(box);
}
