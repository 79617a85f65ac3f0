#pragma once

#include <QString>

namespace krt {
class IMessageHandler;
struct ComponentInfo;
struct PluginInfo;
} // namespace krt

namespace Standin {

class StandinHost;

// Loads a plug-in the way the device's host framework does: dlopen,
// pluginit, pluginfo, walk the component table, creator, getMessageHandler,
// the initialise message; and back: deletor, dlclose.
class PluginLoader
{
public:
    explicit PluginLoader(StandinHost& host);
    ~PluginLoader();
    PluginLoader(const PluginLoader&) = delete;
    PluginLoader& operator=(const PluginLoader&) = delete;

    // Loads the library and creates its first component; false with a
    // one-line reason in errorString() otherwise.
    bool load(const QString& path);
    // Delivers the initialise message to the component.
    void initialise();
    // Destroys the component and unloads the library; harmless when not loaded.
    void unload();

    bool isLoaded() const { return library != nullptr; }
    QString errorString() const { return error; }
    const krt::PluginInfo* info() const { return pluginInfo; }
    const krt::ComponentInfo* componentInfo() const { return record; }
    void* componentObject() const { return object; }
    krt::IMessageHandler* handler() const { return messageHandler; }
    // Name the component's messages are routed under (the plug-in's name).
    QString componentName() const;

private:
    bool fail(const QString& reason);

    StandinHost& host;
    void* library = nullptr;
    const krt::PluginInfo* pluginInfo = nullptr;
    const krt::ComponentInfo* record = nullptr;
    void* object = nullptr;
    krt::IMessageHandler* messageHandler = nullptr;
    QString error;
};

} // namespace Standin
