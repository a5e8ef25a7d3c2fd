#include "about/aboutlauncher.h"

#include "rcon/kit/platform.h"
#include "rcon/protocol/website.h"

#include <QCoreApplication>

int launchWebsite(Platform &platform) {
    platform.openUrl(QUrl(QString::fromLatin1(talvero::WebsiteAddress)));
    QCoreApplication::processEvents();
    return 0;
}
