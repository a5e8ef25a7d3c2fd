#include "rcon/shell/program.h"

#include "rcon/shell/controlhost.h"
#include "rcon/shell/platform.h"

#include <QCloseEvent>
#include <QWidget>

namespace {
// Closing the main window ends the program, as its Exit button does.
class PlainMainWindow final : public QWidget {
public:
    explicit PlainMainWindow(Program &program)
        : m_program(program) {
        setWindowTitle(QStringLiteral("Talvero"));
        resize(420, 300);
    }

protected:
    void closeEvent(QCloseEvent *event) override {
        event->accept();
        m_program.ExitProgram();
    }

private:
    Program &m_program;
};
} // namespace

Program::Program(QString programDir, QString optionsFile, Platform &platform, QObject *parent)
    : QObject(parent)
    , m_programDir(std::move(programDir))
    , m_optionsFile(std::move(optionsFile))
    , m_platform(platform)
    , m_controls(std::make_unique<ControlHost>(m_programDir, platform)) {}

Program::~Program() {
    delete m_mainWindow;
}

QString Program::filePath(const QString &fileName) const {
    return m_programDir + QLatin1Char('/') + fileName;
}

void Program::playSound(const QString &fileName) const {
    m_platform.playSound(filePath(fileName));
}

QWidget *Program::mainWindow() {
    if (!m_mainWindow) {
        m_mainWindow = new PlainMainWindow(*this);
        m_mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    return m_mainWindow;
}

void Program::ExitProgram() {
    // Unloading the main window runs its close handler, which comes back here.
    if (m_exiting)
        return;
    m_exiting = true;
    playSound(QStringLiteral("1284.wav"));
    if (m_mainWindow)
        m_mainWindow->close();
    m_platform.exitProcess(0);
}
