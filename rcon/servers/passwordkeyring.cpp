#include "rcon/servers/passwordkeyring.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QPointer>
#include <QTimer>

#include <qt6keychain/keychain.h>

namespace {

// The names a keyring answers on in the session bus: the Secret Service (GNOME Keyring,
// KeePassXC, newer KWallet) and KWallet's own.
const QStringList KeyringServices = {
    QStringLiteral("org.freedesktop.secrets"),
    QStringLiteral("org.kde.kwalletd6"),
    QStringLiteral("org.kde.kwalletd5"),
};

bool sessionBusConnected() {
    return QDBusConnection::sessionBus().isConnected();
}

// Something on the session bus keeps secrets, or would be started to when asked.
bool keyringOnBus() {
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    if (!bus)
        return false;
    for (const QString &name : KeyringServices) {
        if (bus->isServiceRegistered(name).value())
            return true;
    }
    const QStringList activatable = bus->activatableServiceNames().value();
    for (const QString &name : KeyringServices) {
        if (activatable.contains(name))
            return true;
    }
    return false;
}

} // namespace

QString PasswordKeyring::noKeyringMessage() {
    return QStringLiteral("No desktop keyring is available: the password is not kept");
}

PasswordKeyring::PasswordKeyring(QObject *parent)
    : QObject(parent) {}

PasswordKeyring::~PasswordKeyring() = default;

void PasswordKeyring::write(const QString &key, const QString &password, Callback done) {
    auto *job = new QKeychain::WritePasswordJob(Service);
    job->setTextData(password);
    run(job, key, std::move(done));
}

void PasswordKeyring::read(const QString &key, Callback done) {
    run(new QKeychain::ReadPasswordJob(Service), key, std::move(done));
}

void PasswordKeyring::remove(const QString &key, Callback done) {
    run(new QKeychain::DeletePasswordJob(Service), key, std::move(done));
}

void PasswordKeyring::run(QKeychain::Job *job, const QString &key, Callback done) {
    QPointer<PasswordKeyring> self(this);
    if (!sessionBusConnected()) {
        // Without a session bus the keyring library would try to start one of its own.
        delete job;
        QTimer::singleShot(0, this, [done = std::move(done)] {
            done(Result{Status::NoKeyring, {}, noKeyringMessage()});
        });
        return;
    }
    // A job's keyring library holds on to it until it answers, so a job is never deleted
    // before then: it deletes itself once it has finished, and its answer is dropped when this
    // object has gone in the meantime.
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    connect(job, &QKeychain::Job::finished, job,
            [self, done = std::move(done)](QKeychain::Job *finished) {
                if (self)
                    done(resultOf(finished));
            });
    job->start();
}

PasswordKeyring::Result PasswordKeyring::resultOf(QKeychain::Job *job) {
    switch (job->error()) {
    case QKeychain::NoError: {
        Result result;
        if (auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(job))
            result.password = read->textData();
        return result;
    }
    case QKeychain::EntryNotFound:
        return Result{Status::NotFound, {}, {}};
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return Result{Status::NoKeyring, {}, noKeyringMessage()};
    default:
        break;
    }
    // The keyring library says the same "could not reach it" in many ways; the bus tells
    // whether there was a keyring at all.
    if (!keyringOnBus())
        return Result{Status::NoKeyring, {}, noKeyringMessage()};
    const QString reason = job->errorString().trimmed();
    return Result{Status::Failed,
                  {},
                  reason.isEmpty() ? QStringLiteral("The desktop keyring refused the password.")
                                   : reason};
}
