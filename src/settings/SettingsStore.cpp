#include "settings/SettingsStore.h"

SettingsStore::SettingsStore()
    : m_settings(QStringLiteral("TAVRIX"), QStringLiteral("TAVRIX"))
{}

QString SettingsStore::ReadSetting(const QString &section, const QString &key) const
{
    const QVariant value = m_settings.value(section + QLatin1Char('/') + key);
    // Anything but text (a list, a byte array, a variant of another type that
    // a hand-edited file may hold) reads as absent.
    if (value.typeId() != QMetaType::QString)
        return {};
    return value.toString();
}

void SettingsStore::WriteSetting(const QString &section, const QString &key, const QString &value)
{
    m_settings.setValue(section + QLatin1Char('/') + key, value);
}

void SettingsStore::sync()
{
    m_settings.sync();
}
