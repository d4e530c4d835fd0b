#include "support/LoopbackSite.h"

#include <QBuffer>
#include <QDataStream>
#include <QImage>
#include <QTcpSocket>
#include <QTimer>

LoopbackSite::LoopbackSite() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            socket->setParent(this);
            auto request = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                request->append(socket->readAll());
                if (request->contains("\r\n\r\n") && !request->startsWith("done")) {
                    const QString path = QString::fromLatin1(request->split(' ').value(1));
                    request->prepend("done");
                    requests_.append(path);
                    lastRequest_ = request->mid(4);
                    answer(socket, path);
                }
            });
        }
    });
}

QUrl LoopbackSite::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
}

void LoopbackSite::answer(QTcpSocket* socket, const QString& path) {
    const Answer answer =
        answers_.value(path, answers_.value(path.section(QLatin1Char('?'), 0, 0),
                                            Answer{.status = 404, .body = "<h1>Not here</h1>"}));
    if (answer.silent) {
        return;
    }
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\nConnection: close\r\n";
    if (answer.status / 100 == 3) {
        head += "Location: " + answer.body + "\r\n";
    }
    if (!answer.contentType.isEmpty()) {
        head += "Content-Type: " + answer.contentType + "\r\n";
    }
    if (answer.announceLength) {
        head += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    }
    socket->write(head + "\r\n");
    if (!answer.trickle) {
        socket->write(answer.body);
        socket->disconnectFromHost();
        return;
    }
    auto* timer = new QTimer(socket);
    QObject::connect(timer, &QTimer::timeout, socket, [socket] { socket->write(" "); });
    timer->start(200);
}

QByteArray LoopbackSite::png(int side, Qt::GlobalColor colour) {
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(colour);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

QByteArray LoopbackSite::ico(const QList<int>& sides, int broken) {
    QByteArray file, frames;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(sides.size());
    for (const int side : sides) {
        QByteArray frame = png(side, Qt::red);
        frame.truncate(side == broken ? 60 : frame.size());
        out << quint8(side % 256) << quint8(side % 256) << quint16(0) << quint16(1) << quint16(32)
            << quint32(frame.size()) << quint32(6 + 16 * sides.size() + frames.size());
        frames += frame;
    }
    return file + frames;
}
