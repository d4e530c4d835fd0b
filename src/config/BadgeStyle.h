#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// A numeric badge drawn over a screen button at run time. Scripts set badges; the device model
// keeps them per screen button; the key renderer draws them. Never written to a file.
struct BadgeStyle {
    std::optional<int64_t> value;
    bool displayed = true;
    // Colour name or "#RRGGBB" / "#RRGGBBAA"; absent means the desktop's accent colour.
    std::optional<QString> color;
    QString position = QStringLiteral("top right");
    // Whether a long number is shortened when drawn.
    bool truncation = true;

    BadgeStyle() = default;
    BadgeStyle(std::optional<int64_t> value, bool displayed, std::optional<QString> color,
               QString position, bool truncation)
        : value(value),
          displayed(displayed),
          color(std::move(color)),
          position(std::move(position)),
          truncation(truncation) {}

    friend bool operator==(const BadgeStyle&, const BadgeStyle&) = default;

    // The nine position names, from "top left" to "bottom right", row by row.
    static const QStringList& positions();

    // The colour a badge colour name stands for: absent gives the accent colour; one of the
    // seventeen names (any letter case) its system colour; "#RRGGBB" or "#RRGGBBAA" that sRGB
    // colour; anything else (the empty string included) no colour.
    static std::optional<QColor> resolveColor(const std::optional<QString>& name);

    // The desktop's accent colour (the palette's highlight), used for badges without a colour.
    static QColor accentColor();
};
