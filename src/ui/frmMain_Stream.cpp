// The main window's station session: the start and stop command, the
// connection events and the station's response written into buffer files.

#include "platform/Dialogs.h"
#include "platform/FileOperations.h"
#include "platform/socket/SocketModule.h"
#include "stream/LeadingNumber.h"
#include "stream/StationAddress.h"
#include "ui/BufferModes.h"
#include "ui/ClickableLabel.h"
#include "ui/frmMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

// A full progress bar, in pixels (6690 twips).
constexpr double FullBarWidth = 6690.0 / 15.0;

} // namespace

void frmMain::cmdStart_Click()
{
    if (m_state.Streaming) {
        if (m_sck)
            m_sck->Close();
        m_state.BufferFile.close();
        m_state.Streaming = false;
        lblStatus->setText(QStringLiteral("Buffering of files interrupted by user."));
        EnableControls();
        return;
    }

    if (m_state.BufferPath.isEmpty() || m_state.RadioPath.isEmpty()) {
        message(MessageIcon::Exclamation,
                QStringLiteral("Please select the buffer and GTA MP3s folders and retry."));
        return;
    }
    if (!m_sck) {
        message(MessageIcon::Stop,
                QStringLiteral("Tavrix cannot connect to a station: its network component "
                               "could not be loaded.\n\n") +
                    SocketModule::pathIn(m_services.componentFolder) + QStringLiteral("\n") +
                    m_socketLoadError);
        return;
    }

    // Only the program's own two files are removed from the game folder; the
    // user's MP3 files there are left alone. The buffer folder is the
    // program's own and is emptied of MP3 files.
    for (const QString &gameFile : m_state.GameFileNames) {
        if (!gameFile.isEmpty())
            m_services.files->remove(gameFile);
    }
    m_flbBufferPath.refresh();
    const QStringList bufferFiles = m_flbBufferPath.names();
    for (const QString &name : bufferFiles)
        m_services.files->remove(m_state.BufferPath + name);
    m_flbBufferPath.refresh();

    const StationAddressParse parsed = parseStationAddress(txtURL->text());
    m_state.StationURL = parsed.url;
    if (!parsed.address) {
        message(MessageIcon::Stop,
                QStringLiteral("Please enter a valid URL, including the port number.\n\n"
                               "Example: http://198.51.100.20:80"));
        return;
    }
    m_state.StationHost = parsed.address->host;
    m_state.StationPort = parsed.address->port;
    m_state.StationPath = parsed.address->path;

    if (optCustom->isChecked()) {
        const int item = cmbBuffer->currentIndex();
        if (item >= 0 && item < int(BufferModes::CustomSizes.size()))
            m_state.PrebufferKB = BufferModes::CustomSizes[size_t(item)].kilobytes;
    } else if (optDSL->isChecked()) {
        m_state.PrebufferKB = BufferModes::BroadbandKB;
    } else if (opt56K->isChecked()) {
        m_state.PrebufferKB = BufferModes::ModemKB;
    }

    DisableControls();
    lblStatus->setText(QStringLiteral("Connecting to ") + m_state.StationURL +
                       QStringLiteral("..."));
    m_state.Streaming = true;
    if (chkStart->checkState() == Qt::Checked)
        m_state.AutoStartGame = true;
    if (!m_tmrMain->isActive())
        m_tmrMain->start();
    m_state.Response.reset();
    m_sck->Connect(m_state.StationHost, m_state.StationPort);
}

void frmMain::Sck_Connect()
{
    m_state.ShowBufferingStatus = true;
    if (!m_state.BufferFile.openFirst(m_state.BufferPath)) {
        endSessionOnFileError();
        return;
    }
    StationAddress address;
    address.path = m_state.StationPath;
    m_sck->SendData(address.request());
}

void frmMain::Sck_DataArrival(qint32)
{
    const QByteArray data = m_sck->GetData();
    if (!m_state.Streaming)
        return;
    if (m_state.Response.stage() == ResponseParser::Stage::Audio) {
        writeAudio(data);
        return;
    }
    switch (m_state.Response.feed(data)) {
    case ResponseParser::Outcome::NeedMore:
        return;
    case ResponseParser::Outcome::Refused:
        refuseStation();
        return;
    case ResponseParser::Outcome::HeadersRead:
        showStationHeaders();
        writeAudio(m_state.Response.takeAudio());
        return;
    case ResponseParser::Outcome::Audio:
        writeAudio(m_state.Response.takeAudio());
        return;
    }
}

void frmMain::refuseStation()
{
    // The connection and the empty first file are closed before the message,
    // so that nothing more arrives while it is open.
    m_sck->Close();
    m_state.BufferFile.close();
    message(MessageIcon::Stop, QStringLiteral("Server is unavailable."));
    m_state.Streaming = false;
    lblStatus->setText(QStringLiteral("Could not connect to ") + m_state.StationURL +
                       QStringLiteral("."));
    shpBar->hide();
    EnableControls();
}

void frmMain::showStationHeaders()
{
    const StationHeaders &headers = m_state.Response.headers();
    lblServerName->setText(QStringLiteral("Name: ") + headers.name);
    lblGenre->setText(QStringLiteral("Genre: ") + headers.genre);
    lblURL->setText(QStringLiteral("URL: ") + headers.url);
    setBitrateWarning(leadingNumber(headers.bitrate) > 60);
    lblBitrate->setText(QStringLiteral("Bitrate: ") + headers.bitrate + QStringLiteral(" Kbps"));
    lblBitrate->adjustSize();

    if (m_state.AutoStartGame) {
        lblWelcome->setText(QStringLiteral("GTA will be started automatically after the first "
                                           "MP3 file was buffered.\nPlease wait a few "
                                           "moments..."));
        QFont bold = lblWelcome->font();
        bold.setBold(true);
        lblWelcome->setFont(bold);
    }
    cmdStart->setEnabled(true);

    const QString title =
        headers.name + QStringLiteral(" [") + headers.bitrate + QStringLiteral(" Kbps]");
    AddRecentStation(title, txtURL->text());
}

void frmMain::writeAudio(QByteArrayView audio)
{
    if (audio.isEmpty() || !m_state.BufferFile.isOpen())
        return;
    // What the current file holds with this arrival, before the writer moves
    // on to the next file when the size has been passed.
    const qint64 filled = m_state.BufferFile.bytes() + audio.size();
    if (!m_state.BufferFile.append(audio, qint64(m_state.PrebufferKB) * 1024)) {
        endSessionOnFileError();
        return;
    }

    if (m_state.ShowBufferingStatus) {
        lblStatus->setText(
            QStringLiteral("Buffering ") + m_state.GameFileNames[m_state.GameSlot].toLower() +
            QStringLiteral(" [ ") + QString::number(filled / 1024) + QStringLiteral(" KB ]"));
    }
    if (m_state.PrebufferKB > 0) {
        const double width =
            double(filled) * 100.0 / (double(m_state.PrebufferKB) * 1024.0) * FullBarWidth / 100.0;
        const int pixels = qBound(1, int(width + 0.5), picStatusBar->width());
        if (shpBar->width() != pixels)
            shpBar->setFixedWidth(pixels);
    }
    if (shpBar->isHidden())
        shpBar->show();
}

void frmMain::endSessionOnFileError()
{
    const QString reason = m_state.BufferFile.errorString();
    m_state.BufferFile.close();
    m_sck->Close();
    cmdStart->setEnabled(true);
    lblStatus->setText(QStringLiteral("Buffering stopped: a buffer file could not be written."));
    message(MessageIcon::Stop,
            QStringLiteral("Buffering has stopped because a buffer file could not be "
                           "written:\n\n") +
                reason);
}

void frmMain::connectionEnded()
{
    m_state.BufferFile.close();
    m_sck->Close();
    // The inputs stay locked until the user presses "Cancel", which is usable
    // now whatever stage the response had reached.
    cmdStart->setEnabled(true);
}

void frmMain::Sck_Close()
{
    connectionEnded();
    lblStatus->setText(QStringLiteral("The station ") + m_state.StationURL +
                       QStringLiteral(" closed the connection."));
}

void frmMain::Sck_Error(qint16, const QString &, bool &)
{
    connectionEnded();
    lblStatus->setText(QStringLiteral("The connection to ") + m_state.StationURL +
                       QStringLiteral(" failed."));
}

void frmMain::showSocketError(qint16, const QString &description)
{
    message(MessageIcon::Stop, description);
}
