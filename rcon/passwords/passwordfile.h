#pragma once

#include "rcon/settings/iniaccess.h"

#include <QLatin1String>
#include <QString>

#include <array>
#include <functional>

// The file "password" beside the program: the access password of the Password Manager, five
// server-password slots and the start-up choice, as INI text with one section, kept scrambled
// on disk. Every use is one access: unscramble, the INI calls through the program's INI
// control, scramble again. Reads and writes made while an access of the same file is running
// join that access instead of starting a second one, so two accesses never overlap.
class PasswordFile final {
public:
    static constexpr QLatin1String FileName{"password"};

    // Section and keys as every access after the first fill spells them, for reading the file
    // as stored. The INI control matches names without regard to case, so the other spellings
    // below name the same entries; the accessors further down hide which one each uses.
    static constexpr QLatin1String Section{"password"};
    static constexpr QLatin1String userpass{"userpass"};
    static constexpr std::array<QLatin1String, 5> pass{
        QLatin1String("pass1"), QLatin1String("pass2"), QLatin1String("pass3"),
        QLatin1String("pass4"), QLatin1String("pass5")};
    static constexpr QLatin1String usethis{"usethis"};
    // As the Password Manager writes the start-up choice.
    static constexpr QLatin1String UseThis{"UseThis"};

    // As the first fill (WriteNewINI) writes them.
    static constexpr QLatin1String NewSection{"Password"};
    static constexpr std::array<QLatin1String, 5> NewPass{
        QLatin1String("Pass1"), QLatin1String("Pass2"), QLatin1String("Pass3"),
        QLatin1String("Pass4"), QLatin1String("Pass5")};

    // The value of a slot that holds no password.
    static constexpr QLatin1String NoPassword{"No Password"};

    // path: the program folder's "password"; ini: how its INI text is read and written.
    PasswordFile(QString path, IniAccess ini);

    const QString &path() const { return m_path; }

    // The entries by what they are; each is one access of its own, or part of the access
    // running. A value that is absent reads "[NOT FOUND]".
    static constexpr int SlotCount = 5;
    // The access password that guards the Password Manager.
    QString accessPassword() const { return read(userpass); }
    void setAccessPassword(const QString &password) const { write(userpass, password); }
    // A server-password slot, 0 to SlotCount - 1.
    QString slot(int index) const { return read(pass.at(std::size_t(index))); }
    void setSlot(int index, const QString &password) const {
        write(pass.at(std::size_t(index)), password);
    }
    // The start-up choice: the password the main window's password field gets at start-up.
    QString startupChoice() const { return read(usethis); }
    void setStartupChoice(const QString &password) const { write(UseThis, password); }

    // One entry of the section "password"; "[NOT FOUND]" when it is absent or the file cannot
    // be read.
    QString read(const QString &key) const;
    void write(const QString &key, const QString &value,
               const QString &section = QString(Section)) const;

    // Runs work on the clear file between the two passes; work reads and writes through read()
    // and write(). Returns false, without running work, when the file cannot be brought to its
    // clear form (too long, or unreadable): nothing is then read and nothing written, so a file
    // that cannot be unscrambled is never written into and spoilt.
    bool access(const std::function<void()> &work) const;

    // The name under which WriteNewINI keeps the file it replaces, beside it.
    static constexpr QLatin1String BackupName{"password.bak"};

    // Fills the file afresh with its initial content, in this order: "userpass" empty, "Pass1"
    // to "Pass5" and "usethis" "No Password", all in section "Password". A file that holds
    // anything is first kept as "password.bak" beside it (replacing an older one), whether it
    // could be read or not, so no stored password is ever lost to a first fill. Returns false,
    // leaving the file as it was, when that backup cannot be made or the INI cannot be reached.
    bool WriteNewINI() const;
    QString backupPath() const;

private:
    QString m_path;
    IniAccess m_ini;
};
