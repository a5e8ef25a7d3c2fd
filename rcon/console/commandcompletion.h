#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

class QStringListModel;

// The console command and variable names offered while typing a command: the common GoldSrc
// engine and mod names shipped with the program, and the names the connected server itself
// reported. Whenever a `cvarlist` or `cmdlist` listing passes through the output, its names
// are learned for that server and kept per server address across runs, in a file of the
// user's own.
//
// The listing arrives in several datagrams and a line may be cut between two of them, so the
// learner follows it from its heading ("CVar List" / "Command List" and a rule) to its closing
// rule, keeping the unfinished line. The names go into the list right after the reply, not
// while it is being shown.
class CommandCompletion final : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxNamesPerServer = 10000;
    static constexpr int MaxServers = 50;

    // file: where learned names are kept across runs; empty keeps them for the session only.
    explicit CommandCompletion(QString file = {}, QObject *parent = nullptr);
    ~CommandCompletion() override;

    // The list the completer offers: sorted without regard to case, each name once.
    QStringListModel *model() const { return m_model; }
    // The names learned from the given server ("host:port"), in the order learned.
    QStringList learnedNames(const QString &server) const;
    // The server whose names are offered and learned from now on.
    void setServer(const QString &server);
    const QString &server() const { return m_server; }
    // A reply as shown in the output window.
    void learnFromReply(const QString &reply);
    // Brings the offered list and the file up to date now instead of a moment later.
    void flush();

    static const QStringList &shippedNames();

private:
    enum class Listing { None, Heading, Names };
    enum class Kind { Variables, Commands };

    void takeLine(QStringView line);
    void finishListing();
    void rebuildModel();
    void load();
    void save();

    QString m_file;
    QString m_server;
    QStringListModel *m_model;
    // Learned names per server, and the servers most recent first.
    QHash<QString, QStringList> m_learned;
    QStringList m_serverOrder;

    Listing m_listing = Listing::None;
    Kind m_kind = Kind::Variables;
    QString m_partialLine;
    QStringList m_pendingNames;

    QTimer m_rebuildSoon;
    QTimer m_saveSoon;
};
