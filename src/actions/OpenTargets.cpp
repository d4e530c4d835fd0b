#include "actions/OpenTargets.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>

std::optional<QUrl> OpenTargets::url(const QString& text) {
    QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    if (!trimmed.contains(':')) {
        trimmed.prepend(QStringLiteral("https://"));
    }
    const QUrl parsed(trimmed, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.host().isEmpty()) {
        return std::nullopt;
    }
    const QString scheme = parsed.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        return std::nullopt;
    }
    return parsed;
}

std::optional<QString> OpenTargets::folder(const QString& argument, Workspace& workspace) {
    if (argument.isEmpty()) {
        return std::nullopt;
    }
    QString path = argument;
    if (path == QLatin1String("~")) {
        path = QDir::homePath();
    } else if (path.startsWith(QLatin1String("~/"))) {
        path = QDir::homePath() + path.mid(1);
    }
    if (!QDir::isAbsolutePath(path)) {
        return std::nullopt;
    }
    const QFileInfo info(path);
    if (!info.isDir() || workspace.isPackage(path)) {
        return std::nullopt;
    }
    return QDir::cleanPath(path);
}

QList<InstalledBrowser> OpenTargets::sortedBrowsers(const QList<InstalledBrowser>& browsers) {
    QList<InstalledBrowser> unique;
    for (const InstalledBrowser& browser : browsers) {
        const auto same = std::find_if(unique.begin(), unique.end(),
                                       [&](const auto& known) { return known.id == browser.id; });
        if (same != unique.end()) {
            *same = browser;
        } else {
            unique << browser;
        }
    }
    // The C locale compares code points and ignores numeric mode; the root collation orders
    // names the way people expect in any language, so it stands in for it.
    QLocale locale;
    if (locale.language() == QLocale::C) {
        locale = QLocale(QLocale::English);
    }
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(unique.begin(), unique.end(), [&](const auto& a, const auto& b) {
        return collator.compare(a.name, b.name) < 0;
    });
    return unique;
}
