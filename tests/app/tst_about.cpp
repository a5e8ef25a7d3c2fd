// The about program hands the website to the desktop and ends, silently when that fails.
#include "about/aboutlauncher.h"
#include "rcon/protocol/website.h"
#include "tests/support/fakeplatform.h"

#include <QTest>

class TestAbout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void opensTheWebsite() {
        FakePlatform platform;
        QCOMPARE(launchWebsite(platform), 0);
        QCOMPARE(platform.openedUrls,
                 QList<QUrl>{QUrl(QString::fromLatin1(talvero::WebsiteAddress))});
        QVERIFY(platform.boxes.isEmpty());
    }
    void failureIsSilent() {
        FakePlatform platform;
        platform.openUrlSucceeds = false;
        QCOMPARE(launchWebsite(platform), 0);
        QVERIFY(platform.boxes.isEmpty());
    }
    void twoStartsMakeTwoRequests() {
        FakePlatform platform;
        launchWebsite(platform);
        launchWebsite(platform);
        QCOMPARE(platform.openedUrls.size(), 2);
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
