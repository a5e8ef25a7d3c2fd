#pragma once

#include <QLatin1String>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Where a saved server is: its host as typed (an IPv6 address without its brackets) and its
// game port, which is also its rcon port and its query port.
struct ServerAddress {
    QString host;
    quint16 port = 0;

    // The host as it is asked and compared: a host name in lower case, an IP address in its
    // usual form ("::1" for "0:0::1").
    QString canonicalHost() const;
    // "host:port" of the canonical host, an IPv6 address in brackets: the server's key, which
    // is ServerQuery's key when the server is asked by its canonical host. Two addresses that
    // name the same server ("Example.org" and "example.org:27015") have the same key.
    QString key() const;
    // "rcon://host:port" (the key above after "rcon://"): the name the server's rcon password
    // is kept under in the desktop keyring (PasswordKeyring).
    QString keyringKey() const;
    bool operator==(const ServerAddress &) const = default;
};

// One server of the list, as the user gave it. No password is ever part of it.
struct SavedServer {
    QString address;  // as typed: "host", "host:port" or "[v6]:port"
    QString label;    // the user's own name for it; may be empty
    QString group;    // may be empty
    QString lastName; // the server's own name when it last answered; empty until it did

    // The address read; nothing for an address that cannot be read (a hand-edited file).
    std::optional<ServerAddress> endpoint() const;
    // What the server is called: its label, else the name it last answered with, else the
    // address as typed.
    QString displayName() const;
    bool operator==(const SavedServer &) const = default;
};

// The user's list of servers, kept in the options file ("Talvero.conf", QSettings INI format),
// group "Servers", as the array "List": each entry's "Address" (as typed), "Label", "Group" and
// "LastName". The list is loaded and saved whole; QSettings writes the file through a temporary
// that takes its place (atomic sync), so a crash leaves the old list or the new one. The
// group's other keys (the Servers window's own choices) are left alone.
//
// The list is shared by the Servers window and the command-line client: a program that only
// reads it constructs it and calls load(). Adding checks every address first and adds all of
// them or none, with a message for the first that cannot be added.
class SavedServers final {
public:
    static constexpr QLatin1String Group{"Servers"};
    static constexpr QLatin1String ListKey{"List"};
    static constexpr quint16 DefaultPort = 27015;

    // Reads one address: "host", "host:port", "[v6]:port", "[v6]" or a bare IPv6 address (its
    // port then 27015). Blanks around it are ignored. Nothing, and the reason in *error, for an
    // empty text, a host that cannot be one (blanks, slashes, ...) or a port that is not a
    // number from 1 to 65535.
    static std::optional<ServerAddress> parseAddress(const QString &text, QString *error = nullptr);
    // The same for one line per server, empty lines skipped. The servers in order, or nothing
    // with the first line's reason; a server named twice is refused as well.
    static std::optional<QList<ServerAddress>> parseAddresses(const QString &lines,
                                                              QString *error = nullptr);

    explicit SavedServers(QString optionsFile);

    const QString &optionsFile() const { return m_optionsFile; }

    // Reads the list from the file; an empty list when there is none. Entries whose address
    // cannot be read are kept as they are (and saved again), never asked anything.
    void load();
    // Writes the whole list; false (and the reason in *error) when the file could not be written.
    bool save(QString *error = nullptr) const;

    const QList<SavedServer> &servers() const { return m_servers; }
    int count() const { return int(m_servers.size()); }
    const SavedServer &at(int index) const { return m_servers.at(index); }
    // The entry with this key (ServerAddress::key()); -1 when none.
    int indexOf(const QString &key) const;

    // The servers whose label, last answered name or address (as typed, or as its key) is this
    // name, compared without regard to case; in list order.
    QList<SavedServer> named(const QString &name) const;
    // The servers of this group (without regard to case); in list order.
    QList<SavedServer> inGroup(const QString &group) const;
    // The groups in use, each once, sorted.
    QStringList groups() const;

    // Checks what add() would add, without adding: one server per line, each with the label and
    // the group given. Nothing, with the reason in *error, when a line cannot be read, names a
    // server already in the list or one named by an earlier line.
    std::optional<QList<SavedServer>> prepare(const QString &lines, const QString &label,
                                              const QString &group, QString *error = nullptr) const;
    // Adds what prepare() accepts, all of it or none; the servers added, or nothing. The list
    // is not saved: save() does that.
    std::optional<QList<SavedServer>> add(const QString &lines, const QString &label,
                                          const QString &group, QString *error = nullptr);
    // Replaces the entry at index; refused (false, *error) when the new address cannot be read
    // or names another entry's server.
    bool replace(int index, const SavedServer &server, QString *error = nullptr);
    void removeAt(int index);
    // Notes the name the server answered with; false when it did not change.
    bool setLastName(int index, const QString &name);

    // Texts shown for refused addresses.
    static QString duplicateMessage(const QString &address);

private:
    QString m_optionsFile;
    QList<SavedServer> m_servers;
};
