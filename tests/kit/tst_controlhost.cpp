// The program creates its controls by class name from the libraries in its folder.
#include "rcon/kit/controlhost.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/programfolder.h"

#include <QFile>
#include <QMetaMethod>
#include <QTest>
#include <QWidget>

class TestControlHost : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void createsBothControlsByClassName();
    void missingLibraryNamesTheFile();
    void libraryThatIsNoControlLibraryIsRefused();
    void unknownClassIsRefused();
};

void TestControlHost::createsBothControlsByClassName() {
    ProgramFolder folder;
    FakePlatform platform;
    ControlHost host(folder.path(), platform);
    QWidget parent;

    QWidget *ini = host.create(QStringLiteral("Quirebox.INITool"), &parent);
    QVERIFY(ini);
    QCOMPARE(ini->parent(), &parent);
    QVERIFY(ini->metaObject()->indexOfMethod("GetFromINI(QString,QString,QString)") >= 0);

    QWidget *timer = host.create(QStringLiteral("Dawdle.Tarrywatch"), &parent);
    QVERIFY(timer);
    QVERIFY(timer->metaObject()->indexOfProperty("Interval") >= 0);
    QVERIFY(timer->metaObject()->indexOfSignal("Timer()") >= 0);

    // A second creation from the same library gives a second, independent control.
    QWidget *timer2 = host.create(QStringLiteral("Dawdle.Tarrywatch"), &parent);
    QVERIFY(timer2 && timer2 != timer);
    QVERIFY(platform.boxes.isEmpty());
}

void TestControlHost::missingLibraryNamesTheFile() {
    ProgramFolder folder;
    QVERIFY(QFile::remove(folder.filePath(QStringLiteral("libhook.so"))));
    FakePlatform platform;
    ControlHost host(folder.path(), platform);

    QCOMPARE(host.create(QStringLiteral("Dawdle.Tarrywatch"), nullptr), nullptr);
    QCOMPARE(platform.boxes.size(), 1);
    QCOMPARE(platform.boxes[0].icon, Platform::Icon::Critical);
    QVERIFY(platform.boxes[0].text.contains(folder.filePath(QStringLiteral("libhook.so"))));
    QVERIFY(platform.boxes[0].text.contains(QStringLiteral("missing")));
}

void TestControlHost::libraryThatIsNoControlLibraryIsRefused() {
    ProgramFolder folder;
    QVERIFY(QFile::remove(folder.filePath(QStringLiteral("libecho.so"))));
    folder.writeFile(QStringLiteral("libecho.so"), "this is not a shared library\n");
    FakePlatform platform;
    ControlHost host(folder.path(), platform);

    QCOMPARE(host.create(QStringLiteral("Quirebox.INITool"), nullptr), nullptr);
    QCOMPARE(platform.boxes.size(), 1);
    QVERIFY(platform.boxes[0].text.contains(folder.filePath(QStringLiteral("libecho.so"))));

    // A real library in the wrong place: the hook library under the echo name.
    QVERIFY(QFile::remove(folder.filePath(QStringLiteral("libecho.so"))));
    QVERIFY(QFile::link(ProgramFolder::builtProgramDir() + QStringLiteral("/libhook.so"),
                        folder.filePath(QStringLiteral("libecho.so"))));
    ControlHost host2(folder.path(), platform);
    QCOMPARE(host2.create(QStringLiteral("Quirebox.INITool"), nullptr), nullptr);
    QCOMPARE(platform.boxes.size(), 2);
    QVERIFY(platform.boxes[1].text.contains(QStringLiteral("not a valid control library")));
}

void TestControlHost::unknownClassIsRefused() {
    ProgramFolder folder;
    FakePlatform platform;
    ControlHost host(folder.path(), platform);
    QCOMPARE(host.create(QStringLiteral("Nobody.Nothing"), nullptr), nullptr);
    QCOMPARE(platform.boxes.size(), 1);
    QCOMPARE(platform.boxes[0].icon, Platform::Icon::Critical);
}

QTEST_MAIN(TestControlHost)
#include "tst_controlhost.moc"
