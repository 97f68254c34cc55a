// SPDX-License-Identifier: GPL-3.0-or-later
#include "IcecastStation.h"

#include "ScriptedStation.h"
#include "ToolRun.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QUrl>
#include <algorithm>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// Startup of Icecast, and then of the stream, each within this time.
constexpr int StartTimeoutMs = 15000;
// Another program may take the chosen port before Icecast binds it.
constexpr int PortAttempts = 3;
constexpr int ToolTimeoutMs = 120000;

const QString SourcePassword = QStringLiteral("tavrix-source");

// MPEG-1 Layer III bitrates: the ones that keep 44.1 kHz.
constexpr int Mpeg1Bitrates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};

bool runningAsRoot()
{
    return geteuid() == 0;
}

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

bool writeText(const QString &fileName, const QString &text, QFileDevice::Permissions permissions)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = text.toUtf8();
    return file.write(bytes) == bytes.size() && file.setPermissions(permissions);
}

QString tail(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return QString::fromLocal8Bit(bytes.right(4000)).trimmed();
}

// Runs a tool to its end; false with why in *error when it fails.
bool toolSucceeded(const QString &program, const QStringList &arguments, QString *error)
{
    const ToolRun run = runTool(program, arguments, ToolTimeoutMs);
    if (!run.ok)
        *error = run.failure;
    return run.ok;
}

// The status line and headers that "/" answers with, or nothing.
QByteArray responseHead(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(1000))
        return {};
    socket.write("GET / HTTP/1.0\r\n\r\n");
    QByteArray response;
    const QDeadlineTimer deadline(2000);
    while (!response.contains("\r\n\r\n") && socket.waitForReadyRead(deadline.remainingTime()))
        response += socket.readAll();
    socket.abort();
    return response.left(response.indexOf("\r\n\r\n"));
}

// The station's processes get SIGKILL when the test process dies, so a
// crashed test leaves no server behind.
std::unique_ptr<QProcess> newProcess(const QString &outputFile)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(outputFile);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    return process;
}

bool exited(QProcess &process, int waitMs)
{
    return process.state() == QProcess::NotRunning || process.waitForFinished(waitMs);
}

void end(std::unique_ptr<QProcess> &process)
{
    if (!process)
        return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(3000)) {
            process->kill();
            process->waitForFinished(3000);
        }
    }
    process.reset();
}

} // namespace

IcecastStation::IcecastStation(int bitrateKbps, int audioSeconds, const QString &name,
                               const QString &genre, const QString &url)
    : m_bitrateKbps(bitrateKbps)
    , m_audioSeconds(audioSeconds)
    , m_name(name)
    , m_genre(genre)
    , m_url(url)
{}

IcecastStation::~IcecastStation()
{
    stop();
}

QString IcecastStation::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString IcecastStation::audioFile() const
{
    return m_sourceFile.isEmpty() ? path(QStringLiteral("tone.mp3")) : m_sourceFile;
}

void IcecastStation::setSourceFile(const QString &file, const QByteArray &contentType,
                                   double seconds, double speed)
{
    m_sourceFile = file;
    m_contentType = contentType;
    m_sourceBytesPerSecond = seconds > 0 ? double(QFileInfo(file).size()) / seconds * speed : 0;
}

bool IcecastStation::sourceFinished() const
{
    return m_fileSource && m_fileSource->state() == IcecastFileSource::State::Finished;
}

QString IcecastStation::tlsCertificateFile() const
{
    return path(QStringLiteral("tls.pem"));
}

QString IcecastStation::path(const QString &name) const
{
    return m_dir ? m_dir->filePath(name) : QString();
}

QString IcecastStation::logs() const
{
    if (!m_dir)
        return {};
    const QString source =
        m_sourceFile.isEmpty()
            ? QStringLiteral("ezstream:\n") + tail(path(QStringLiteral("ezstream.out")))
            : QStringLiteral("source: ") + (m_fileSource ? m_fileSource->errorString() : QString());
    return QStringLiteral("icecast2:\n%1\n%2\n%3")
        .arg(tail(path(QStringLiteral("icecast.out"))), tail(path(QStringLiteral("log/error.log"))),
             source);
}

bool IcecastStation::isRunning() const
{
    const bool sourceRunning =
        m_sourceFile.isEmpty()
            ? m_source && m_source->state() == QProcess::Running
            : m_fileSource && m_fileSource->state() == IcecastFileSource::State::Sending;
    return m_server && m_server->state() == QProcess::Running && sourceRunning;
}

void IcecastStation::stop()
{
    m_fileSource.reset();
    end(m_source);
    end(m_server);
}

void IcecastStation::stopSource()
{
    m_fileSource.reset();
    end(m_source);
}

bool IcecastStation::restartSource(QString *error)
{
    stopSource();
    return startSource(error);
}

bool IcecastStation::setTitle(const QString &title, QString *error)
{
    // Everything but letters and digits percent-encoded: Icecast reads "+"
    // as a blank.
    const QByteArray query =
        "mount=%2Fstream&mode=updinfo&charset=UTF-8&song=" + QUrl::toPercentEncoding(title);
    const QByteArray credentials = (QStringLiteral("source:") + SourcePassword).toUtf8();
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_port);
    if (!socket.waitForConnected(StartTimeoutMs)) {
        *error = QStringLiteral("no connection to Icecast: %1").arg(socket.errorString());
        return false;
    }
    socket.write("GET /admin/metadata?" + query + " HTTP/1.0\r\nAuthorization: Basic " +
                 credentials.toBase64() + "\r\n\r\n");
    QByteArray response;
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (socket.state() == QAbstractSocket::ConnectedState &&
           socket.waitForReadyRead(deadline.remainingTime()))
        response += socket.readAll();
    response += socket.readAll();
    if (!response.startsWith("HTTP/1.0 200 ") || !response.contains("<return>1</return>")) {
        *error = QStringLiteral("Icecast refused the title: %1\n%2")
                     .arg(QString::fromUtf8(response), logs());
        return false;
    }
    return true;
}

bool IcecastStation::start(QString *error)
{
    stop();
    QString failure;
    bool started = false;
    if (prepare(&failure)) {
        for (int attempt = 0; attempt < PortAttempts; ++attempt) {
            bool portTaken = false;
            if (startServer(&failure, &portTaken)) {
                started = startSource(&failure);
                break;
            }
            if (!portTaken)
                break;
        }
    }
    if (!started) {
        stop();
        if (error)
            *error = failure;
    }
    return started;
}

bool IcecastStation::prepare(QString *error)
{
    const bool fileSource = !m_sourceFile.isEmpty();
    QStringList tools = {QStringLiteral("icecast2")};
    if (!fileSource)
        tools << QStringLiteral("ezstream") << QStringLiteral("sox") << QStringLiteral("lame");
    if (runningAsRoot())
        tools << QStringLiteral("setpriv");
    if (m_tls)
        tools << QStringLiteral("openssl");
    QStringList missing;
    for (const QString &tool : tools) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            missing << tool;
    }
    if (!missing.isEmpty()) {
        *error = QStringLiteral("missing programs: %1 (Debian packages icecast2 ezstream sox "
                                "lame util-linux)")
                     .arg(missing.join(QStringLiteral(", ")));
        return false;
    }
    if (fileSource && m_sourceBytesPerSecond <= 0) {
        *error = QStringLiteral("the source file %1 is empty or has no length").arg(m_sourceFile);
        return false;
    }
    if (!fileSource && !std::ranges::count(Mpeg1Bitrates, m_bitrateKbps)) {
        *error = QStringLiteral("%1 kbps is no MPEG-1 Layer III bitrate").arg(m_bitrateKbps);
        return false;
    }
    if (m_audioSeconds < 1) {
        *error = QStringLiteral("the station needs at least one second of audio");
        return false;
    }

    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                            QStringLiteral("/icecast-station-XXXXXX"));
    if (!m_dir->isValid()) {
        *error = QStringLiteral("no temporary folder: %1").arg(m_dir->errorString());
        return false;
    }
    const QDir dir(m_dir->path());
    for (const char *folder : {"log", "web", "admin"}) {
        if (!dir.mkdir(QLatin1String(folder))) {
            *error = QStringLiteral("cannot create %1").arg(dir.filePath(QLatin1String(folder)));
            return false;
        }
    }
    // Under root, Icecast runs as nobody: it must read its configuration and
    // write its logs.
    if (runningAsRoot()) {
        const auto readable = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                              QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                              QFileDevice::ExeGroup | QFileDevice::ReadOther |
                              QFileDevice::ExeOther;
        const auto writable = readable | QFileDevice::WriteGroup | QFileDevice::WriteOther;
        if (!QFile::setPermissions(dir.path(), readable) ||
            !QFile::setPermissions(path(QStringLiteral("log")), writable)) {
            *error = QStringLiteral("cannot open %1 to the user nobody").arg(dir.path());
            return false;
        }
    }

    if (fileSource)
        return !m_tls || writeTlsCertificate(error);

    const QString wave = path(QStringLiteral("tone.wav"));
    const bool generated =
        toolSucceeded(QStringLiteral("sox"),
                      {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                       QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"),
                       QStringLiteral("16"), wave, QStringLiteral("synth"),
                       QString::number(m_audioSeconds), QStringLiteral("sine"),
                       QStringLiteral("440")},
                      error) &&
        toolSucceeded(QStringLiteral("lame"),
                      {QStringLiteral("--quiet"), QStringLiteral("-t"), QStringLiteral("--cbr"),
                       QStringLiteral("-b"), QString::number(m_bitrateKbps),
                       QStringLiteral("--resample"), QStringLiteral("44.1"), wave, audioFile()},
                      error);
    QFile::remove(wave);
    return generated && (!m_tls || writeTlsCertificate(error));
}

bool IcecastStation::writeTlsCertificate(QString *error) const
{
    // Icecast reads the certificate and its key from one file.
    const QString key = path(QStringLiteral("tls.key"));
    const QString certificate = path(QStringLiteral("tls.crt"));
    if (!toolSucceeded(QStringLiteral("openssl"),
                       {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                        QStringLiteral("rsa:2048"), QStringLiteral("-nodes"),
                        QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                        QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                        QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"),
                        key, QStringLiteral("-out"), certificate},
                       error))
        return false;
    QFile keyFile(key);
    QFile certificateFile(certificate);
    if (!keyFile.open(QIODevice::ReadOnly) || !certificateFile.open(QIODevice::ReadOnly) ||
        !writeText(tlsCertificateFile(),
                   QString::fromLatin1(certificateFile.readAll() + keyFile.readAll()),
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                       QFileDevice::ReadOther)) {
        *error = QStringLiteral("cannot write %1").arg(tlsCertificateFile());
        return false;
    }
    return true;
}

QString IcecastStation::tlsListenerConfig() const
{
    if (!m_tls)
        return {};
    return QStringLiteral("  <listen-socket>\n"
                          "    <port>%1</port>\n"
                          "    <bind-address>127.0.0.1</bind-address>\n"
                          "    <ssl>1</ssl>\n"
                          "  </listen-socket>\n")
        .arg(m_tlsPort);
}

QString IcecastStation::burstConfig() const
{
    if (m_sourceFile.isEmpty())
        return {};
    // A burst larger than the file: whenever a listener connects, it gets
    // the stream from its start. The queue must hold the whole burst.
    const qint64 burst = QFileInfo(m_sourceFile).size() + 65536;
    return QStringLiteral("    <burst-size>%1</burst-size>\n"
                          "    <queue-size>%2</queue-size>\n")
        .arg(burst)
        .arg(2 * burst);
}

QString IcecastStation::tlsPathConfig() const
{
    if (!m_tls)
        return {};
    return QStringLiteral("    <ssl-certificate>%1</ssl-certificate>\n")
        .arg(escaped(tlsCertificateFile()));
}

bool IcecastStation::writeServerConfig() const
{
    const QString config =
        QStringLiteral("<icecast>\n"
                       "  <location>loopback</location>\n"
                       "  <admin>test@localhost</admin>\n"
                       "  <limits>\n"
                       "    <clients>100</clients>\n"
                       "    <sources>2</sources>\n"
                       "    <header-timeout>15</header-timeout>\n"
                       "    <source-timeout>10</source-timeout>\n"
                       "    <burst-on-connect>1</burst-on-connect>\n"
                       "%8"
                       "  </limits>\n"
                       "  <authentication>\n"
                       "    <source-password>%1</source-password>\n"
                       "    <admin-user>admin</admin-user>\n"
                       "    <admin-password>%1</admin-password>\n"
                       "  </authentication>\n"
                       "  <hostname>127.0.0.1</hostname>\n"
                       "  <listen-socket>\n"
                       "    <port>%2</port>\n"
                       "    <bind-address>127.0.0.1</bind-address>\n"
                       "  </listen-socket>\n"
                       "%6"
                       "  <fileserve>0</fileserve>\n"
                       "  <paths>\n"
                       "%7"
                       "    <logdir>%3</logdir>\n"
                       "    <webroot>%4</webroot>\n"
                       "    <adminroot>%5</adminroot>\n"
                       "    <alias source=\"/\" destination=\"/stream\"/>\n"
                       "  </paths>\n"
                       "  <logging>\n"
                       "    <accesslog>access.log</accesslog>\n"
                       "    <errorlog>error.log</errorlog>\n"
                       "    <loglevel>3</loglevel>\n"
                       "  </logging>\n"
                       "  <security>\n"
                       "    <chroot>0</chroot>\n"
                       "  </security>\n"
                       "</icecast>\n")
            .arg(escaped(SourcePassword), QString::number(m_port),
                 escaped(path(QStringLiteral("log"))), escaped(path(QStringLiteral("web"))),
                 escaped(path(QStringLiteral("admin"))), tlsListenerConfig(), tlsPathConfig(),
                 burstConfig());
    return writeText(path(QStringLiteral("icecast.xml")), config,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                         QFileDevice::ReadOther);
}

bool IcecastStation::writeSourceConfig() const
{
    const QString config = QStringLiteral("<ezstream>\n"
                                          "  <servers>\n"
                                          "    <server>\n"
                                          "      <protocol>HTTP</protocol>\n"
                                          "      <hostname>127.0.0.1</hostname>\n"
                                          "      <port>%1</port>\n"
                                          "      <password>%2</password>\n"
                                          "      <tls>None</tls>\n"
                                          "    </server>\n"
                                          "  </servers>\n"
                                          "  <streams>\n"
                                          "    <stream>\n"
                                          "      <mountpoint>/stream</mountpoint>\n"
                                          "      <format>MP3</format>\n"
                                          "      <public>No</public>\n"
                                          "      <stream_name>%3</stream_name>\n"
                                          "      <stream_genre>%4</stream_genre>\n"
                                          "      <stream_url>%5</stream_url>\n"
                                          "      <stream_bitrate>%6</stream_bitrate>\n"
                                          "      <stream_samplerate>44100</stream_samplerate>\n"
                                          "      <stream_channels>2</stream_channels>\n"
                                          "    </stream>\n"
                                          "  </streams>\n"
                                          "  <intakes>\n"
                                          "    <intake>\n"
                                          "      <type>file</type>\n"
                                          "      <filename>%7</filename>\n"
                                          "      <stream_once>No</stream_once>\n"
                                          "    </intake>\n"
                                          "  </intakes>\n"
                                          "  <metadata>\n"
                                          "    <no_updates>Yes</no_updates>\n"
                                          "  </metadata>\n"
                                          "</ezstream>\n")
                               .arg(QString::number(m_port), escaped(SourcePassword),
                                    escaped(m_name), escaped(m_genre), escaped(m_url),
                                    QString::number(m_bitrateKbps), escaped(audioFile()));
    // ezstream refuses a configuration that others may read.
    return writeText(path(QStringLiteral("ezstream.xml")), config,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

bool IcecastStation::startServer(QString *error, bool *portTaken)
{
    m_port = closedPort();
    m_tlsPort = 0;
    for (int attempt = 0; m_tls && m_port != 0 && attempt < PortAttempts; ++attempt) {
        if (const quint16 port = closedPort(); port != m_port) {
            m_tlsPort = port;
            break;
        }
    }
    if (m_port == 0 || (m_tls && m_tlsPort == 0) || !writeServerConfig()) {
        *error = QStringLiteral("cannot prepare the Icecast configuration");
        return false;
    }
    QFile::remove(path(QStringLiteral("log/error.log")));

    m_server = newProcess(path(QStringLiteral("icecast.out")));
    m_server->setWorkingDirectory(m_dir->path());
    const QStringList icecast = {QStringLiteral("icecast2"), QStringLiteral("-c"),
                                 path(QStringLiteral("icecast.xml"))};
    if (runningAsRoot()) {
        // setpriv keeps the death signal across the change of user.
        m_server->start(QStringLiteral("setpriv"),
                        QStringList{QStringLiteral("--reuid"), QStringLiteral("nobody"),
                                    QStringLiteral("--regid"), QStringLiteral("nogroup"),
                                    QStringLiteral("--clear-groups"), QStringLiteral("--pdeathsig"),
                                    QStringLiteral("KILL")} +
                            icecast);
    } else {
        m_server->start(icecast.first(), icecast.mid(1));
    }
    if (!m_server->waitForStarted()) {
        *error = QStringLiteral("icecast2 did not start: %1").arg(m_server->errorString());
        end(m_server);
        return false;
    }

    // Checking who answers: another program may have taken the port.
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (!responseHead(m_port).contains("Server: Icecast")) {
        if (exited(*m_server, 100) || deadline.hasExpired()) {
            *portTaken = logs().contains(QLatin1String("Could not create listener socket"));
            *error = QStringLiteral("Icecast did not start listening on port %1.\n%2")
                         .arg(m_port)
                         .arg(logs());
            end(m_server);
            return false;
        }
    }
    return true;
}

bool IcecastStation::startSource(QString *error)
{
    if (!m_sourceFile.isEmpty())
        return startFileSource(error);
    if (!writeSourceConfig()) {
        *error = QStringLiteral("cannot write the ezstream configuration");
        return false;
    }
    m_source = newProcess(path(QStringLiteral("ezstream.out")));
    m_source->setWorkingDirectory(m_dir->path());
    m_source->start(QStringLiteral("ezstream"),
                    {QStringLiteral("-c"), path(QStringLiteral("ezstream.xml"))});
    if (!m_source->waitForStarted()) {
        *error = QStringLiteral("ezstream did not start: %1").arg(m_source->errorString());
        return false;
    }

    const QDeadlineTimer deadline(StartTimeoutMs);
    while (!responseHead(m_port).startsWith("HTTP/1.0 200 ")) {
        if (exited(*m_source, 100) || exited(*m_server, 0) || deadline.hasExpired()) {
            *error = QStringLiteral("the stream did not come up on port %1.\n%2")
                         .arg(m_port)
                         .arg(logs());
            return false;
        }
    }
    return true;
}

bool IcecastStation::startFileSource(QString *error)
{
    QFile file(m_sourceFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(m_sourceFile);
        return false;
    }
    m_fileSource = std::make_unique<IcecastFileSource>(file.readAll(), m_sourceBytesPerSecond);
    m_fileSource->start(
        m_port, SourcePassword,
        {QStringLiteral("/stream"), m_contentType, m_name, m_genre, m_url, m_bitrateKbps});
    // The source works in this thread's event loop: it is kept running
    // while waiting for Icecast to take it.
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (m_fileSource->state() == IcecastFileSource::State::Connecting &&
           !deadline.hasExpired() && m_server->state() == QProcess::Running)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (m_fileSource->state() != IcecastFileSource::State::Sending ||
        !responseHead(m_port).startsWith("HTTP/1.0 200 ")) {
        *error =
            QStringLiteral("the stream did not come up on port %1.\n%2").arg(m_port).arg(logs());
        return false;
    }
    return true;
}
