// The INI control as the program meets it: created by class name from the library in the
// program folder and called late-bound, by member name, never through its header.
#include "rcon/kit/controlhost.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMetaClassInfo>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {
// A late-bound call of a member that takes text arguments and gives no result.
template <typename... Text> bool call(QObject *control, const char *member, const Text &...args) {
    return QMetaObject::invokeMethod(control, member, Q_ARG(QString, args)...);
}

// A late-bound call of a member that gives text.
template <typename... Text> QString ask(QObject *control, const char *member, const Text &...args) {
    QString result;
    if (!QMetaObject::invokeMethod(control, member, Q_RETURN_ARG(QString, result),
                                   Q_ARG(QString, args)...))
        return u"<call failed>"_s;
    return result;
}

QString classInfo(const QObject *control, const char *name) {
    const QMetaObject *meta = control->metaObject();
    const int index = meta->indexOfClassInfo(name);
    return index < 0 ? QString() : QString::fromLatin1(meta->classInfo(index).value());
}
} // namespace

class TestINITool : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void controlCarriesItsDispatchContract();
    void programReadsAndWritesSettingsThroughTheControl();
    void otherHostsReadAndWriteWholeSections();
    void imageCoversTheWholeControl();
    void aboutBoxIsModalAndReturnsWhenClosed();

private:
    ProgramFolder *m_folder = nullptr;
    FakePlatform *m_platform = nullptr;
    ControlHost *m_host = nullptr;
    QWidget *m_window = nullptr;
    QWidget *m_control = nullptr;
};

void TestINITool::init() {
    m_folder = new ProgramFolder;
    m_platform = new FakePlatform;
    m_host = new ControlHost(m_folder->path(), *m_platform);
    m_window = new QWidget;
    m_control = m_host->create(u"Quirebox.INITool"_s, m_window);
    QVERIFY(m_control);
}

void TestINITool::cleanup() {
    delete m_window;
    delete m_host;
    delete m_platform;
    delete m_folder;
}

void TestINITool::controlCarriesItsDispatchContract() {
    QCOMPARE(classInfo(m_control, "ProgId"), u"Quirebox.INITool"_s);
    QCOMPARE(classInfo(m_control, "DispId.GetFromINI"), u"0x60030000"_s);
    QCOMPARE(classInfo(m_control, "DispId.WriteToINI"), u"0x60030001"_s);
    QCOMPARE(classInfo(m_control, "DispId.WriteToINISection"), u"0x60030002"_s);
    QCOMPARE(classInfo(m_control, "DispId.GetINISection"), u"0x60030003"_s);
    QCOMPARE(classInfo(m_control, "DispId.AboutBox"), u"-552"_s);

    const QMetaObject *meta = m_control->metaObject();
    const QList<QPair<const char *, QByteArrayList>> members = {
        {"GetFromINI(QString,QString,QString)", {"SectionName", "KeyName", "FileName"}},
        {"WriteToINI(QString,QString,QString,QString)",
         {"Text", "SectionName", "KeyName", "FileName"}},
        {"WriteToINISection(QString,QString,QString)", {"Text", "KeyName", "FileName"}},
        {"GetINISection(QString,QString)", {"SectionName", "FileName"}},
        {"AboutBox()", {}},
    };
    for (const auto &[signature, arguments] : members) {
        const int index = meta->indexOfMethod(signature);
        QVERIFY2(index >= 0, signature);
        QCOMPARE(meta->method(index).parameterNames(), arguments);
    }
    QVERIFY(m_platform->boxes.isEmpty());
}

void TestINITool::programReadsAndWritesSettingsThroughTheControl() {
    const QString ini = m_folder->filePath(u"talvero.ini"_s);
    QVERIFY(call(m_control, "WriteToINI", u"10.1.1.1"_s, u"AutoIP"_s, u"IP"_s, ini));
    QCOMPARE(ask(m_control, "GetFromINI", u"autoip"_s, u"ip"_s, ini), u"10.1.1.1"_s);

    // Clearing a command keeps the key, so the load-time check still finds it.
    QVERIFY(call(m_control, "WriteToINI", QString(), u"AutoRcon"_s, u"Rcon2"_s, ini));
    QCOMPARE(ask(m_control, "GetFromINI", u"AutoRcon"_s, u"Rcon2"_s, ini), QString(""));
    QCOMPARE(ask(m_control, "GetFromINI", u"AutoRcon"_s, u"Rcon3"_s, ini), u"[NOT FOUND]"_s);
    const QString gone = m_folder->filePath(u"gone.ini"_s);
    QCOMPARE(ask(m_control, "GetFromINI", u"AutoRcon"_s, u"Rcon"_s, gone), u"[NOT FOUND]"_s);

    const QString longCommand = QString(300, QLatin1Char('c'));
    QVERIFY(call(m_control, "WriteToINI", longCommand, u"AutoRcon"_s, u"Rcon"_s, ini));
    QCOMPARE(ask(m_control, "GetFromINI", u"autorcon"_s, u"rcon"_s, ini), longCommand.left(253));
}

void TestINITool::otherHostsReadAndWriteWholeSections() {
    const QString ini = m_folder->filePath(u"other.ini"_s);
    const QString block = QString::fromLatin1("a=1\0b=\0\0", 8);
    QVERIFY(call(m_control, "WriteToINISection", block, u"Pairs"_s, ini));
    QCOMPARE(ask(m_control, "GetINISection", u"pairs"_s, ini), block.chopped(1));
    QCOMPARE(ask(m_control, "GetFromINI", u"Pairs"_s, u"b"_s, ini), QString(""));
    QCOMPARE(ask(m_control, "GetINISection", u"Missing"_s, ini), QString());
}

void TestINITool::imageCoversTheWholeControl() {
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    auto *image = m_control->findChild<QLabel *>(u"Image1"_s);
    QVERIFY(image);
    QVERIFY(!image->pixmap().isNull());
    for (const QSize size : {QSize(120, 45), QSize(16, 16), QSize(32, 32)}) {
        m_control->resize(size);
        QCOMPARE(image->geometry(), QRect(QPoint(0, 0), size));
    }
    QCOMPARE(image->pixmap().size(), QSize(32, 32));
    m_control->resize(16, 16);
    QCOMPARE(image->pixmap().size(), QSize(16, 16));
}

void TestINITool::aboutBoxIsModalAndReturnsWhenClosed() {
    QString title;
    QString text;
    bool closedByOk = false;
    // The box blocks the call, so it is answered from the event loop it runs.
    QTimer closer;
    closer.setInterval(5);
    connect(&closer, &QTimer::timeout, this, [&] {
        QWidget *box = QApplication::activeModalWidget();
        if (!box)
            return;
        closer.stop();
        title = box->windowTitle();
        if (auto *label = box->findChild<QLabel *>(u"AboutText"_s))
            text = label->text();
        auto *buttons = box->findChild<QDialogButtonBox *>();
        QPushButton *ok = buttons ? buttons->button(QDialogButtonBox::Ok) : nullptr;
        if (!ok) {
            box->close();
            return;
        }
        QTest::mouseClick(ok, Qt::LeftButton);
        closedByOk = true;
    });
    closer.start();
    QVERIFY(QMetaObject::invokeMethod(m_control, "AboutBox"));
    QVERIFY(!closer.isActive());
    QVERIFY(closedByOk);
    QCOMPARE(title, u"About INITool"_s);
    QVERIFY(text.contains(u"INITool"_s));
    QVERIFY(text.contains(u"version "_s));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

QTEST_MAIN(TestINITool)
#include "tst_initool.moc"
