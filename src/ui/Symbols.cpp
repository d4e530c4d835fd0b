#include "ui/Symbols.h"

#include "artwork/LucideIcons.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QSvgRenderer>

namespace {
QByteArray svgText(const QString& name, const QColor& color) {
    const auto path = LucideIcons::iconPath(name);
    QFile file(path.value_or(QString()));
    if (!path || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    // The icons are a few hundred bytes; anything larger is not one of them.
    QByteArray svg = file.read(64 * 1024);
    svg.replace("currentColor", color.name().toUtf8());
    return svg;
}
}  // namespace

QIcon Symbols::icon(const QString& name) {
    QIcon icon;
    const QPalette palette = QApplication::palette();
    const QByteArray normal = svgText(name, palette.color(QPalette::Active, QPalette::ButtonText));
    if (normal.isEmpty()) {
        return icon;
    }
    const QByteArray disabled =
        svgText(name, palette.color(QPalette::Disabled, QPalette::ButtonText));
    for (int size : {16, 24, 32, 48}) {
        for (const auto& [svg, mode] :
             {std::pair{normal, QIcon::Normal}, std::pair{disabled, QIcon::Disabled}}) {
            QSvgRenderer renderer(svg);
            QPixmap pixmap(size, size);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            renderer.render(&painter);
            painter.end();
            icon.addPixmap(pixmap, mode);
        }
    }
    return icon;
}

void Symbols::paint(QPainter& painter, const QString& name, const QRectF& rect,
                    const QColor& color) {
    const QByteArray svg = svgText(name, color);
    if (svg.isEmpty()) {
        return;
    }
    QSvgRenderer renderer(svg);
    renderer.render(&painter, rect);
}
