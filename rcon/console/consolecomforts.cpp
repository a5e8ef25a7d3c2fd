#include "rcon/console/consolecomforts.h"

#include "rcon/console/commandcompletion.h"
#include "rcon/console/commandhistory.h"
#include "rcon/console/recentservers.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QStandardItemModel>
#include <QStringListModel>

namespace {
// The first showing of a list polishes it, lays it out and gives it a window: done once here,
// unseen, rather than on the first letter the user types.
void prepareList(QAbstractItemView *list) {
    list->setAttribute(Qt::WA_DontShowOnScreen);
    list->show();
    list->hide();
    list->setAttribute(Qt::WA_DontShowOnScreen, false);
}

constexpr int HostRole = Qt::UserRole + 1;
constexpr int PortRole = Qt::UserRole + 2;

QString stateFile(const QString &dir, const char *name) {
    return dir.isEmpty() ? QString() : dir + QLatin1Char('/') + QLatin1String(name);
}

bool isEnter(const QKeyEvent *event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}
} // namespace

ConsoleComforts::ConsoleComforts(const QString &stateDir, QLineEdit *ip, QLineEdit *port,
                                 QLineEdit *console, QLineEdit *admin, QObject *parent)
    : QObject(parent)
    , m_ip(ip)
    , m_port(port)
    , m_console(console)
    , m_admin(admin)
    , m_consoleHistory(std::make_unique<CommandHistory>(stateFile(stateDir, "history-console")))
    , m_adminHistory(std::make_unique<CommandHistory>(stateFile(stateDir, "history-adminmod")))
    , m_recent(std::make_unique<RecentServers>(stateFile(stateDir, "recent-servers")))
    , m_completion(new CommandCompletion(stateFile(stateDir, "learned-names.json"), this))
    , m_commandCompleter(new QCompleter(m_completion->model(), this))
    , m_serverCompleter(new QCompleter(this))
    , m_serverModel(new QStandardItemModel(this)) {
    m_commandCompleter->setObjectName(QStringLiteral("CommandCompleter"));
    m_commandCompleter->setCaseSensitivity(Qt::CaseInsensitive);
    m_commandCompleter->setModelSorting(QCompleter::CaseInsensitivelySortedModel);
    m_commandCompleter->setCompletionMode(QCompleter::PopupCompletion);
    m_commandCompleter->setMaxVisibleItems(10);
    m_console->setCompleter(m_commandCompleter);
    // Every row is one line of the same font: the list need not measure thousands of names to
    // place itself when the first letter is typed.
    if (auto *list = qobject_cast<QListView *>(m_commandCompleter->popup()))
        list->setUniformItemSizes(true);
    prepareList(m_commandCompleter->popup());

    m_commandCompleter->popup()->setObjectName(QStringLiteral("CommandCompletionList"));
    m_commandCompleter->popup()->setAccessibleName(QStringLiteral("Command names"));
    m_commandCompleter->popup()->installEventFilter(this);

    // The list shows "host:port"; typing matches the host, and choosing fills both fields.
    m_serverCompleter->setObjectName(QStringLiteral("ServerCompleter"));
    m_serverCompleter->setModel(m_serverModel);
    m_serverCompleter->setCompletionRole(HostRole);
    m_serverCompleter->setCaseSensitivity(Qt::CaseInsensitive);
    m_serverCompleter->setModelSorting(QCompleter::UnsortedModel);
    m_serverCompleter->setCompletionMode(QCompleter::PopupCompletion);
    m_ip->setCompleter(m_serverCompleter);
    m_serverCompleter->popup()->setObjectName(QStringLiteral("RecentServerList"));
    m_serverCompleter->popup()->setAccessibleName(QStringLiteral("Recent servers"));
    connect(m_serverCompleter, qOverload<const QModelIndex &>(&QCompleter::activated), this,
            [this](const QModelIndex &index) {
                m_ip->setText(index.data(HostRole).toString());
                m_port->setText(QString::number(index.data(PortRole).toInt()));
            });
    fillServers();

    m_console->installEventFilter(this);
    m_admin->installEventFilter(this);
    m_ip->installEventFilter(this);
    const QString historyHelp = QStringLiteral("Up and Down step through the commands sent.");
    m_console->setToolTip(historyHelp + QStringLiteral(" Tab completes a command name."));
    m_admin->setToolTip(historyHelp);
    m_ip->setToolTip(QStringLiteral("Down lists the servers last connected to."));
}

ConsoleComforts::~ConsoleComforts() {
    flush();
}

void ConsoleComforts::flush() {
    m_consoleHistory->flush();
    m_adminHistory->flush();
    m_completion->flush();
}

void ConsoleComforts::consoleCommandSent(const QString &command) {
    m_consoleHistory->add(command);
}

void ConsoleComforts::adminCommandSent(const QString &command) {
    m_adminHistory->add(command);
}

void ConsoleComforts::serverConfirmed(const QString &host, int port) {
    m_recent->add(host, port);
    fillServers();
    m_completion->setServer(RecentServers::display({host.trimmed(), port}));
}

void ConsoleComforts::replyShown(const QString &reply) {
    m_completion->learnFromReply(reply);
}

void ConsoleComforts::fillServers() {
    m_serverModel->clear();
    for (const RecentServers::Server &server : m_recent->servers()) {
        auto *item = new QStandardItem(RecentServers::display(server));
        item->setData(server.host, HostRole);
        item->setData(server.port, PortRole);
        item->setEditable(false);
        m_serverModel->appendRow(item);
    }
}

bool ConsoleComforts::stepHistory(QLineEdit *line, CommandHistory &history, int key) {
    const std::optional<QString> text =
        key == Qt::Key_Up ? history.older(line->text()) : history.newer();
    if (text) {
        line->setText(*text);
        line->end(false);
    }
    return true;
}

bool ConsoleComforts::eventFilter(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return QObject::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const bool upOrDown = key->key() == Qt::Key_Up || key->key() == Qt::Key_Down;

    if (watched == m_commandCompleter->popup() && type == QEvent::KeyPress) {
        QAbstractItemView *list = m_commandCompleter->popup();
        if (key->key() == Qt::Key_Tab && !list->currentIndex().isValid() &&
            m_commandCompleter->completionCount() > 0)
            list->setCurrentIndex(m_commandCompleter->completionModel()->index(0, 0));
        // Enter takes the chosen name into the line; it does not send the line.
        if (isEnter(key) && list->currentIndex().isValid())
            m_swallowEnterRelease = true;
        return false;
    }
    if (watched == m_console) {
        if (type == QEvent::KeyRelease && isEnter(key) && m_swallowEnterRelease) {
            m_swallowEnterRelease = false;
            return true;
        }
        if (type == QEvent::KeyPress) {
            m_swallowEnterRelease = false;
            if (plain && upOrDown)
                return stepHistory(m_console, *m_consoleHistory, key->key());
        }
    } else if (watched == m_admin && type == QEvent::KeyPress && plain && upOrDown) {
        return stepHistory(m_admin, *m_adminHistory, key->key());
    } else if (watched == m_ip && type == QEvent::KeyPress && plain && key->key() == Qt::Key_Down &&
               !m_serverCompleter->popup()->isVisible() && m_serverModel->rowCount() > 0) {
        m_serverCompleter->setCompletionPrefix(m_ip->text());
        m_serverCompleter->complete();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
