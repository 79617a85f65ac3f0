#include "pluginlibrary.h"

#include "host/imessage.h"
#include "host/imessagehandler.h"
#include "message/messagehandler.h"
#include "plugin/componentinfo.h"
#include "standin/host/standinhost.h"
#include "standin/host/standinmessage.h"
#include "testing/hostfixture.h"
#include "testing/logcapture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using testing_support::LogCapture;
using testing_support::PluginLibrary;

// The plug-in loaded by hand: the tests choose when pluginit runs.
class PluginEntryTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(library.isOpen()) << library.errorString().toStdString(); }

    const krt::IMessage* initialise(void* component)
    {
        const Standin::StandinMessage message(krt::MessageTypeEvent, LCD::Message::MsgInitialize, 0, nullptr,
                                              "host");
        return library.component().getMessageHandler(component)->handleMessage(&message);
    }

    PluginLibrary library{testing_support::pluginPath()};
};

TEST_F(PluginEntryTest, DescriptionRecordReadsAsPublishedBeforeAndAfterPluginit)
{
    const krt::PluginInfo* before = library.pluginfo();
    Standin::StandinHost host;
    library.pluginit(&host);
    const krt::PluginInfo* info = library.pluginfo();

    ASSERT_EQ(info, before);
    EXPECT_STREQ(info->apiVersion, "0.1");
    EXPECT_STREQ(info->name, "upgradeviewmodel");
    EXPECT_STREQ(info->version, "0.1.0");
    EXPECT_STREQ(info->description, "{\"desc\":\"upgrade view model plugin!\",\"end\":0 }");
    EXPECT_EQ(std::strlen(info->description), 46u);
}

TEST_F(PluginEntryTest, ComponentTableHoldsOneRecordThenNull)
{
    const krt::ComponentInfo* const* table = library.pluginfo()->components;
    ASSERT_NE(table, nullptr);
    ASSERT_NE(table[0], nullptr);
    EXPECT_EQ(table[1], nullptr);

    const krt::ComponentInfo& record = *table[0];
    EXPECT_STREQ(record.componentId, "talvo.lcd.viewmodel.upgrade");
    EXPECT_STREQ(record.description, "{\"end\":0 }\r\n");
    EXPECT_EQ(std::strlen(record.description), 12u);
    EXPECT_TRUE(record.creator);
    EXPECT_TRUE(record.deletor);
    EXPECT_TRUE(record.getMessageHandler);
}

TEST_F(PluginEntryTest, DeletorOfNullDoesNothing)
{
    library.component().deletor(nullptr);
}

TEST_F(PluginEntryTest, ComponentIsItsOwnMessageHandler)
{
    Standin::StandinHost host;
    library.pluginit(&host);
    const krt::ComponentInfo& record = library.component();
    void* component = record.creator();
    ASSERT_NE(component, nullptr);

    krt::IMessageHandler* handler = record.getMessageHandler(component);
    EXPECT_EQ(static_cast<void*>(handler), component);
    EXPECT_EQ(initialise(component), nullptr);
    EXPECT_EQ(host.registrations().size(), 7u);
    record.deletor(component);
}

// Services are looked up once, at construction: a later pluginit changes
// where new components register, not where earlier ones do.
TEST_F(PluginEntryTest, SecondPluginitReplacesTheHostForLaterComponentsOnly)
{
    Standin::StandinHost first;
    Standin::StandinHost second;
    const krt::ComponentInfo& record = library.component();
    library.pluginit(&first);
    void* early = record.creator();
    library.pluginit(&second);
    void* late = record.creator();

    initialise(early);
    EXPECT_EQ(first.registrations().size(), 7u);
    EXPECT_TRUE(second.registrations().empty());
    initialise(late);
    EXPECT_EQ(first.registrations().size(), 7u);
    EXPECT_EQ(second.registrations().size(), 7u);

    record.deletor(late);
    record.deletor(early);
}

TEST_F(PluginEntryTest, ComponentMadeWithoutHostWarnsInsteadOfCrashing)
{
    // A null host is what the holder starts with before any pluginit.
    library.pluginit(nullptr);
    LogCapture log;
    const krt::ComponentInfo& record = library.component();
    void* component = record.creator();
    ASSERT_NE(component, nullptr);
    EXPECT_EQ(log.count("no host api"), 1);

    EXPECT_EQ(initialise(component), nullptr);
    EXPECT_EQ(log.count("no command dispatcher"), 1);
    EXPECT_EQ(log.count("no event dispatcher"), 6);
    record.deletor(component);
}

} // namespace
