#pragma once
// A small HTTP server on 127.0.0.1 for the tests: serves byte strings by path, an endless
// silent connection, and radio streams with ICY now-playing metadata.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

class HttpServer : public QObject {
    Q_OBJECT
public:
    HttpServer();
    quint16 port() const { return m_server.serverPort(); }
    QString url(const QString& path) const;

    void serve(const QString& path, const QByteArray& body, const QByteArray& contentType);
    // An ICY radio stream: `audio` with the title inserted every `metaInterval` bytes for
    // clients that ask for metadata.
    void serveRadio(const QString& path, const QByteArray& audio, const QString& title, int metaInterval = 8192);
    // Accepts the connection and never answers.
    void serveSilence(const QString& path);
    // A live stream: no length in the head; the body, sent at a steady pace, and then the
    // connection drops.
    void serveLive(const QString& path, const QByteArray& body, const QByteArray& contentType);
    // The body a few bytes at a time (`piece` bytes every `intervalMs`), then the end: a server
    // at the far end of a very slow link.
    void serveTrickle(const QString& path, const QByteArray& body, const QByteArray& contentType, int piece,
                      int intervalMs);
    // Answers the path with "404 Not Found" from now on.
    void remove(const QString& path) { m_routes.remove(path); }

    // Every page but a live or radio stream carries an ETag of its content, and a request that
    // names it is answered "304 Not Modified"; how many were.
    int notModifiedCount() const { return m_notModified; }
    int requestCount() const { return m_requests; }
    int requestCount(const QString& path) const { return m_pathRequests.value(path); }
    int connections() const { return m_connections; }         // accepted, whether a request came or not
    QByteArray lastRequest() const { return m_lastRequest; }  // the head of the last request
    qint64 bytesSent() const { return m_bytesSent; }          // answers' heads and bodies

private:
    void onConnection();
    void onReadable(QTcpSocket* socket);
    void send(QTcpSocket* socket, const QByteArray& bytes);

    struct Route {
        QByteArray body, contentType;
        QString icyTitle;
        int metaInterval = 0;
        bool silent = false;
        bool live = false;
        int piece = 4096, intervalMs = 250;  // the pace of a live or trickled body
    };
    QTcpServer m_server;
    QHash<QString, Route> m_routes;
    QList<QPointer<QTcpSocket>> m_held;
    int m_requests = 0;
    int m_notModified = 0;
    int m_connections = 0;
    qint64 m_bytesSent = 0;
    QHash<QString, int> m_pathRequests;
    QByteArray m_lastRequest;
};
