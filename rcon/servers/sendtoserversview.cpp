#include "rcon/servers/sendtoserversview.h"

#include "common/savefile.h"
#include "rcon/kit/buttonfactory.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/placekeeper.h"
#include "rcon/kit/platform.h"
#include "rcon/kit/programicon.h"
#include "rcon/xpbutton/xpbutton.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { Server, Address, Outcome, Reply, ColumnCount };

QString firstLine(const QString &text) {
    const qsizetype end = text.indexOf(QLatin1Char('\n'));
    return end < 0 ? text : text.left(end) + QStringLiteral(" …");
}

QString serversText(int count) {
    return count == 1 ? QStringLiteral("1 server") : QStringLiteral("%1 servers").arg(count);
}

} // namespace

SendToServersView::SendToServersView(Platform &platform, const ButtonFactory &buttons,
                                     PasswordKeyring &keyring, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_platform(platform)
    , m_command(keyring)
    , m_targetsLabel(new QLabel(this))
    , m_commandLine(new QLineEdit(this))
    , m_send(buttons.create(this, QStringLiteral("CmdSend"), QStringLiteral("&Send")))
    , m_results(new QTableWidget(0, ColumnCount, this))
    , m_reply(new QPlainTextEdit(this))
    , m_copy(buttons.create(this, QStringLiteral("CmdCopy"), QStringLiteral("&Copy")))
    , m_save(buttons.create(this, QStringLiteral("CmdSave"), QStringLiteral("Sa&ve...")))
    , m_status(new QLabel(this)) {
    setObjectName(QStringLiteral("frmSendToServers"));
    setWindowTitle(QStringLiteral("Send to Servers"));
    setWindowIcon(talvero::programIcon());
    setFont(talvero::tahoma(8.25));
    new PlaceKeeper(this);

    m_chooseSaveFile = [](QWidget *owner, const QString &suggested) {
        return QFileDialog::getSaveFileName(owner, QStringLiteral("Save the Replies"), suggested,
                                            QStringLiteral("Text files (*.txt);;All files (*)"));
    };

    m_targetsLabel->setObjectName(QStringLiteral("LblTargets"));
    m_targetsLabel->setTextFormat(Qt::PlainText);
    m_targetsLabel->setWordWrap(true);
    m_commandLine->setObjectName(QStringLiteral("TxtCommand"));
    m_commandLine->setAccessibleName(QStringLiteral("Command"));
    m_results->setObjectName(QStringLiteral("TblResults"));
    m_results->setAccessibleName(QStringLiteral("Replies"));
    m_results->setHorizontalHeaderLabels({QStringLiteral("Server"), QStringLiteral("Address"),
                                          QStringLiteral("Outcome"), QStringLiteral("Reply")});
    m_results->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_results->setSelectionMode(QAbstractItemView::SingleSelection);
    m_results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_results->setWordWrap(false);
    m_results->verticalHeader()->hide();
    m_results->horizontalHeader()->setStretchLastSection(true);
    m_results->setColumnWidth(Server, 180);
    m_results->setColumnWidth(Address, 140);
    m_results->setColumnWidth(Outcome, 80);
    m_reply->setObjectName(QStringLiteral("TxtReply"));
    m_reply->setAccessibleName(QStringLiteral("Reply of the selected server"));
    m_reply->setReadOnly(true);
    m_reply->setFont(talvero::consoleFont());
    m_status->setObjectName(QStringLiteral("LblStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setAccessibleName(QStringLiteral("Status"));
    for (XpButton *button : {m_send, m_copy, m_save}) {
        button->ButtonStyle(2);
        button->fitCaption();
    }

    auto *commandRow = new QHBoxLayout;
    auto *commandLabel = new QLabel(QStringLiteral("Co&mmand:"), this);
    commandLabel->setBuddy(m_commandLine);
    commandRow->addWidget(commandLabel);
    commandRow->addWidget(m_commandLine, 1);
    commandRow->addWidget(m_send);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("SplReplies"));
    split->addWidget(m_results);
    split->addWidget(m_reply);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_status, 1);
    buttonRow->addWidget(m_copy);
    buttonRow->addWidget(m_save);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_targetsLabel);
    layout->addLayout(commandRow);
    layout->addWidget(split, 1);
    layout->addLayout(buttonRow);
    resize(720, 460);

    auto *copyAction = new QAction(this);
    copyAction->setObjectName(QStringLiteral("ActCopy"));
    copyAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    addAction(copyAction);
    auto *saveAction = new QAction(this);
    saveAction->setObjectName(QStringLiteral("ActSave"));
    saveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    addAction(saveAction);

    connect(m_commandLine, &QLineEdit::returnPressed, this, &SendToServersView::send);
    connect(m_commandLine, &QLineEdit::textChanged, this, &SendToServersView::updateActions);
    connect(m_send, &XpButton::Click, this, &SendToServersView::send);
    connect(m_copy, &XpButton::Click, this, &SendToServersView::copy);
    connect(m_save, &XpButton::Click, this, &SendToServersView::save);
    // The command line and the reply take Ctrl+C themselves, for what is selected in them.
    connect(copyAction, &QAction::triggered, this, &SendToServersView::copy);
    connect(saveAction, &QAction::triggered, this, &SendToServersView::save);
    connect(m_results, &QTableWidget::itemSelectionChanged, this, &SendToServersView::showReply);
    connect(&m_command, &MultiServerCommand::resultChanged, this, &SendToServersView::showResult);
    connect(&m_command, &MultiServerCommand::finished, this, &SendToServersView::showFinished);
    updateActions();
}

void SendToServersView::setTargets(const QList<MultiServerCommand::Target> &targets) {
    if (m_command.isRunning())
        return;
    m_targets = targets;
    QStringList names;
    for (const MultiServerCommand::Target &target : targets)
        names.append(target.name);
    m_targetsLabel->setText(
        QStringLiteral("To %1: %2")
            .arg(serversText(int(targets.size())), names.join(QStringLiteral(", "))));
    updateActions();
}

void SendToServersView::send() {
    if (m_command.isRunning() || m_targets.isEmpty())
        return;
    const QString command = m_commandLine->text().trimmed();
    const QString problem = MultiServerCommand::commandProblem(command);
    if (!problem.isEmpty()) {
        m_status->setText(problem);
        return;
    }
    if (m_targets.size() > 1 &&
        m_platform.messageBox(
            this, Platform::Icon::Information, Platform::Buttons::YesNo,
            QStringLiteral("Send '%1' to %2?").arg(command, serversText(int(m_targets.size())))) !=
            Platform::Answer::Yes)
        return;
    if (!m_command.start(command, m_targets))
        return;
    m_results->clearContents();
    m_results->setRowCount(int(m_targets.size()));
    for (int index = 0; index < m_targets.size(); ++index)
        showResult(index);
    m_status->setText(
        QStringLiteral("Sending '%1' to %2...").arg(command, serversText(int(m_targets.size()))));
    updateActions();
}

void SendToServersView::showResult(int index) {
    const MultiServerCommand::Result &result = m_command.results().at(index);
    const QString cells[ColumnCount] = {
        result.target.name,
        result.target.address.key(),
        MultiServerCommand::outcomeText(result.outcome),
        result.outcome == MultiServerCommand::Outcome::Answered && result.text.isEmpty()
            ? QStringLiteral("(no output)")
            : firstLine(result.text),
    };
    for (int column = 0; column < ColumnCount; ++column) {
        QTableWidgetItem *item = m_results->item(index, column);
        if (!item) {
            item = new QTableWidgetItem;
            m_results->setItem(index, column, item);
        }
        item->setText(cells[column]);
        item->setToolTip(column == Reply ? result.text : QString());
    }
    if (m_results->currentRow() == index)
        showReply();
}

void SendToServersView::showFinished() {
    QMap<MultiServerCommand::Outcome, int> counts;
    for (const MultiServerCommand::Result &result : m_command.results())
        ++counts[result.outcome];
    QStringList parts;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        parts.append(
            QStringLiteral("%1 %2").arg(it.value()).arg(MultiServerCommand::outcomeText(it.key())));
    m_status->setText(QStringLiteral("Done: ") + parts.join(QStringLiteral(", ")) +
                      QLatin1Char('.'));
    updateActions();
}

void SendToServersView::showReply() {
    const int row = m_results->currentRow();
    if (row < 0 || row >= m_command.results().size()) {
        m_reply->clear();
        return;
    }
    m_reply->setPlainText(m_command.results().at(row).text);
}

QString SendToServersView::resultsText() const {
    QString text = QStringLiteral("Command: %1\n").arg(m_command.command());
    for (const MultiServerCommand::Result &result : m_command.results()) {
        text += QStringLiteral("\n=== %1 (%2): %3 ===\n")
                    .arg(result.target.name, result.target.address.key(),
                         MultiServerCommand::outcomeText(result.outcome));
        if (!result.text.isEmpty())
            text += result.text + QLatin1Char('\n');
    }
    return text;
}

void SendToServersView::copy() {
    if (m_command.results().isEmpty())
        return;
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(resultsText());
    m_status->setText(QStringLiteral("The replies were copied."));
}

void SendToServersView::save() {
    if (m_command.results().isEmpty())
        return;
    const QString path =
        m_chooseSaveFile(this, QDir::home().filePath(QStringLiteral("talvero-replies.txt")));
    if (path.isEmpty())
        return;
    QString error;
    if (talvero::saveFileAtomically(path, resultsText().toUtf8(),
                                    talvero::SavePermissions::OwnerOnly, &error))
        m_status->setText(QStringLiteral("The replies were saved to %1.").arg(path));
    else
        m_status->setText(QStringLiteral("The replies could not be saved: %1").arg(error));
}

void SendToServersView::updateActions() {
    const bool running = m_command.isRunning();
    m_send->setEnabled(!running && !m_targets.isEmpty() &&
                       !m_commandLine->text().trimmed().isEmpty());
    m_commandLine->setReadOnly(running);
    const bool results = !m_command.results().isEmpty();
    m_copy->setEnabled(results);
    m_save->setEnabled(results);
}
