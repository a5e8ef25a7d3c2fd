#include "rcon/kit/controlhost.h"

#include "rcon/kit/controlfactory.h"
#include "rcon/kit/platform.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QMetaObject>
#include <QPluginLoader>
#include <QWidget>

namespace {
// The installed control classes and the library that holds each.
QString libraryNameFor(const QString &className) {
    if (className.compare(QLatin1String("Quirebox.INITool"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("echo");
    if (className.compare(QLatin1String("Dawdle.Tarrywatch"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("hook");
    return {};
}
} // namespace

ControlHost::ControlHost(QString programDir, Platform &platform)
    : m_programDir(std::move(programDir))
    , m_platform(platform) {}

ControlHost::~ControlHost() {
    // Controls may still be alive in windows that outlive the host, so libraries stay loaded.
    qDeleteAll(m_loaders);
}

QString ControlHost::libraryPath(const QString &className) const {
    const QString name = libraryNameFor(className);
    if (name.isEmpty())
        return {};
    return m_programDir + QStringLiteral("/lib") + name + QStringLiteral(".so");
}

QWidget *ControlHost::create(const QString &className, QWidget *parent,
                             const QVariantMap &properties) {
    const QString path = libraryPath(className);
    auto fail = [&](const QString &why) -> QWidget * {
        m_platform.messageBox(parent, Platform::Icon::Critical, Platform::Buttons::Ok,
                              QStringLiteral("Talvero cannot create the control %1.\n%2\n"
                                             "Please reinstall Talvero.")
                                  .arg(className, why));
        return nullptr;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("No installed control library holds this class."));
    if (!QFileInfo::exists(path))
        return fail(QStringLiteral("The control library %1 is missing.").arg(path));

    QPluginLoader *&loader = m_loaders[path];
    if (!loader)
        loader = new QPluginLoader(path);
    const QJsonArray classes = loader->metaData()
                                   .value(QLatin1String("MetaData"))
                                   .toObject()
                                   .value(QLatin1String("ClassNames"))
                                   .toArray();
    if (!classes.contains(QJsonValue(className)))
        return fail(QStringLiteral("%1 is not a valid control library for this class.").arg(path));
    auto *factory = qobject_cast<ControlFactory *>(loader->instance());
    if (!factory)
        return fail(QStringLiteral("%1 is not a valid control library: %2")
                        .arg(path, loader->errorString()));
    QWidget *control = factory->createControl(className, parent);
    if (!control)
        return fail(QStringLiteral("%1 could not create the control.").arg(path));
    if (control->metaObject()->indexOfMethod("ReadProperties(QVariantMap,bool)") >= 0)
        QMetaObject::invokeMethod(control, "ReadProperties", Q_ARG(QVariantMap, properties),
                                  Q_ARG(bool, true));
    return control;
}
