#pragma once

#include <QLatin1String>
#include <QObject>
#include <QString>

#include <functional>

namespace QKeychain {
class Job;
}

// The rcon passwords of saved servers, kept in the desktop keyring (the Secret Service of
// GNOME Keyring or KeePassXC, or KWallet) through QtKeychain, under the service "Talvero" and
// the server's key "rcon://host:port" (ServerAddress::keyringKey()). Never anywhere else: the
// insecure file fallback QtKeychain offers is off.
//
// Every call answers later, from the event loop, through the callback given (never inside the
// call, and never once this object is gone). The keyring answers one call at a time, in the
// order they were made. It needs no window: the command-line client uses it too (it needs a
// running event loop and, for the Secret Service, the desktop's D-Bus session bus).
//
// When no keyring can be reached (no session bus, nothing on it that keeps secrets, or no
// keyring library) the result is NoKeyring with the text noKeyringMessage(); when a keyring is
// there but refuses (locked, access denied by the user, its own failure) it is Failed with the
// keyring's own reason.
class PasswordKeyring final : public QObject {
    Q_OBJECT
public:
    static constexpr QLatin1String Service{"Talvero"};

    enum class Status {
        Done,      // written, deleted, or read (the password in Result::password)
        NotFound,  // nothing is kept under the key
        NoKeyring, // no keyring to ask: nothing was kept
        Failed,    // the keyring refused; Result::message says why
    };
    struct Result {
        Status status = Status::Done;
        QString password; // read() when Done
        QString message;  // NoKeyring and Failed
    };
    using Callback = std::function<void(const PasswordKeyring::Result &)>;

    // "No desktop keyring is available: the password is not kept"
    static QString noKeyringMessage();

    explicit PasswordKeyring(QObject *parent = nullptr);
    ~PasswordKeyring() override;

    void write(const QString &key, const QString &password, Callback done);
    void read(const QString &key, Callback done);
    // Deleting what is not there is NotFound.
    void remove(const QString &key, Callback done);

private:
    void run(QKeychain::Job *job, const QString &key, Callback done);
    static Result resultOf(QKeychain::Job *job);
};
