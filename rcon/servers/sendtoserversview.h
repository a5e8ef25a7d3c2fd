#pragma once

#include "rcon/servers/multiservercommand.h"

#include <QList>
#include <QWidget>

#include <functional>

class ButtonFactory;
class PasswordKeyring;
class Platform;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableWidget;
class XpButton;

// The Servers window's "Send to selected..." view: one command line sent to the servers chosen
// there, each over a session of its own, and each server's outcome as it comes (server,
// address, outcome: answered, refused, banned, no answer or skipped, and the reply or the
// reason). More than one server is asked for first. The results can be copied (Ctrl+C) or
// saved (Ctrl+S); they never reach the main output window or its log.
class SendToServersView final : public QWidget {
    Q_OBJECT
public:
    // Asks where to save the results; an empty answer saves nothing. Tests answer it themselves.
    using SaveFileChooser = std::function<QString(QWidget *parent, const QString &suggested)>;

    SendToServersView(Platform &platform, const ButtonFactory &buttons, PasswordKeyring &keyring,
                      QWidget *parent);

    // The servers the next command goes to; kept while a command is under way.
    void setTargets(const QList<MultiServerCommand::Target> &targets);
    void setSaveFileChooser(SaveFileChooser chooser) { m_chooseSaveFile = std::move(chooser); }
    MultiServerCommand &command() { return m_command; }

    // Sends the command line (Enter, Send), after asking when it goes to more than one server.
    void send();
    // All results as text, as copied and saved.
    QString resultsText() const;

private:
    void showResult(int index);
    void showFinished();
    void showReply();
    void copy();
    void save();
    void updateActions();

    Platform &m_platform;
    MultiServerCommand m_command;
    QList<MultiServerCommand::Target> m_targets;
    SaveFileChooser m_chooseSaveFile;

    QLabel *m_targetsLabel;
    QLineEdit *m_commandLine;
    XpButton *m_send;
    QTableWidget *m_results;
    QPlainTextEdit *m_reply;
    XpButton *m_copy;
    XpButton *m_save;
    QLabel *m_status;
};
