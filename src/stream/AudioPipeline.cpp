#include "stream/AudioPipeline.h"

AudioPipeline::AudioPipeline(QObject *parent)
    : QObject(parent)
{}

bool AudioPipeline::startSession(const QString &bufferFolder, qint64 fileSizeBytes)
{
    m_bufferFolder = bufferFolder;
    m_fileSizeBytes = fileSizeBytes;
    m_bufferFile.resetBytes();
    if (!m_bufferFile.openFirst(m_bufferFolder)) {
        failed();
        return false;
    }
    return true;
}

void AudioPipeline::beginStream(const AudioStreamInfo &)
{}

void AudioPipeline::feed(QByteArrayView audio)
{
    if (audio.isEmpty() || !m_bufferFile.isOpen())
        return;
    // What the current file holds with this arrival, before the writer moves
    // on to the next file when the size has been passed.
    const qint64 filled = m_bufferFile.bytes() + audio.size();
    if (!m_bufferFile.append(audio, m_fileSizeBytes)) {
        failed();
        return;
    }
    emit progress(filled, m_fileSizeBytes);
}

void AudioPipeline::endStream()
{
    if (m_bufferFile.isOpen() && m_bufferFile.bytes() > 0 && !m_bufferFile.startNextFile())
        failed();
}

void AudioPipeline::stop()
{
    m_bufferFile.close();
}

void AudioPipeline::failed()
{
    const QString reason = m_bufferFile.errorString();
    m_bufferFile.close();
    emit fileError(reason);
}
