// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/StationDirectory.h"

#include "util/Version.h"

#include <QDnsLookup>
#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>

namespace {

const QString ServiceName = QStringLiteral("_api._tcp.radio-browser.info");
const QString AllServersName = QStringLiteral("all.api.radio-browser.info");

// Most voted first; the first hundred are plenty for a list to pick from.
const QString ResultLimit = QStringLiteral("100");

QByteArray userAgent()
{
    return QStringLiteral("Tavrix/%1.%2.%3")
        .arg(TAVRIX_VERSION_MAJOR)
        .arg(TAVRIX_VERSION_MINOR)
        .arg(TAVRIX_VERSION_PATCH)
        .toLatin1();
}

// A host name found through DNS as a base address, or nothing when DNS gave
// something that is not a host name.
QString httpsServer(QString host)
{
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(host, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return {};
    return url.toString();
}

} // namespace

StationDirectory::StationDirectory(const QString &serverSetting, QObject *parent)
    : QObject(parent)
    , m_setting(serverSetting)
    , m_servers(serversFromSetting(serverSetting))
    , m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("stationDirectory"));
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this,
            [this] { failAttempt(tr("The station directory did not answer in time.")); });
}

StationDirectory::~StationDirectory()
{
    dropReply();
}

QStringList StationDirectory::serversFromSetting(const QString &setting)
{
    QStringList servers;
    const QStringList parts = setting.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QUrl url(part.trimmed(), QUrl::StrictMode);
        const QString scheme = url.scheme().toLower();
        if (url.isValid() && !url.host().isEmpty() &&
            (scheme == QLatin1String("http") || scheme == QLatin1String("https"))) {
            // Request paths are appended to the base address.
            QString server = url.toString();
            while (server.endsWith(QLatin1Char('/')))
                server.chop(1);
            servers << server;
        }
    }
    return servers;
}

QString StationDirectory::searchPath(const DirectoryQuery &query)
{
    QUrlQuery parameters;
    const QString text = query.text.trimmed();
    if (!text.isEmpty())
        parameters.addQueryItem(query.field == DirectoryQuery::Field::Tag ? QStringLiteral("tag")
                                                                          : QStringLiteral("name"),
                                text);
    const QString country = query.country.trimmed();
    if (country.size() == 2)
        parameters.addQueryItem(QStringLiteral("countrycode"), country.toUpper());
    else if (!country.isEmpty())
        parameters.addQueryItem(QStringLiteral("country"), country);
    const QString codec = query.codec.trimmed();
    if (!codec.isEmpty())
        parameters.addQueryItem(QStringLiteral("codec"), codec);
    parameters.addQueryItem(QStringLiteral("hidebroken"), QStringLiteral("true"));
    parameters.addQueryItem(QStringLiteral("order"), QStringLiteral("votes"));
    parameters.addQueryItem(QStringLiteral("reverse"), QStringLiteral("true"));
    parameters.addQueryItem(QStringLiteral("limit"), ResultLimit);
    return QStringLiteral("/json/stations/search?") + parameters.query(QUrl::FullyEncoded);
}

void StationDirectory::setTimeout(std::chrono::milliseconds timeout)
{
    m_timeout = timeout;
}

void StationDirectory::search(const DirectoryQuery &query)
{
    dropReply();
    m_query = query;
    m_attempt = 0;
    m_lastError.clear();
    const bool discovering = m_busy && m_servers.isEmpty();
    m_busy = true;
    if (m_servers.isEmpty() && !m_setting.trimmed().isEmpty()) {
        m_busy = false;
        emit searchFailed(tr("The station directory server in the settings is not an http or "
                             "https address."));
    } else if (!m_servers.isEmpty())
        tryNextServer();
    else if (!discovering)
        discoverServers();
}

void StationDirectory::cancel()
{
    dropReply();
    m_busy = false;
}

// DNS discovery, as the directory's maintainers ask: the SRV records list
// the servers in service.
void StationDirectory::discoverServers()
{
    auto *lookup = new QDnsLookup(QDnsLookup::SRV, ServiceName, this);
    connect(lookup, &QDnsLookup::finished, this, [this, lookup] {
        lookup->deleteLater();
        QStringList found;
        if (lookup->error() == QDnsLookup::NoError) {
            const QList<QDnsServiceRecord> records = lookup->serviceRecords();
            for (const QDnsServiceRecord &record : records) {
                const QString server = httpsServer(record.target());
                if (!server.isEmpty() && !found.contains(server))
                    found << server;
            }
        }
        if (found.isEmpty())
            lookUpAllApiAddresses();
        else
            serversDiscovered(found);
    });
    lookup->lookup();
}

// Without SRV records: the addresses behind all.api.radio-browser.info,
// each named through a reverse lookup, since HTTPS needs the host name.
void StationDirectory::lookUpAllApiAddresses()
{
    QHostInfo::lookupHost(AllServersName, this, [this](const QHostInfo &info) {
        const QList<QHostAddress> addresses = info.addresses();
        if (info.error() != QHostInfo::NoError || addresses.isEmpty()) {
            serversDiscovered({});
            return;
        }
        m_discovered.clear();
        m_pendingReverseLookups = int(addresses.size());
        for (const QHostAddress &address : addresses) {
            QHostInfo::lookupHost(
                address.toString(), this, [this, address](const QHostInfo &reverse) {
                    const QString name = reverse.hostName();
                    if (reverse.error() == QHostInfo::NoError && name != address.toString()) {
                        const QString server = httpsServer(name);
                        if (!server.isEmpty() && !m_discovered.contains(server))
                            m_discovered << server;
                    }
                    if (--m_pendingReverseLookups == 0)
                        serversDiscovered(m_discovered);
                });
        }
    });
}

// A random server first, the others after it in random order.
void StationDirectory::serversDiscovered(QStringList servers)
{
    std::shuffle(servers.begin(), servers.end(), *QRandomGenerator::global());
    m_servers = servers;
    if (!m_busy)
        return;
    if (m_servers.isEmpty()) {
        m_busy = false;
        emit searchFailed(tr("No station directory server could be found. Check the "
                             "connection to the Internet."));
        return;
    }
    tryNextServer();
}

QNetworkReply *StationDirectory::get(const QString &server, const QString &path)
{
    QNetworkRequest request(QUrl(server + path));
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    request.setRawHeader("Accept", "application/json");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(int(m_timeout.count()));
    return m_network.get(request);
}

void StationDirectory::tryNextServer()
{
    if (m_attempt >= m_servers.size()) {
        m_busy = false;
        emit searchFailed(m_lastError);
        return;
    }
    m_answer.clear();
    m_reply = get(m_servers[m_attempt], searchPath(m_query));
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > MaxAnswerBytes)
            failAttempt(tr("The station directory's answer is too large."));
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &StationDirectory::readAnswer);
    connect(m_reply, &QNetworkReply::finished, this, &StationDirectory::answerFinished);
    m_timer->start(m_timeout);
}

void StationDirectory::readAnswer()
{
    m_answer += m_reply->read(MaxAnswerBytes + 1 - m_answer.size());
    if (m_answer.size() > MaxAnswerBytes)
        failAttempt(tr("The station directory's answer is too large."));
}

void StationDirectory::answerFinished()
{
    QNetworkReply *reply = m_reply;
    if (reply->error() == QNetworkReply::OperationCanceledError) {
        // The transfer timeout of the request itself.
        failAttempt(tr("The station directory did not answer in time."));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        failAttempt(
            status > 0
                ? tr("The station directory answered with an error (HTTP %1).").arg(status)
                : tr("The station directory could not be reached: %1").arg(reply->errorString()));
        return;
    }
    readAnswer();
    if (!m_reply)
        return;
    const StationListParse parse = parseStationList(m_answer);
    if (!parse.ok) {
        failAttempt(tr("The station directory's answer could not be read."));
        return;
    }
    m_answeringServer = m_attempt;
    dropReply();
    m_busy = false;
    emit searchFinished(parse.stations);
}

void StationDirectory::failAttempt(const QString &message)
{
    dropReply();
    m_lastError = message;
    ++m_attempt;
    tryNextServer();
}

void StationDirectory::dropReply()
{
    m_timer->stop();
    m_answer.clear();
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void StationDirectory::stationChosen(const DirectoryStation &station)
{
    m_chosenUuid = station.uuid;
    m_chosenAddress = station.address;
}

void StationDirectory::stationStarted(const QString &address)
{
    if (m_chosenUuid.isEmpty() || address.trimmed() != m_chosenAddress)
        return;
    const qsizetype server =
        m_answeringServer >= 0 && m_answeringServer < m_servers.size() ? m_answeringServer : 0;
    if (server >= m_servers.size())
        return;
    // The directory counts clicks to rank its stations; the answer (the
    // station's address) is not needed.
    QNetworkReply *reply = get(m_servers[server], QStringLiteral("/json/url/") + m_chosenUuid);
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    m_chosenUuid.clear();
    m_chosenAddress.clear();
}
