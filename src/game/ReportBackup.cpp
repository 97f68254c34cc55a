// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/ReportBackup.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

constexpr qsizetype MaxSlugLength = 60;

} // namespace

ReportBackup::ReportBackup(QString dataFolder)
    : m_folder(QDir(dataFolder).filePath(QStringLiteral("reports")))
{}

QString ReportBackup::defaultDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/tavrix/");
}

QString ReportBackup::copyPathFor(const QString &reportPath) const
{
    // The same folder reached through a link or a "..", or named with a
    // trailing separator, keeps one copy.
    const QFileInfo report(reportPath);
    QString folder = QFileInfo(report.absolutePath()).canonicalFilePath();
    if (folder.isEmpty())
        folder = QDir::cleanPath(report.absolutePath());

    // The game's folder and its MP3 folder make the name readable; the hash
    // keeps folders of the same name apart.
    const QStringList parts = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString slug = parts.mid(qMax(0, parts.size() - 2)).join(QLatin1Char('-'));
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9]+"));
    slug.replace(unsafe, QStringLiteral("-"));
    slug = slug.left(MaxSlugLength);
    while (slug.startsWith(u'-'))
        slug.remove(0, 1);
    while (slug.endsWith(u'-'))
        slug.chop(1);
    const QByteArray hash =
        QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha256).toHex().left(8);
    const QString name = (slug.isEmpty() ? QString() : slug + u'-') + QString::fromLatin1(hash) +
                         QStringLiteral("-MP3Report.txt");
    return QDir(m_folder).filePath(name);
}

ReportBackup::Result ReportBackup::keepOriginal(const QString &reportPath) const
{
    Result result;
    result.copyPath = copyPathFor(reportPath);
    if (QFileInfo::exists(result.copyPath) || !QFileInfo(reportPath).isFile()) {
        result.ok = true;
        return result;
    }
    if (!QDir().mkpath(m_folder)) {
        result.error = QStringLiteral("The folder %1 could not be created.")
                           .arg(QDir::toNativeSeparators(m_folder));
        return result;
    }
    // Copied under a temporary name and then renamed, which never replaces
    // a file: an interrupted copy never passes for the kept original.
    const QString partial = result.copyPath + QStringLiteral(".part");
    QFile::remove(partial);
    QFile source(reportPath);
    if (!source.copy(partial)) {
        result.error = QStringLiteral("%1 could not be copied to %2: %3")
                           .arg(QDir::toNativeSeparators(reportPath),
                                QDir::toNativeSeparators(partial), source.errorString());
        return result;
    }
    QFile copy(partial);
    if (!copy.rename(result.copyPath)) {
        const QString reason = copy.errorString();
        QFile::remove(partial);
        if (QFileInfo::exists(result.copyPath)) { // kept meanwhile by another run
            result.ok = true;
            return result;
        }
        result.error = QStringLiteral("%1 could not be kept: %2")
                           .arg(QDir::toNativeSeparators(result.copyPath), reason);
        return result;
    }
    result.ok = true;
    result.copied = true;
    return result;
}
