#include "rcon/xpbutton/designer/xpbuttondesignerplugin.h"

#include "rcon/kit/fonts.h"
#include "rcon/xpbutton/designer/xpbuttontaskmenufactory.h"
#include "rcon/xpbutton/xpbutton.h"
#include "rcon/xpbutton/xpbuttonpictures.h"

#include <QIcon>
#include <QPixmap>
#include <QtDesigner/QDesignerFormEditorInterface>
#include <QtDesigner/QDesignerTaskMenuExtension>
#include <QtDesigner/QExtensionManager>

namespace {
// The style every window gives its buttons when it loads.
constexpr short WindowStyle = 2;
} // namespace

XpButtonDesignerPlugin::XpButtonDesignerPlugin(QObject *parent)
    : QObject(parent) {}

QString XpButtonDesignerPlugin::name() const {
    return QStringLiteral("XpButton");
}

QString XpButtonDesignerPlugin::group() const {
    return QStringLiteral("Talvero");
}

QString XpButtonDesignerPlugin::toolTip() const {
    return QStringLiteral("Talvero push button");
}

QString XpButtonDesignerPlugin::whatsThis() const {
    return QStringLiteral("The 73 x 21 pixel push button of every Talvero window. Its caption "
                          "is edited with Edit Caption... on its context menu.");
}

QString XpButtonDesignerPlugin::includeFile() const {
    return QStringLiteral("rcon/xpbutton/xpbutton.h");
}

QIcon XpButtonDesignerPlugin::icon() const {
    return QIcon(QPixmap::fromImage(
        XpButtonPictures::forStyle(WindowStyle)->picture(XpButton::State::Normal)));
}

bool XpButtonDesignerPlugin::isContainer() const {
    return false;
}

QWidget *XpButtonDesignerPlugin::createWidget(QWidget *parent) {
    auto *button = new XpButton(parent);
    button->ButtonStyle(WindowStyle);
    return button;
}

bool XpButtonDesignerPlugin::isInitialized() const {
    return m_initialized;
}

void XpButtonDesignerPlugin::initialize(QDesignerFormEditorInterface *core) {
    if (m_initialized)
        return;
    talvero::registerApplicationFonts();
    if (core) {
        QExtensionManager *manager = core->extensionManager();
        manager->registerExtensions(new XpButtonTaskMenuFactory(manager),
                                    Q_TYPEID(QDesignerTaskMenuExtension));
    }
    m_initialized = true;
}

QString XpButtonDesignerPlugin::domXml() const {
    return QStringLiteral("<ui language=\"c++\">\n"
                          " <widget class=\"XpButton\" name=\"CmdButton\">\n"
                          "  <property name=\"Caption\">\n"
                          "   <string>button</string>\n"
                          "  </property>\n"
                          " </widget>\n"
                          "</ui>\n");
}
