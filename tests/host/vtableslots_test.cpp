#include "host/api.h"
#include "host/icommanddispatcher.h"
#include "host/ieventdispatcher.h"
#include "host/ihostapi.h"
#include "host/imessage.h"
#include "host/imessagecenter.h"
#include "host/imessagehandler.h"
#include "host/ireply.h"
#include "message/messagehandler.h"
#include "plugin/componentinfo.h"
#include "testing/paramname.h"
#include "upgrade/upgradeviewmodel.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>

namespace {

// Itanium C++ ABI: a pointer to a virtual member function holds the entry's
// byte offset in the vtable. On x86-64 the first word is that offset plus
// one; on Arm the first word is the offset itself and the low bit of the
// second word marks it virtual. -1 means "not virtual".
template <typename Member>
std::ptrdiff_t vtableSlot(Member member)
{
    static_assert(sizeof(Member) == 2 * sizeof(std::ptrdiff_t), "Itanium member function pointer");
    std::ptrdiff_t words[2];
    std::memcpy(words, &member, sizeof words);
#if defined(__arm__) || defined(__aarch64__)
    return (words[1] & 1) ? words[0] / std::ptrdiff_t(sizeof(void*)) : -1;
#else
    return (words[0] & 1) ? (words[0] - 1) / std::ptrdiff_t(sizeof(void*)) : -1;
#endif
}

struct SlotCase
{
    const char* name;
    std::ptrdiff_t slot;
    std::ptrdiff_t expected;
};

class HostSlotTest : public ::testing::TestWithParam<SlotCase>
{
};

// A host built against its own headers calls the plug-in, and is called by
// it, by slot number: an operation that moves breaks the binary contract.
TEST_P(HostSlotTest, OperationSitsInItsSlot)
{
    EXPECT_EQ(GetParam().slot, GetParam().expected);
}

// Destructors take two slots (complete and deleting), which is why type()
// and handleMessage() start at slot 2.
INSTANTIATE_TEST_SUITE_P(
    Slots, HostSlotTest,
    ::testing::Values(
        SlotCase{"IHostApi_lookup", vtableSlot(&krt::IHostApi::lookup), 3},
        SlotCase{"IMessage_type", vtableSlot(&krt::IMessage::type), 2},
        SlotCase{"IMessage_id", vtableSlot(&krt::IMessage::id), 3},
        SlotCase{"IMessage_size", vtableSlot(&krt::IMessage::size), 4},
        SlotCase{"IMessage_data", vtableSlot(&krt::IMessage::data), 5},
        SlotCase{"ICommandDispatcher_createMessage", vtableSlot(&krt::ICommandDispatcher::createMessage), 0},
        SlotCase{"ICommandDispatcher_releaseMessage", vtableSlot(&krt::ICommandDispatcher::releaseMessage), 1},
        SlotCase{"ICommandDispatcher_send", vtableSlot(&krt::ICommandDispatcher::send), 2},
        SlotCase{"ICommandDispatcher_registerCommand", vtableSlot(&krt::ICommandDispatcher::registerCommand), 4},
        SlotCase{"IEventDispatcher_createMessage", vtableSlot(&krt::IEventDispatcher::createMessage), 0},
        SlotCase{"IEventDispatcher_post", vtableSlot(&krt::IEventDispatcher::post), 2},
        SlotCase{"IEventDispatcher_send", vtableSlot(&krt::IEventDispatcher::send), 4},
        SlotCase{"IEventDispatcher_subscribe", vtableSlot(&krt::IEventDispatcher::subscribe), 5},
        SlotCase{"IReply_data", vtableSlot(&krt::IReply::data), 1},
        SlotCase{"IReply_size", vtableSlot(&krt::IReply::size), 2},
        SlotCase{"IMessageCenter_createMessage", vtableSlot(&krt::IMessageCenter::createMessage), 0},
        SlotCase{"IMessageHandler_handleMessage", vtableSlot(&krt::IMessageHandler::handleMessage), 2},
        SlotCase{"MessageHandler_handleMessage", vtableSlot(&LCD::Message::MessageHandler::handleMessage), 2},
        SlotCase{"MessageHandler_onInit", vtableSlot(&LCD::Message::MessageHandler::onInit), 3},
        SlotCase{"MessageHandler_processMsg", vtableSlot(&LCD::Message::MessageHandler::processMsg), 4},
        SlotCase{"UpgradeViewModel_onInit", vtableSlot(&Upgrade::UpgradeViewModel::onInit), 3}),
    testing_support::ByName());

// Offset of a field within its record; offsetof is not defined for records
// holding std::function.
template <typename Record, typename Field>
std::size_t offsetIn(Field Record::*field)
{
    static const Record record{};
    return std::size_t(reinterpret_cast<const char*>(&(record.*field)) - reinterpret_cast<const char*>(&record));
}

struct FieldCase
{
    const char* name;
    std::size_t offset;
    std::size_t expected;
};

class HostRecordTest : public ::testing::TestWithParam<FieldCase>
{
};

// The host reads these records field by field.
TEST_P(HostRecordTest, FieldSitsAtItsOffset)
{
    EXPECT_EQ(GetParam().offset, GetParam().expected);
}

constexpr std::size_t Word = sizeof(void*);
constexpr std::size_t Function = sizeof(std::function<void*()>);

INSTANTIATE_TEST_SUITE_P(
    Records, HostRecordTest,
    ::testing::Values(FieldCase{"api_host", offsetIn(&krt::api::host), 0},
                      FieldCase{"PluginInfo_apiVersion", offsetIn(&krt::PluginInfo::apiVersion), 0},
                      FieldCase{"PluginInfo_components", offsetIn(&krt::PluginInfo::components), Word},
                      FieldCase{"PluginInfo_name", offsetIn(&krt::PluginInfo::name), 2 * Word},
                      FieldCase{"PluginInfo_version", offsetIn(&krt::PluginInfo::version), 3 * Word},
                      FieldCase{"PluginInfo_description", offsetIn(&krt::PluginInfo::description), 4 * Word},
                      FieldCase{"ComponentInfo_creator", offsetIn(&krt::ComponentInfo::creator), 0},
                      FieldCase{"ComponentInfo_deletor", offsetIn(&krt::ComponentInfo::deletor), Function},
                      FieldCase{"ComponentInfo_getMessageHandler", offsetIn(&krt::ComponentInfo::getMessageHandler),
                                2 * Function},
                      FieldCase{"ComponentInfo_componentId", offsetIn(&krt::ComponentInfo::componentId),
                                3 * Function},
                      FieldCase{"ComponentInfo_description", offsetIn(&krt::ComponentInfo::description),
                                3 * Function + Word}),
    testing_support::ByName());

} // namespace
