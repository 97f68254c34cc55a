#pragma once

#include <QSettings>
#include <QString>

// Per-user persistent text values of application "TAVRIX", addressed by section
// and key: QSettings("TAVRIX", "TAVRIX") in the platform's native format
// (~/.config/TAVRIX/TAVRIX.conf on Linux). An absent key, a value that is not
// text, or a file that cannot be parsed reads as the empty text.
class SettingsStore
{
public:
    SettingsStore();

    QString ReadSetting(const QString &section, const QString &key) const;
    void WriteSetting(const QString &section, const QString &key, const QString &value);

    // Writes pending changes to disk now.
    void sync();

private:
    QSettings m_settings;
};
