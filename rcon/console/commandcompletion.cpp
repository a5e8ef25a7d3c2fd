#include "rcon/console/commandcompletion.h"

#include "rcon/console/userstatefile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringListModel>

#include <algorithm>

namespace {

const QLatin1String VariablesHeading("CVar List");
const QLatin1String CommandsHeading("Command List");
const QLatin1String Rule("--------------");
// Some engines print command names cut to 16 columns: a line that fills them may be cut.
constexpr int CutCommandWidth = 16;
// A line longer than this is no listing line; an unfinished one is dropped.
constexpr int MaxLine = 512;

bool isNameChar(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' ||
           u == '+' || u == '-' || u == '.' || u == '@' || u == '$';
}

bool isName(QStringView name) {
    if (name.isEmpty() || name.size() > 63)
        return false;
    bool letter = false;
    for (const QChar c : name) {
        if (!isNameChar(c))
            return false;
        letter = letter || c.isLetter();
    }
    return letter;
}

QStringView trimmedRight(QStringView line) {
    while (!line.isEmpty() && (line.back().isSpace() || line.back() == QLatin1Char('\0')))
        line.chop(1);
    return line;
}

} // namespace

CommandCompletion::CommandCompletion(QString file, QObject *parent)
    : QObject(parent)
    , m_file(std::move(file))
    , m_model(new QStringListModel(this)) {
    m_rebuildSoon.setSingleShot(true);
    m_rebuildSoon.setInterval(0);
    connect(&m_rebuildSoon, &QTimer::timeout, this, &CommandCompletion::rebuildModel);
    // Learned names reach the file a moment later, once a listing has stopped arriving.
    m_saveSoon.setSingleShot(true);
    m_saveSoon.setInterval(1000);
    connect(&m_saveSoon, &QTimer::timeout, this, &CommandCompletion::save);
    load();
    rebuildModel();
}

CommandCompletion::~CommandCompletion() {
    if (m_saveSoon.isActive())
        save();
}

QStringList CommandCompletion::learnedNames(const QString &server) const {
    return m_learned.value(server);
}

void CommandCompletion::setServer(const QString &server) {
    if (server == m_server)
        return;
    finishListing();
    m_listing = Listing::None;
    m_partialLine.clear();
    m_server = server;
    rebuildModel();
}

void CommandCompletion::learnFromReply(const QString &reply) {
    if (m_server.isEmpty())
        return;
    // Most replies are no listing: look for a heading before going through lines.
    if (m_listing == Listing::None && !reply.contains(VariablesHeading) &&
        !reply.contains(CommandsHeading))
        return;

    QStringView rest(reply);
    while (!rest.isEmpty()) {
        const qsizetype end = rest.indexOf(QLatin1Char('\n'));
        if (end < 0) {
            m_partialLine += rest;
            if (m_partialLine.size() > MaxLine)
                m_partialLine.clear();
            break;
        }
        if (m_partialLine.isEmpty()) {
            takeLine(rest.left(end));
        } else {
            m_partialLine += rest.left(end);
            takeLine(m_partialLine);
            m_partialLine.clear();
        }
        rest = rest.mid(end + 1);
    }
    // Outside a listing an unfinished line is nobody's: it must not run into the next heading.
    if (m_listing == Listing::None) {
        m_partialLine.clear();
        if (!m_pendingNames.isEmpty())
            finishListing();
    }
}

void CommandCompletion::takeLine(QStringView line) {
    line = trimmedRight(line);
    if (line == VariablesHeading || line == CommandsHeading) {
        finishListing();
        m_listing = Listing::Heading;
        m_kind = line == VariablesHeading ? Kind::Variables : Kind::Commands;
        return;
    }
    switch (m_listing) {
    case Listing::None:
        return;
    case Listing::Heading:
        m_listing = line == Rule ? Listing::Names : Listing::None;
        return;
    case Listing::Names:
        break;
    }
    if (line.startsWith(Rule)) {
        m_listing = Listing::None;
        return;
    }
    if (line.size() > MaxLine)
        return;
    if (m_kind == Kind::Commands) {
        const QStringView name = line.trimmed();
        if (line.size() != CutCommandWidth && isName(name))
            m_pendingNames.append(name.toString());
        return;
    }
    // "name<blanks> : value", and flags after the value.
    const QStringView trimmed = line.trimmed();
    qsizetype blank = 0;
    while (blank < trimmed.size() && !trimmed.at(blank).isSpace())
        ++blank;
    const QStringView name = trimmed.left(blank);
    const QStringView after = trimmed.mid(blank).trimmed();
    if (after.startsWith(QLatin1Char(':')) && isName(name))
        m_pendingNames.append(name.toString());
}

void CommandCompletion::finishListing() {
    if (m_pendingNames.isEmpty() || m_server.isEmpty()) {
        m_pendingNames.clear();
        return;
    }
    QStringList &names = m_learned[m_server];
    QSet<QString> known(names.cbegin(), names.cend());
    for (const QString &name : std::as_const(m_pendingNames)) {
        if (names.size() >= MaxNamesPerServer)
            break;
        if (!known.contains(name)) {
            known.insert(name);
            names.append(name);
        }
    }
    m_pendingNames.clear();
    m_serverOrder.removeAll(m_server);
    m_serverOrder.prepend(m_server);
    while (m_serverOrder.size() > MaxServers)
        m_learned.remove(m_serverOrder.takeLast());
    m_rebuildSoon.start();
    m_saveSoon.start();
}

void CommandCompletion::flush() {
    finishListing();
    if (m_rebuildSoon.isActive()) {
        m_rebuildSoon.stop();
        rebuildModel();
    }
    if (m_saveSoon.isActive()) {
        m_saveSoon.stop();
        save();
    }
}

void CommandCompletion::rebuildModel() {
    QStringList names = shippedNames();
    names += m_learned.value(m_server);
    auto lessNoCase = [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    };
    std::stable_sort(names.begin(), names.end(), lessNoCase);
    auto sameNoCase = [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    };
    names.erase(std::unique(names.begin(), names.end(), sameNoCase), names.end());
    m_model->setStringList(names);
}

void CommandCompletion::load() {
    const QJsonDocument doc = QJsonDocument::fromJson(UserStateFile::read(m_file));
    const QJsonArray servers = doc.object().value(QLatin1String("servers")).toArray();
    for (const QJsonValue &value : servers) {
        const QJsonObject entry = value.toObject();
        const QString server = entry.value(QLatin1String("server")).toString();
        if (server.isEmpty() || m_learned.contains(server) || m_serverOrder.size() >= MaxServers)
            continue;
        QStringList names;
        for (const QJsonValue &name : entry.value(QLatin1String("names")).toArray()) {
            const QString text = name.toString();
            if (isName(text) && names.size() < MaxNamesPerServer)
                names.append(text);
        }
        m_learned.insert(server, names);
        m_serverOrder.append(server);
    }
}

void CommandCompletion::save() {
    if (m_file.isEmpty())
        return;
    QJsonArray servers;
    for (const QString &server : std::as_const(m_serverOrder)) {
        QJsonObject entry;
        entry.insert(QLatin1String("server"), server);
        entry.insert(QLatin1String("names"), QJsonArray::fromStringList(m_learned.value(server)));
        servers.append(entry);
    }
    QJsonObject root;
    root.insert(QLatin1String("servers"), servers);
    UserStateFile::write(m_file, QJsonDocument(root).toJson(QJsonDocument::Compact));
}
