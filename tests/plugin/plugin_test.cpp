// The plug-in as the host sees it: its file, its two entry points and
// records, the registrations of its component, and its load/unload cycle.
#include "host/componentinfo.h"
#include "message/messagehandler.h"
#include "standin/host/pluginloader.h"
#include "standin/host/standinhost.h"
#include "testing/hostfixture.h"
#include "upgrade/upgradeids.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <tuple>

namespace {

using testing_support::pluginPath;

// ---- the file ---------------------------------------------------------------------

template <typename T> T readAt(const QByteArray& image, uint64_t offset)
{
    T value{};
    if (offset <= uint64_t(image.size()) && sizeof value <= uint64_t(image.size()) - offset)
        std::memcpy(&value, image.constData() + offset, sizeof value);
    else
        ADD_FAILURE() << "read past the end of the file at " << offset;
    return value;
}

// What a dynamic linker sees in a 64-bit little-endian ELF shared object: the
// symbols it defines for others and its SONAME, read from the file alone.
TEST(PluginFile, ExportsExactlyPluginfoAndPluginitUnderItsSoname)
{
    QFile file(pluginPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray image = file.readAll();
    const auto header = readAt<Elf64_Ehdr>(image, 0);
    ASSERT_EQ(std::memcmp(header.e_ident, ELFMAG "\x02\x01", SELFMAG + 2), 0) << "64-bit little-endian ELF";
    const auto section = [&](uint32_t index) {
        return readAt<Elf64_Shdr>(image, header.e_shoff + uint64_t(index) * header.e_shentsize);
    };
    // QByteArray ends with a zero, so a bad offset cannot read past the image.
    const auto text = [&](const Elf64_Shdr& strings, uint64_t offset) {
        return strings.sh_offset + offset < uint64_t(image.size())
            ? QString::fromLatin1(image.constData() + strings.sh_offset + offset)
            : QString();
    };
    QStringList exported;
    QString soname;
    for (uint32_t i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr table = section(i);
        const uint64_t end = table.sh_offset + table.sh_size;
        if (table.sh_type == SHT_DYNSYM) {
            // Entry 0 is the reserved null symbol.
            for (uint64_t at = table.sh_offset + sizeof(Elf64_Sym); at < end; at += sizeof(Elf64_Sym)) {
                const auto symbol = readAt<Elf64_Sym>(image, at);
                if (symbol.st_shndx != SHN_UNDEF && ELF64_ST_BIND(symbol.st_info) != STB_LOCAL)
                    exported << text(section(table.sh_link), symbol.st_name);
            }
        } else if (table.sh_type == SHT_DYNAMIC) {
            for (uint64_t at = table.sh_offset; at < end; at += sizeof(Elf64_Dyn)) {
                const auto entry = readAt<Elf64_Dyn>(image, at);
                if (entry.d_tag == DT_SONAME)
                    soname = text(section(table.sh_link), entry.d_un.d_val);
            }
        }
    }
    exported.sort();
    // Everything else stays hidden, so plug-ins of one host never bind to
    // each other's copies of shared code.
    EXPECT_EQ(exported.join(' ').toStdString(), "pluginfo pluginit");
    EXPECT_EQ(soname.toStdString(), "libupgradeviewmodel.so.1");
    EXPECT_TRUE(QFileInfo::exists(QFileInfo(pluginPath()).dir().filePath(soname)));
}

// ---- the entry points, called by hand in the test's own order ------------------

class PluginEntryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(handle) << dlerror();
        info = reinterpret_cast<const krt::PluginInfo* (*)()>(dlsym(handle, "pluginfo"));
        init = reinterpret_cast<void (*)(krt::IHostApi*)>(dlsym(handle, "pluginit"));
        ASSERT_TRUE(info && init);
    }

    // A null host before closing, so no component made later in the process
    // finds a host that is gone.
    void TearDown() override
    {
        if (init)
            init(nullptr);
        if (handle)
            dlclose(handle);
    }

    const krt::ComponentInfo& record() const { return *info()->components[0]; }

    const krt::IMessage* initialise(void* component)
    {
        const Standin::StandinMessage message(krt::MessageTypeEvent, LCD::Message::MsgInitialize, 0, nullptr,
                                              "host");
        return record().getMessageHandler(component)->handleMessage(&message);
    }

    void* handle = dlopen(pluginPath().toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    const krt::PluginInfo* (*info)() = nullptr;
    void (*init)(krt::IHostApi*) = nullptr;
};

TEST_F(PluginEntryTest, RecordsReadAsPublishedBeforeAndAfterPluginit)
{
    const krt::PluginInfo* before = info();
    Standin::StandinHost host;
    init(&host);
    const krt::PluginInfo* plugin = info();
    ASSERT_EQ(plugin, before);
    EXPECT_STREQ(plugin->apiVersion, "0.1");
    EXPECT_STREQ(plugin->name, "upgradeviewmodel");
    EXPECT_STREQ(plugin->version, "0.1.0");
    EXPECT_STREQ(plugin->description, "{\"desc\":\"upgrade view model plugin!\",\"end\":0 }");
    EXPECT_EQ(std::strlen(plugin->description), 46u);

    ASSERT_NE(plugin->components, nullptr);
    ASSERT_NE(plugin->components[0], nullptr);
    EXPECT_EQ(plugin->components[1], nullptr);
    const krt::ComponentInfo& component = *plugin->components[0];
    EXPECT_STREQ(component.componentId, "talvo.lcd.viewmodel.upgrade");
    EXPECT_STREQ(component.description, "{\"end\":0 }\r\n");
    EXPECT_EQ(std::strlen(component.description), 12u);
    ASSERT_TRUE(component.creator && component.deletor && component.getMessageHandler);
    component.deletor(nullptr);
}

// The component is its own message handler. Services are looked up once, at
// construction: a later pluginit changes where new components register, not
// where earlier ones do.
TEST_F(PluginEntryTest, SecondPluginitReplacesTheHostForLaterComponentsOnly)
{
    Standin::StandinHost first;
    Standin::StandinHost second;
    init(&first);
    void* early = record().creator();
    init(&second);
    void* late = record().creator();
    ASSERT_TRUE(early && late);
    EXPECT_EQ(static_cast<void*>(record().getMessageHandler(early)), early);

    EXPECT_EQ(initialise(early), nullptr);
    EXPECT_EQ(first.registrations().size(), 7u);
    EXPECT_TRUE(second.registrations().empty());
    initialise(late);
    EXPECT_EQ(first.registrations().size(), 7u);
    EXPECT_EQ(second.registrations().size(), 7u);
    record().deletor(late);
    record().deletor(early);
}

// ---- through the stand-in host's loader -----------------------------------------

// Each initialise registers the view model's handlers with the host again,
// one command and six events in this order.
TEST(ComponentRegistration, EveryInitialiseRegistersOneCommandAndSixEventsInOrder)
{
    using Key = std::tuple<bool, unsigned, std::string>; // command?, id, sender
    const std::vector<Key> once = {
        {false, 0xfc000006u, "upgradeviewmodel"}, {false, 0xfc0c0c08u, "upgradeviewmodel"},
        {false, 0xfc0c0c0du, "upgradeviewmodel"}, {true, 0xfc000029u, "upgradeviewmodel"},
        {false, 0xfc0c0c13u, "upgradeviewmodel"}, {false, 0xfc000010u, "upgradeviewmodel"},
        {false, 0xfc080003u, "upgradeviewmodel"},
    };
    Standin::StandinHost host;
    Standin::PluginLoader loader(host);
    ASSERT_TRUE(loader.load(pluginPath())) << loader.errorString().toStdString();
    std::vector<Key> expected;
    for (int round = 0; round < 3; ++round) {
        std::vector<Key> keys;
        for (const Standin::Registration& r : host.registrations())
            keys.emplace_back(r.command, static_cast<unsigned>(r.id), r.sender);
        EXPECT_EQ(keys, expected) << "after " << round << " initialise messages";
        loader.initialise();
        expected.insert(expected.end(), once.begin(), once.end());
    }
    loader.unload();
    EXPECT_TRUE(host.faults().empty());
    EXPECT_EQ(host.liveMessages(), 0);
}

// The host's whole life with the plug-in, several times over in one process:
// every round must leave nothing behind (the sanitizer build checks for
// leaks) and really unmap the library, so its load-time tables are rebuilt
// and released each time.
TEST(PluginLoadCycle, LoadCreateInitialiseDestroyUnloadRepeatedly)
{
    const QString path = pluginPath();
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        Standin::StandinHost host;
        Standin::DeviceStandin device(host);
        Standin::UiStandin ui(host);
        device.registerWithHost();
        ui.registerWithHost();
        Standin::PluginLoader loader(host);

        ASSERT_TRUE(loader.load(path)) << loader.errorString().toStdString();
        loader.initialise();
        ui.postEventRaw(Upgrade::MsgUpgradeFinished, {});
        ui.sendCommandRaw(Upgrade::MsgGetUpgradeFileInfo,
                          Standin::UiStandin::pathPayload("/nonexistent.bin"));
        loader.unload();

        void* resident = dlopen(path.toLocal8Bit().constData(), RTLD_LAZY | RTLD_NOLOAD);
        if (resident)
            dlclose(resident);
        EXPECT_FALSE(resident) << "library still mapped";
        EXPECT_TRUE(host.faults().empty());
        EXPECT_EQ(host.liveMessages(), 0);
    }
}

} // namespace
