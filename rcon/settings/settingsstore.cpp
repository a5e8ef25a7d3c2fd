#include "rcon/settings/settingsstore.h"

#include <QSettings>

SettingsStore::SettingsStore(QString optionsFile)
    : m_optionsFile(std::move(optionsFile)) {}

QString SettingsStore::readText(const QString &key) const {
    QSettings settings(m_optionsFile, QSettings::IniFormat);
    settings.beginGroup(Group);
    const QVariant value = settings.value(key);
    if (!value.isValid())
        return QStringLiteral("0");
    return value.toString();
}

int SettingsStore::readOption(const QString &key) const {
    bool ok = false;
    const int number = readText(key).trimmed().toInt(&ok);
    return ok ? number : 0;
}

bool SettingsStore::isOn(const QString &key) const {
    return readOption(key) == 1;
}

void SettingsStore::saveOption(const QString &key, const QString &text) const {
    QSettings settings(m_optionsFile, QSettings::IniFormat);
    settings.beginGroup(Group);
    settings.setValue(key, text);
    settings.endGroup();
    settings.sync();
}

void SettingsStore::saveOption(const QString &key, bool on) const {
    saveOption(key, on ? QStringLiteral("1") : QStringLiteral("0"));
}

void SettingsStore::saveOption(const QString &key, const char *text) const {
    saveOption(key, QString::fromLatin1(text));
}
