#include "pluginlibrary.h"

#include "plugin/componentinfo.h"

#include <dlfcn.h>

namespace testing_support {

PluginLibrary::PluginLibrary(const QString& path)
{
    handle = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        error = QString::fromLocal8Bit(dlerror());
        return;
    }
    infoFn = reinterpret_cast<const krt::PluginInfo* (*)()>(dlsym(handle, "pluginfo"));
    initFn = reinterpret_cast<void (*)(krt::IHostApi*)>(dlsym(handle, "pluginit"));
    if (!infoFn || !initFn) {
        error = QStringLiteral("pluginfo or pluginit missing");
        dlclose(handle);
        handle = nullptr;
    }
}

PluginLibrary::~PluginLibrary()
{
    if (!handle)
        return;
    initFn(nullptr);
    dlclose(handle);
}

const krt::PluginInfo* PluginLibrary::pluginfo() const
{
    return infoFn();
}

void PluginLibrary::pluginit(krt::IHostApi* host) const
{
    initFn(host);
}

const krt::ComponentInfo& PluginLibrary::component() const
{
    return *infoFn()->components[0];
}

bool PluginLibrary::isResident(const QString& path)
{
    void* probe = dlopen(path.toLocal8Bit().constData(), RTLD_LAZY | RTLD_NOLOAD);
    if (probe)
        dlclose(probe);
    return probe != nullptr;
}

} // namespace testing_support
