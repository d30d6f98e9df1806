#include "ModemBrowser.h"

#include "Dom.h"
#include "FormBody.h"
#include "FormControls.h"
#include "ModemLog.h"
#include "TextDecoding.h"

#include <QHttpMultiPart>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>

namespace tolvane {

namespace {

constexpr int kMostRedirects = 20;
constexpr qint64 kReadBuffer = 256 * 1024;

// Addresses are logged without their query, which may carry a submitted password.
QString forLog(const QUrl& url)
{
    return url.toString(QUrl::RemoveQuery | QUrl::RemoveUserInfo);
}

bool isWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http" || scheme == u"https");
}

// Fixed texts only: Qt's error strings can quote the address, and the address may hold the very
// page names that identify the modem.
QString reasonFor(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("The connection was refused.");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("The connection was closed before the page arrived.");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("The host name could not be resolved.");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral("The host did not answer in time.");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return QStringLiteral("The network could not reach the host.");
    default:
        return QStringLiteral("The page could not be loaded.");
    }
}

bool isSameOrigin(const QUrl& page, const QUrl& target)
{
    const int defaultPort = page.scheme().compare(u"https", Qt::CaseInsensitive) == 0 ? 443 : 80;
    return page.scheme().compare(target.scheme(), Qt::CaseInsensitive) == 0 &&
           page.host() == target.host() && page.port(defaultPort) == target.port(defaultPort);
}

// Why a request may not go out, or an empty text. Decided on the address alone, before anything
// is sent or a host name in it looked up.
QString refusalOf(const PageRequest& request)
{
    if (!isWebAddress(request.url))
        return QStringLiteral("Only http and https addresses can be opened.");
    if (request.from && !isSameOrigin(*request.from, request.url))
        return QStringLiteral("The page leads away from the modem; nothing was sent there.");
    return {};
}

bool isRedirect(const QNetworkReply& reply)
{
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) &&
           reply.hasRawHeader("Location");
}

// Holds the network back while the program has not taken what came, so that an answer without end
// waits in the connection rather than in memory. Qt passes the limit on only to a request already
// started, and a request with a body starts from the event loop: so it is set again from there,
// behind the start.
void limitReadBuffer(QNetworkReply& reply)
{
    reply.setReadBufferSize(kReadBuffer);
    QMetaObject::invokeMethod(
        &reply, [&reply] { reply.setReadBufferSize(kReadBuffer); }, Qt::QueuedConnection);
}

QByteArray newBoundary()
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray boundary = "----TolvaneFormBoundary";
    for (int i = 0; i < 16; ++i)
        boundary += alphabet[QRandomGenerator::global()->bounded(62)];
    return boundary;
}

} // namespace

ModemBrowser::ModemBrowser(QObject* parent) : QObject(parent)
{
    m_network.setProxy(QNetworkProxy::NoProxy);
    m_sendTimer.setSingleShot(true);
    m_sendTimer.setInterval(0);
    connect(&m_sendTimer, &QTimer::timeout, this, &ModemBrowser::sendRequest);
    m_blank = dom::parseHtml(QString(), QUrl(), QStringLiteral("UTF-8"));
    setDocument(m_blank);
}

ModemBrowser::~ModemBrowser()
{
    dropReply();
}

void ModemBrowser::Navigate(const QString& address)
{
    static const QRegularExpression hasScheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    const QString text = address.trimmed();
    PageRequest request;
    request.url = QUrl(hasScheme.match(text).hasMatch() ? text : QLatin1String("http://") + text);
    open(request);
}

void ModemBrowser::open(const PageRequest& request)
{
    dropReply();
    m_load.reset();
    if (m_document != m_blank)
        setDocument(m_blank);
    start(request, 0);
}

// Every request passes here on its way out: an address opened, a link, a form, a redirect.
void ModemBrowser::start(PageRequest request, int redirects)
{
    m_refusal = refusalOf(request);
    if (!m_refusal.isEmpty()) {
        qCWarning(lcModem) << "not sent:" << m_refusal << forLog(request.url);
        m_load.reset();
        showError(m_refusal);
        return;
    }
    m_load = Load{}; // not emplace(): clang sees Load as not default-constructible here
    m_load->request = std::move(request);
    m_load->redirects = redirects;
    m_sendTimer.start();
}

HtmlDocument ModemBrowser::Document() const
{
    return HtmlDocument(m_document);
}

bool ModemBrowser::isLoading() const
{
    return m_load.has_value();
}

QString ModemBrowser::refusal() const
{
    return m_refusal;
}

void ModemBrowser::setTransferTimeout(std::chrono::milliseconds timeout)
{
    m_transferTimeout = timeout;
}

void ModemBrowser::setPageSizeCap(qint64 bytes)
{
    m_pageSizeCap = bytes;
}

void ModemBrowser::closeConnections()
{
    m_network.clearConnectionCache();
}

void ModemBrowser::sendRequest()
{
    if (!m_load)
        return;
    dom::takeFormEntries(m_load->request);
    const PageRequest& page = m_load->request;
    qCInfo(lcModem) << page.method << forLog(page.url);

    QNetworkRequest request(page.url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(static_cast<int>(m_transferTimeout.count()));
    request.setHeader(QNetworkRequest::UserAgentHeader, "Mozilla/5.0 (compatible; Tolvane)");

    QNetworkReply* reply = nullptr;
    if (page.method != "POST") {
        reply = m_network.get(request);
    } else if (page.bodyEncoding == PageRequest::BodyEncoding::Multipart) {
        const QByteArray boundary = newBoundary();
        request.setHeader(QNetworkRequest::ContentTypeHeader, multipartContentType(boundary));
        QHttpMultiPart* body = multipartForm(page.entries, page.charset, boundary, nullptr);
        reply = m_network.post(request, body);
        body->setParent(reply);
    } else {
        const bool plain = page.bodyEncoding == PageRequest::BodyEncoding::TextPlain;
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          plain ? "text/plain" : "application/x-www-form-urlencoded");
        reply = m_network.post(request, plain ? textPlainForm(page.entries, page.charset)
                                              : urlEncodedForm(page.entries, page.charset));
    }
    limitReadBuffer(*reply);
    m_load->reply = reply;
    m_load->body.clear();
    connect(reply, &QNetworkReply::readyRead, this, &ModemBrowser::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &ModemBrowser::onFinished);
}

// Takes what has arrived, up to the cap; reading no more than that keeps each read small.
void ModemBrowser::readBody(QNetworkReply& reply)
{
    m_load->body +=
        reply.read(std::min(reply.bytesAvailable(), m_pageSizeCap - m_load->body.size()));
}

void ModemBrowser::onReadyRead()
{
    QNetworkReply* reply = m_load->reply;
    if (isRedirect(*reply)) {
        reply->readAll(); // the body of a redirect is never shown
        return;
    }
    readBody(*reply);
    if (m_load->body.size() < m_pageSizeCap || reply->bytesAvailable() == 0)
        return;
    // Past the cap: keep what arrived, drop the rest.
    qCWarning(lcModem) << "page larger than" << m_pageSizeCap
                       << "bytes; the rest is dropped:" << forLog(reply->url());
    const QByteArray contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    const QUrl url = reply->url();
    QByteArray body = std::move(m_load->body);
    dropReply();
    m_load.reset();
    showPage(std::move(body), contentType, url);
}

void ModemBrowser::onFinished()
{
    QNetworkReply* reply = m_load->reply;
    if (followRedirect())
        return;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    if (!status.isValid() && error != QNetworkReply::NoError) {
        qCInfo(lcModem) << "load failed:" << error << forLog(reply->url());
        dropReply();
        m_load.reset();
        showError(reasonFor(error));
        return;
    }
    qCInfo(lcModem) << "answer" << status.toInt() << forLog(reply->url());
    readBody(*reply);
    const QByteArray contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    const QUrl url = reply->url();
    QByteArray body = std::move(m_load->body);
    dropReply();
    m_load.reset();
    showPage(std::move(body), contentType, url);
}

bool ModemBrowser::followRedirect()
{
    QNetworkReply* reply = m_load->reply;
    if (!isRedirect(*reply))
        return false;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();

    const QUrl target = reply->url().resolved(
        QUrl::fromEncoded(reply->rawHeader("Location").trimmed(), QUrl::TolerantMode));
    PageRequest next = m_load->request;
    next.url = target;
    next.from = reply->url();
    if (status != 307 && status != 308) {
        next.method = "GET";
        next.entries.clear();
    }
    const int redirects = m_load->redirects + 1;
    qCInfo(lcModem) << "redirect" << status << "to" << forLog(target);
    dropReply();
    if (redirects > kMostRedirects) {
        m_load.reset();
        showError(QStringLiteral("The page redirects without end."));
        return true;
    }
    start(std::move(next), redirects);
    return true;
}

void ModemBrowser::showPage(QByteArray bytes, const QByteArray& contentType, const QUrl& url)
{
    DecodedPage page = decodePage(bytes, contentType);
    bytes = QByteArray(); // a page at the size cap is large: hold one copy at a time
    setDocument(dom::parseHtml(std::move(page.text), url, page.encoding));
}

void ModemBrowser::showError(const QString& reason)
{
    const QString html = QLatin1String("<html><head><title>Cannot open the page</title></head>"
                                       "<body><h1>Cannot open the page</h1><p>") +
                         reason + QLatin1String("</p></body></html>");
    setDocument(dom::parseHtml(html, QUrl(), QStringLiteral("UTF-8")));
}

void ModemBrowser::setDocument(std::shared_ptr<dom::Tree> tree)
{
    tree->browser = this;
    m_document = std::move(tree);
    emit documentChanged();
}

void ModemBrowser::dropReply()
{
    m_sendTimer.stop();
    if (!m_load || !m_load->reply)
        return;
    QNetworkReply* reply = std::exchange(m_load->reply, nullptr);
    disconnect(reply, nullptr, this, nullptr);
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}

} // namespace tolvane
