#pragma once

#include <QLatin1String>
#include <QString>

// The per-user on/off options (application "Talvero", group "Options"), kept in the options
// file the program object names. Options are stored as the texts "1" and "0"; an absent option
// reads "0", and a text that is no whole number counts as 0. Nothing is cached: every read asks
// the file and every save writes it at once, so a change made elsewhere is seen at the next read.
class SettingsStore final {
public:
    static constexpr QLatin1String Application{"Talvero"};
    static constexpr QLatin1String Group{"Options"};

    // At start-up the program goes to the notification area instead of showing its windows.
    static constexpr QLatin1String SendToTrayOnBoot{"SendToTrayOnBoot"};
    // Received text is appended to the log file.
    static constexpr QLatin1String LogText2File{"LogText2File"};
    // The Password Manager opens without asking for the access password.
    static constexpr QLatin1String ShowPassDlg{"ShowPassDlg"};

    explicit SettingsStore(QString optionsFile);

    const QString &optionsFile() const { return m_optionsFile; }

    // The stored text, or "0" when the option is absent or the file cannot be read.
    QString readText(const QString &key) const;
    // The stored text as a whole number; 0 when it is none.
    int readOption(const QString &key) const;
    // The option is on when its number is 1.
    bool isOn(const QString &key) const;

    // A write that fails is skipped silently.
    void saveOption(const QString &key, const QString &text) const;
    // Stores "1" or "0", as a check box's state.
    void saveOption(const QString &key, bool on) const;
    // Without this a literal ("1") would pick the bool overload.
    void saveOption(const QString &key, const char *text) const;

private:
    QString m_optionsFile;
};
