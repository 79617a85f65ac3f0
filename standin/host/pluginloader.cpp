#include "pluginloader.h"

#include "elfident.h"
#include "host/componentinfo.h"
#include "host/imessage.h"
#include "host/imessagehandler.h"
#include "message/messagehandler.h"
#include "standinhost.h"

#include <dlfcn.h>

namespace Standin {

namespace {
using PluginInitFn = void (*)(krt::IHostApi*);
using PluginInfoFn = const krt::PluginInfo* (*)();
} // namespace

PluginLoader::PluginLoader(StandinHost& host)
    : host(host)
{
}

PluginLoader::~PluginLoader()
{
    unload();
}

bool PluginLoader::fail(const QString& reason)
{
    error = reason;
    unload();
    return false;
}

bool PluginLoader::load(const QString& path)
{
    unload();
    error.clear();
    // A plug-in of the wrong architecture gets a reason that says so.
    if (const QString mismatch = elfMismatch(path); !mismatch.isEmpty())
        return fail(QStringLiteral("cannot load plug-in: %1").arg(mismatch));
    library = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return fail(QStringLiteral("cannot load plug-in: %1").arg(QString::fromLocal8Bit(dlerror())));
    auto init = reinterpret_cast<PluginInitFn>(dlsym(library, "pluginit"));
    auto describe = reinterpret_cast<PluginInfoFn>(dlsym(library, "pluginfo"));
    if (!init || !describe)
        return fail(QStringLiteral("not a host plug-in (pluginit/pluginfo missing): %1").arg(path));
    init(&host);
    pluginInfo = describe();
    if (!pluginInfo || !pluginInfo->components || !pluginInfo->components[0])
        return fail(QStringLiteral("plug-in lists no component: %1").arg(path));
    record = pluginInfo->components[0];
    object = record->creator ? record->creator() : nullptr;
    if (!object)
        return fail(QStringLiteral("plug-in could not create its component: %1").arg(path));
    messageHandler = record->getMessageHandler(object);
    host.attach(componentName().toStdString(), messageHandler);
    return true;
}

void PluginLoader::initialise()
{
    if (messageHandler)
        host.deliver(componentName().toStdString(), krt::MessageTypeEvent, LCD::Message::MsgInitialize);
}

QString PluginLoader::componentName() const
{
    return pluginInfo && pluginInfo->name ? QString::fromUtf8(pluginInfo->name) : QString();
}

void PluginLoader::unload()
{
    if (object) {
        host.detach(componentName().toStdString());
        record->deletor(object);
    }
    object = nullptr;
    messageHandler = nullptr;
    record = nullptr;
    pluginInfo = nullptr;
    if (library)
        dlclose(library);
    library = nullptr;
}

} // namespace Standin
