#pragma once

#include "web/view_cache.h"
#include "web/view_request.h"
#include "web/view_source.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QString>
#include <memory>

class QHttpServerRequest;
class QTcpSocket;

// The line's read-only web view: the pages, their data as JSON under /api/, the plots and the
// page's own style and script, answered from the cache or, once per refresh period, from a read
// of the source. A viewer from another machine needs the token when one is set.
class LineViewServer : public QAbstractHttpServer {
    Q_OBJECT

public:
    struct Options {
        ViewSource::Where Source;
        QString Token; // empty: none needed
        int RefreshMs = 5000;
        // Listening on the loopback alone: a request must name the loopback as its host, so a
        // web page elsewhere cannot read the view through a name of its own made to point here.
        bool LoopbackOnly = true;
    };
    explicit LineViewServer(const Options& options, QObject* parent = nullptr);
    ~LineViewServer() override;

    // One answer, as the HTTP side sends it.
    struct Answer {
        int Status = 200;
        QByteArray Type;
        QByteArray Body;
        QList<std::pair<QByteArray, QByteArray>> Headers;
    };
    // The answer to a request: its method, path with query, headers that matter and whether it
    // came from this machine.
    Answer Respond(const QString& method, const QUrl& url, const QByteArray& cookies, bool part,
                   bool local);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    Answer Page(const ViewRequest& request, bool part);
    // The data of a request: fresh from the cache, else read; error tells a failed read.
    std::shared_ptr<const ViewData> Data(const ViewRequest& request, QString* error);
    QString DownText() const;

    Options m_options;
    std::unique_ptr<ViewSource> m_source;
    ViewCache m_cache;
};
