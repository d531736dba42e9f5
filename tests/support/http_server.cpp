#include "support/http_server.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QTimer>
#include <memory>

#include "support/tiny_http.h"

HttpServer::HttpServer() {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, &HttpServer::onConnection);
}

QString HttpServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

void HttpServer::serve(const QString& path, const QByteArray& body, const QByteArray& contentType) {
    m_routes[path] = Route{body, contentType, {}, 0, false};
}

void HttpServer::serveRadio(const QString& path, const QByteArray& audio, const QString& title, int metaInterval) {
    m_routes[path] = Route{audio, "audio/mpeg", title, metaInterval, false};
}

void HttpServer::serveSilence(const QString& path) { m_routes[path] = Route{{}, {}, {}, 0, true}; }

void HttpServer::serveLive(const QString& path, const QByteArray& body, const QByteArray& contentType) {
    m_routes[path] = Route{body, contentType, {}, 0, false, true};
}

void HttpServer::serveTrickle(const QString& path, const QByteArray& body, const QByteArray& contentType, int piece,
                              int intervalMs) {
    Route route{body, contentType, {}, 0, false, true};
    route.piece = piece;
    route.intervalMs = intervalMs;
    m_routes[path] = route;
}

void HttpServer::send(QTcpSocket* socket, const QByteArray& bytes) {
    m_bytesSent += bytes.size();
    socket->write(bytes);
}

void HttpServer::onConnection() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        ++m_connections;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void HttpServer::onReadable(QTcpSocket* socket) {
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    if (!request.contains("\r\n\r\n") || socket->property("answered").toBool()) return;
    socket->setProperty("answered", true);
    ++m_requests;
    m_lastRequest = request.left(request.indexOf("\r\n\r\n"));

    const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
    const QString path = words.size() > 1 ? QString::fromLatin1(words[1]) : QString();
    ++m_pathRequests[path];
    const bool wantsMeta = request.toLower().contains("icy-metadata: 1");
    const auto route = m_routes.constFind(path);
    if (route == m_routes.constEnd()) {
        send(socket, "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 9\r\n\r\nnot found");
        socket->disconnectFromHost();
        return;
    }
    if (route->silent) {
        m_held << socket;  // keep it open, say nothing
        return;
    }
    QByteArray head = "HTTP/1.0 200 OK\r\nContent-Type: " + route->contentType + "\r\n";
    QByteArray body = route->body;
    if (!route->live && route->icyTitle.isEmpty()) {
        // A page has a validator of its content; asked with it, the server says it is unchanged.
        const QByteArray etag = '"' + QCryptographicHash::hash(body, QCryptographicHash::Sha1).toHex().left(16) + '"';
        if (request.contains("\r\nIf-None-Match: " + etag + "\r\n")) {
            ++m_notModified;
            send(socket, "HTTP/1.0 304 Not Modified\r\nETag: " + etag + "\r\n\r\n");
            socket->disconnectFromHost();
            return;
        }
        head += "ETag: " + etag + "\r\n";
    }
    if (!route->icyTitle.isEmpty() && wantsMeta) {
        head += "icy-name: Test Radio\r\nicy-metaint: " + QByteArray::number(route->metaInterval) + "\r\n";
        body = QByteArray::fromStdString(TinyHttp::WithIcyTitle(body.toStdString(), route->icyTitle.toStdString(),
                                                                static_cast<std::size_t>(route->metaInterval)));
    } else if (!route->live) {
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    }
    send(socket, head + "\r\n");
    if (route->live) {
        // At about twice the pace of 64 kbit/s sound, as a live source sends: the end is not
        // in sight when playback starts.
        auto* pace = new QTimer(socket);
        auto sent = std::make_shared<qsizetype>(0);
        const qsizetype piece = route->piece;
        QObject::connect(pace, &QTimer::timeout, socket, [this, socket, pace, body, sent, piece] {
            send(socket, body.mid(*sent, piece));
            *sent += piece;
            if (*sent >= body.size()) {
                pace->stop();
                socket->disconnectFromHost();
            }
        });
        pace->start(route->intervalMs);
        return;
    }
    send(socket, body);
    socket->disconnectFromHost();
}
