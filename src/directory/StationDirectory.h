// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/DirectoryStation.h"

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <chrono>

class QNetworkReply;
class QTimer;

// What to search the directory for. Empty fields are not sent.
struct DirectoryQuery
{
    enum class Field { Name, Tag };

    QString text;
    Field field = Field::Name;
    QString country; // two letters: a country code, else a country's name
    QString codec;
};

// The client of the community station directory (radio-browser.info's JSON
// API). Servers come from the setting (one base address or several, comma
// separated, tried in that order) or, when it is empty, from DNS: the SRV
// records of _api._tcp.radio-browser.info, else the names of the addresses
// of all.api.radio-browser.info, shuffled. A search that fails on one server
// (no connection, an error status, a stall, an answer too large or not
// readable) is tried on the next; when none answers, searchFailed tells why.
class StationDirectory final : public QObject
{
    Q_OBJECT

public:
    // Answers larger than this are not read.
    static constexpr qint64 MaxAnswerBytes = 4 * 1024 * 1024;

    explicit StationDirectory(const QString &serverSetting, QObject *parent = nullptr);
    ~StationDirectory() override;

    // The servers named by the setting, as absolute http(s) base addresses.
    static QStringList serversFromSetting(const QString &setting);
    // The request for a search, relative to a server's base address.
    static QString searchPath(const DirectoryQuery &query);

    // Time allowed for each request before the server counts as stalled.
    void setTimeout(std::chrono::milliseconds timeout);

    // Starts a search; a search still running is dropped.
    void search(const DirectoryQuery &query);
    void cancel();
    bool isBusy() const { return m_busy; }

    // The user took this station from the results; its click is reported
    // when stationStarted() is told its address.
    void stationChosen(const DirectoryStation &station);
    // The address the main window started playing. Reports a click for the
    // chosen station (once) when it is that station's address.
    void stationStarted(const QString &address);

signals:
    void searchFinished(const QList<DirectoryStation> &stations);
    void searchFailed(const QString &message);

private:
    void discoverServers();
    void lookUpAllApiAddresses();
    void serversDiscovered(QStringList servers);
    void tryNextServer();
    void readAnswer();
    void answerFinished();
    void failAttempt(const QString &message);
    void dropReply();
    QNetworkReply *get(const QString &server, const QString &path);

    QNetworkAccessManager m_network;
    QString m_setting;
    QStringList m_servers;
    qsizetype m_attempt = 0;
    qsizetype m_answeringServer = -1;
    QString m_lastError;
    DirectoryQuery m_query;
    bool m_busy = false;
    int m_pendingReverseLookups = 0;
    QStringList m_discovered;

    QPointer<QNetworkReply> m_reply;
    QByteArray m_answer;
    QTimer *m_timer = nullptr;
    std::chrono::milliseconds m_timeout{10000};

    QString m_chosenUuid;
    QString m_chosenAddress;
};
