#include "config/BadgeStyle.h"

#include <QGuiApplication>
#include <QPalette>

#include <utility>

const QStringList& BadgeStyle::positions() {
    static const QStringList names = {
        QStringLiteral("top left"),      QStringLiteral("top middle"),
        QStringLiteral("top right"),     QStringLiteral("middle left"),
        QStringLiteral("middle middle"), QStringLiteral("middle right"),
        QStringLiteral("bottom left"),   QStringLiteral("bottom middle"),
        QStringLiteral("bottom right"),
    };
    return names;
}

QColor BadgeStyle::accentColor() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        return QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
    }
    return QColor(0x00, 0x7A, 0xFF);  // the system blue, when there is no GUI to ask
}

namespace {
// The named system colours, in their standard light-appearance values, so that a badge colour
// chosen by a script looks the same on every machine.
std::optional<QColor> namedColor(const QString& lower) {
    static const std::pair<const char*, QRgb> table[] = {
        {"red", 0xFF3B30},    {"orange", 0xFF9500}, {"yellow", 0xFFCC00}, {"green", 0x34C759},
        {"mint", 0x00C7BE},   {"teal", 0x30B0C7},   {"cyan", 0x32ADE6},   {"blue", 0x007AFF},
        {"indigo", 0x5856D6}, {"purple", 0xAF52DE}, {"pink", 0xFF2D55},   {"brown", 0xA2845E},
        {"gray", 0x8E8E93},   {"grey", 0x8E8E93},   {"black", 0x000000},  {"white", 0xFFFFFF},
    };
    if (lower == QLatin1String("accent")) {
        return BadgeStyle::accentColor();
    }
    for (const auto& [name, rgb] : table) {
        if (lower == QLatin1String(name)) {
            return QColor::fromRgb(rgb);
        }
    }
    return std::nullopt;
}
}  // namespace

std::optional<QColor> BadgeStyle::resolveColor(const std::optional<QString>& name) {
    if (!name) {
        return accentColor();
    }
    if (auto color = namedColor(name->toLower())) {
        return color;
    }
    if (!name->startsWith(QLatin1Char('#')) || (name->size() != 7 && name->size() != 9)) {
        return std::nullopt;
    }
    const QString digits = name->mid(1);
    for (QChar c : digits) {
        // toUInt would also take a sign or spaces; only hexadecimal digits are a colour.
        if (!c.isDigit() && !(c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'))) {
            return std::nullopt;
        }
    }
    bool ok = false;
    uint32_t value = digits.toUInt(&ok, 16);
    if (!ok) {
        return std::nullopt;
    }
    if (name->size() == 7) {
        value = (value << 8) | 0xFF;
    }
    QColor color;
    color.setRgbF(((value >> 24) & 0xFF) / 255.0f, ((value >> 16) & 0xFF) / 255.0f,
                  ((value >> 8) & 0xFF) / 255.0f, (value & 0xFF) / 255.0f);
    return color;
}
