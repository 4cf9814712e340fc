#pragma once
// The centre's web front: a small HTTP/1.1 server on a thread of its own.
// It takes GET and HEAD only (HEAD answered without the body, anything
// else 405), closes a connection that has been idle or has sent half a
// request for 10 s, refuses request heads past 16 KB and keeps at most 256
// connections (a new one closes the oldest). What to answer is the
// handler's business; it is called on the front's thread.
#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <functional>
#include <memory>

class QThread;

namespace centre {

/// One answer.
struct HttpReply {
    int Status = 200;
    QByteArray ContentType = "text/plain; charset=utf-8";
    QByteArray Body;
    QByteArray Extra; ///< more header lines, each ending in \r\n
};

/// GET `path` (percent-decoded, without the query) and its query text.
using HttpHandler = std::function<HttpReply(const QString& path, const QString& query)>;

class HttpFront {
public:
    /// How long a connection may stay idle or half-sent.
    static constexpr int kIdleMs = 10000;
    /// Connections kept at once.
    static constexpr int kMaxConnections = 256;
    /// Longest request head taken.
    static constexpr int kMaxHead = 16 * 1024;

    explicit HttpFront(HttpHandler handler);
    ~HttpFront();
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    /// Starts listening at `host`:`port` (0: any free port) on the front's
    /// thread; the port listened on, 0 when it could not.
    quint16 Listen(const QHostAddress& host, quint16 port);

private:
    class Server;
    std::unique_ptr<QThread> thread_;
    HttpHandler handler_;
    Server* server_ = nullptr; ///< lives on thread_, deleted when it ends
};

/// The reason phrase of status `code`.
const char* HttpReason(int code);

} // namespace centre
