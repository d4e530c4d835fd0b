#include "ui/StatusViews.h"

#include "model/DeviceStore.h"
#include "model/Model.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

DeviceCountView::DeviceCountView(DeviceStore& store, QWidget* parent)
    : QWidget(parent), store_(&store) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 0, 6, 0);
    label_ = new QLabel(this);
    layout->addWidget(label_);
    connect(&store, &DeviceStore::changed, this, &DeviceCountView::refresh);
    refresh();
}

QString DeviceCountView::text() const {
    int connected = 0;
    if (store_) {
        for (const Model* model : store_->devices()) {
            connected += model->connected() ? 1 : 0;
        }
    }
    return QString::number(connected) + QStringLiteral(" connected");
}

void DeviceCountView::refresh() {
    label_->setText(text());
    setAccessibleName(text());
}

ConnectionStatusView::ConnectionStatusView(Model& model, QWidget* parent)
    : QWidget(parent), model_(&model) {
    connect(&model, &Model::connectedChanged, this, [this] {
        setAccessibleName(text());
        updateGeometry();
        update();
    });
    setAccessibleName(text());
}

QString ConnectionStatusView::text() const {
    return model_ && model_->connected() ? QStringLiteral("Connected")
                                         : QStringLiteral("Disconnected");
}

QSize ConnectionStatusView::sizeHint() const {
    const QFontMetrics metrics(font());
    return QSize(metrics.height() + 6 + metrics.horizontalAdvance(text()), metrics.height() + 4);
}

void ConnectionStatusView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics(font());
    const double dot = metrics.height() * 0.6;
    const bool connected = model_ && model_->connected();
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(connected ? QPalette::Highlight : QPalette::PlaceholderText));
    painter.drawEllipse(QRectF(2, (height() - dot) / 2, dot, dot));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(int(dot) + 8, 0, width(), height()), Qt::AlignVCenter | Qt::AlignLeft,
                     text());
}
