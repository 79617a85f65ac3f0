#pragma once

#include <QString>

namespace krt {
class IHostApi;
struct ComponentInfo;
struct PluginInfo;
} // namespace krt

namespace testing_support {

// The plug-in opened by hand, for tests that call its two entry points in
// their own order (the stand-in host's loader always runs pluginit first).
class PluginLibrary
{
public:
    explicit PluginLibrary(const QString& path);
    // Stores a null host before closing, so no component made later in the
    // process finds a host that is gone.
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool isOpen() const { return handle != nullptr; }
    QString errorString() const { return error; }

    const krt::PluginInfo* pluginfo() const;
    void pluginit(krt::IHostApi* host) const;
    // The first record of the component table.
    const krt::ComponentInfo& component() const;

    // Whether the library is mapped in this process right now.
    static bool isResident(const QString& path);

private:
    void* handle = nullptr;
    const krt::PluginInfo* (*infoFn)() = nullptr;
    void (*initFn)(krt::IHostApi*) = nullptr;
    QString error;
};

} // namespace testing_support
