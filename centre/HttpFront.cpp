#include "centre/HttpFront.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QHash>
#include <algorithm>
#include <list>

namespace centre {

const char* HttpReason(int code)
{
    switch (code) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 505: return "HTTP Version Not Supported";
    default: return "Unknown";
    }
}

namespace {

/// One request's head, parsed.
struct RequestHead {
    QByteArray Method, Target, Version;
    bool KeepAlive = true;
    bool HasBody = false; ///< a body follows that this front does not read
};

/// The head in `head` (without its blank line); false when it is no HTTP/1.x head.
bool ParseHead(const QByteArray& head, RequestHead& r)
{
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    if (first.size() != 3 || !first[2].startsWith("HTTP/1."))
        return false;
    r.Method = first[0];
    r.Target = first[1];
    r.Version = first[2];
    r.KeepAlive = r.Version != "HTTP/1.0";
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed().toLower();
        if (name == "connection")
            r.KeepAlive = value == "keep-alive" || (r.KeepAlive && value != "close");
        else if (name == "transfer-encoding" || (name == "content-length" && value != "0"))
            r.HasBody = true;
    }
    return true;
}

QByteArray Serialize(const HttpReply& reply, bool withBody, bool keepAlive)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.Status) + ' ' + HttpReason(reply.Status) + "\r\n";
    out += "Content-Type: " + reply.ContentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(reply.Body.size()) + "\r\n";
    out += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n";
    out += reply.Extra;
    out += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    if (withBody)
        out += reply.Body;
    return out;
}

HttpReply Plain(int status, const char* text)
{
    HttpReply r;
    r.Status = status;
    r.Body = QByteArray(text) + "\n";
    return r;
}

} // namespace

/// The listening socket and its connections, all on the front's thread.
class HttpFront::Server : public QTcpServer {
public:
    explicit Server(const HttpHandler& handler) : handler_(handler) {}
    ~Server() override
    {
        // The sockets go with the server; none may call back into it then.
        for (QTcpSocket* s : open_)
            s->disconnect();
    }

protected:
    void incomingConnection(qintptr fd) override
    {
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(fd)) {
            delete socket;
            return;
        }
        while (open_.size() >= size_t(kMaxConnections))
            Drop(open_.front());
        open_.push_back(socket);
        auto* deadline = new QTimer(socket);
        deadline->setSingleShot(true);
        deadline->start(kIdleMs);
        connect(deadline, &QTimer::timeout, socket, [this, socket] { Drop(socket); });
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, deadline] { Read(socket, deadline); });
        connect(socket, &QTcpSocket::disconnected, socket, [this, socket] { Drop(socket); });
    }

private:
    void Drop(QTcpSocket* socket)
    {
        const auto it = std::find(open_.begin(), open_.end(), socket);
        if (it == open_.end())
            return;
        open_.erase(it);
        pending_.remove(socket);
        socket->disconnect();
        socket->abort();
        socket->deleteLater();
    }

    /// Answers every whole request in the socket's buffer.
    void Read(QTcpSocket* socket, QTimer* deadline)
    {
        QByteArray& buf = pending_[socket];
        buf += socket->readAll();
        for (;;) {
            const qsizetype end = buf.indexOf("\r\n\r\n");
            if (end < 0) {
                if (buf.size() > kMaxHead)
                    return Close(socket, Plain(431, "Слишком длинный заголовок запроса"));
                return;
            }
            if (end > kMaxHead)
                return Close(socket, Plain(431, "Слишком длинный заголовок запроса"));
            RequestHead head;
            const bool ok = ParseHead(buf.left(end), head);
            buf.remove(0, end + 4);
            if (!ok)
                return Close(socket, Plain(400, "Неверный запрос"));
            if (head.Method != "GET" && head.Method != "HEAD") {
                HttpReply r = Plain(405, "Допустимы только GET и HEAD");
                r.Extra = "Allow: GET, HEAD\r\n";
                return Close(socket, r);
            }
            const bool keep = head.KeepAlive && !head.HasBody;
            socket->write(Serialize(Answer(head.Target), head.Method == "GET", keep));
            if (!keep)
                return Close(socket, {});
            deadline->start(kIdleMs); // a new request gets its own 10 s
        }
    }

    HttpReply Answer(const QByteArray& target) const
    {
        const qsizetype q = target.indexOf('?');
        const QString path = QUrl::fromPercentEncoding(target.left(q < 0 ? target.size() : q));
        const QString query = q < 0 ? QString() : QString::fromUtf8(target.mid(q + 1));
        try {
            return handler_(path, query);
        } catch (const std::exception&) {
            return Plain(500, "Внутренняя ошибка центра");
        }
    }

    /// Sends `last` (if any) and closes once it is out.
    void Close(QTcpSocket* socket, const HttpReply& last)
    {
        pending_.remove(socket);
        if (last.Status != 200 || !last.Body.isEmpty())
            socket->write(Serialize(last, true, false));
        socket->disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
        if (socket->bytesToWrite() == 0)
            return Drop(socket);
        connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket] {
            if (socket->bytesToWrite() == 0)
                Drop(socket);
        });
    }

    const HttpHandler& handler_;
    std::list<QTcpSocket*> open_; ///< oldest first
    QHash<QTcpSocket*, QByteArray> pending_;
};

HttpFront::HttpFront(HttpHandler handler) : thread_(std::make_unique<QThread>()), handler_(std::move(handler))
{
    server_ = new Server(handler_);
    server_->moveToThread(thread_.get());
    QObject::connect(thread_.get(), &QThread::finished, server_, &QObject::deleteLater);
    thread_->setObjectName("http");
    thread_->start();
}

HttpFront::~HttpFront()
{
    thread_->quit();
    thread_->wait();
}

quint16 HttpFront::Listen(const QHostAddress& host, quint16 port)
{
    quint16 got = 0;
    QMetaObject::invokeMethod(
        server_, [&] { got = server_->listen(host, port) ? server_->serverPort() : 0; }, Qt::BlockingQueuedConnection);
    return got;
}

} // namespace centre
