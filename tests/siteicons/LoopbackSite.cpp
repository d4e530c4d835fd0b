#include "LoopbackSite.h"

#include <QBuffer>
#include <QImage>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>

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
                    answer(socket, path);
                }
            });
        }
    });
}

LoopbackSite::~LoopbackSite() = default;

QUrl LoopbackSite::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
}

void LoopbackSite::redirect(const QString& path, const QByteArray& location) {
    serve(path, {.status = 302, .headers = {{"Location", location}}});
}

void LoopbackSite::answer(QTcpSocket* socket, const QString& path) {
    const Answer answer = answers_.value(path, Answer{.status = 404, .body = "<h1>Not here</h1>"});
    if (answer.silent) {
        return;
    }
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\nConnection: close\r\n";
    for (const auto& [name, value] : answer.headers) {
        head += name + ": " + value + "\r\n";
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
    auto sent = std::make_shared<qsizetype>(0);
    QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, sent, body = answer.body] {
        if (*sent >= body.size()) {
            timer->stop();
            socket->disconnectFromHost();
            return;
        }
        socket->write(body.mid((*sent)++, 1));
    });
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

QByteArray LoopbackSite::ico(const QList<std::pair<int, QByteArray>>& frames) {
    const auto le16 = [](int value) {
        QByteArray bytes(2, 0);
        qToLittleEndian<quint16>(quint16(value), bytes.data());
        return bytes;
    };
    const auto le32 = [](qint64 value) {
        QByteArray bytes(4, 0);
        qToLittleEndian<quint32>(quint32(value), bytes.data());
        return bytes;
    };
    QByteArray head = le16(0) + le16(1) + le16(int(frames.size()));
    QByteArray data;
    qint64 offset = 6 + 16 * frames.size();
    for (const auto& [side, bytes] : frames) {
        head += char(side % 256) + QByteArray(1, char(side % 256)) + QByteArray(2, 0) + le16(1) +
                le16(32) + le32(bytes.size()) + le32(offset + data.size());
        data += bytes;
    }
    return head + data;
}
