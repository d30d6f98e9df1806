#pragma once

#include "HtmlDocument.h"
#include "PageRequest.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

class QNetworkReply;

namespace tolvane {

// The program's web browser, WebBrowser1: it opens addresses over HTTP and keeps the page last
// loaded as a document of elements that can be read, filled in and clicked. It runs no script of
// any page.
//
// Requests never go through a proxy; cookies are kept for the browser's lifetime; redirects are
// followed as browsers follow them (a POST answered by 301, 302 or 303 goes on as a GET). The
// browser talks to one modem: a redirect, a submitted form or a followed link goes only to the
// scheme, host and port of the page it comes from; anything else is a failed load that sends
// nothing and looks up no host name. A page is bounded in size (a load that passes it is ended
// there and shows what came) and a transfer that stalls is given up.
//
// One navigation at a time: a new one cancels the one in flight. The request goes out when
// control next returns to the event loop, so of several clicks made in one go (a walk over a
// page's submit buttons) only the last one's request is sent, as in browsers.
class ModemBrowser final : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 kDefaultPageSizeCap = 4 * 1024 * 1024;
    static constexpr std::chrono::milliseconds kDefaultTransferTimeout{60000};

    explicit ModemBrowser(QObject* parent = nullptr);
    ~ModemBrowser() override;

    // Opens an address; one without a scheme is an http address ("192.168.2.1",
    // "127.0.0.1:8080/login.stm"). From this moment the document is an empty page until the
    // answer arrives, so no read can find the text of the previous page. A load that fails gives
    // a short error page; an HTTP error status gives the page the server sent with it.
    void Navigate(const QString& address);

    // Opens a request, as a followed link or a submitted form does; the rules of Navigate apply.
    void open(const PageRequest& request);

    // The page last loaded (see Navigate). Held documents stay valid after later navigations.
    HtmlDocument Document() const;

    // True while a navigation is in flight (from Navigate or a click until its page is shown).
    bool isLoading() const;

    // Why the last navigation sent nothing: its address is not http(s), or leads away from the
    // modem of the page it comes from. Empty when it went out.
    QString refusal() const;

    void setTransferTimeout(std::chrono::milliseconds timeout);
    void setPageSizeCap(qint64 bytes);

    // Closes the connections kept alive for reuse.
    void closeConnections();

signals:
    // The document was replaced: a navigation began, or its page arrived.
    void documentChanged();

private:
    struct Load {
        PageRequest request;
        int redirects = 0;
        QByteArray body;
        QNetworkReply* reply = nullptr;
    };

    void start(PageRequest request, int redirects);
    void sendRequest();
    void readBody(QNetworkReply& reply);
    void onReadyRead();
    void onFinished();
    bool followRedirect();
    void showPage(QByteArray bytes, const QByteArray& contentType, const QUrl& url);
    void showError(const QString& reason);
    void setDocument(std::shared_ptr<dom::Tree> tree);
    void dropReply();

    QNetworkAccessManager m_network;
    std::shared_ptr<dom::Tree> m_blank; // shown while a navigation is in flight
    std::shared_ptr<dom::Tree> m_document;
    std::optional<Load> m_load;
    QString m_refusal;
    QTimer m_sendTimer;
    std::chrono::milliseconds m_transferTimeout = kDefaultTransferTimeout;
    qint64 m_pageSizeCap = kDefaultPageSizeCap;
};

} // namespace tolvane
