#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

// A web site on 127.0.0.1, on a port the system chose, answered from this test process's event
// loop: each path gets a fixed answer, including the hostile ones (never answering, trickling a
// byte at a time, announcing or sending more than any limit). A path with a query that has no
// answer of its own gets the answer of the path without it; unknown paths answer 404.
class LoopbackSite : public QObject {
public:
    struct Answer {
        int status = 200;
        QByteArray body = {};
        bool silent = false;   // accept the request and never answer
        bool trickle = false;  // a blank every 200 ms, without end
        bool announceLength = true;
        QByteArray contentType = {};
    };

    LoopbackSite();
    void serve(const QString& path, Answer answer) { answers_.insert(path, std::move(answer)); }
    // With a redirect status, `body` is also where it redirects to.
    void serve(const QString& path, int status, const QByteArray& body) {
        serve(path, Answer{.status = status, .body = body});
    }
    QUrl url(const QString& path) const;
    // Paths requested so far, in order, and the whole head of the last request.
    const QStringList& requests() const { return requests_; }
    const QByteArray& lastRequest() const { return lastRequest_; }
    void stop() { server_.close(); }

    static QByteArray png(int side, Qt::GlobalColor colour);
    // An ICO file with one red PNG frame per side (256 is written as 0, as ICO requires); the
    // frame of side `broken` is cut short.
    static QByteArray ico(const QList<int>& sides, int broken = 0);

private:
    void answer(class QTcpSocket* socket, const QString& path);

    QTcpServer server_;
    QHash<QString, Answer> answers_;
    QStringList requests_;
    QByteArray lastRequest_;
};
