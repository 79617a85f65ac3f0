#include "host/api.h"
#include "host/componentinfo.h"
#include "host/icommanddispatcher.h"
#include "host/ieventdispatcher.h"
#include "host/ihostapi.h"
#include "host/imessage.h"
#include "host/imessagecenter.h"
#include "host/imessagehandler.h"
#include "host/ireply.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>

namespace {

// Itanium C++ ABI: a pointer to a virtual member function holds the entry's
// byte offset in the vtable. On x86-64 the first word is that offset plus
// one; on Arm the first word is the offset itself and the low bit of the
// second word marks it virtual. -1 means "not virtual".
template <typename Member> std::ptrdiff_t vtableSlot(Member member)
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

// A host built against its own headers calls the plug-in, and is called by
// it, by slot number: an operation that moves breaks the binary contract.
// Destructors take two slots (complete and deleting), which is why type()
// and handleMessage() start at slot 2.
TEST(HostContract, OperationsSitInTheirVtableSlots)
{
    const struct
    {
        const char* name;
        std::ptrdiff_t slot;
        std::ptrdiff_t expected;
    } slots[] = {
        {"IHostApi::lookup", vtableSlot(&krt::IHostApi::lookup), 3},
        {"IMessage::type", vtableSlot(&krt::IMessage::type), 2},
        {"IMessage::id", vtableSlot(&krt::IMessage::id), 3},
        {"IMessage::size", vtableSlot(&krt::IMessage::size), 4},
        {"IMessage::data", vtableSlot(&krt::IMessage::data), 5},
        {"ICommandDispatcher::createMessage", vtableSlot(&krt::ICommandDispatcher::createMessage), 0},
        {"ICommandDispatcher::releaseMessage", vtableSlot(&krt::ICommandDispatcher::releaseMessage), 1},
        {"ICommandDispatcher::send", vtableSlot(&krt::ICommandDispatcher::send), 2},
        {"ICommandDispatcher::registerCommand", vtableSlot(&krt::ICommandDispatcher::registerCommand), 4},
        {"IEventDispatcher::createMessage", vtableSlot(&krt::IEventDispatcher::createMessage), 0},
        {"IEventDispatcher::post", vtableSlot(&krt::IEventDispatcher::post), 2},
        {"IEventDispatcher::send", vtableSlot(&krt::IEventDispatcher::send), 4},
        {"IEventDispatcher::subscribe", vtableSlot(&krt::IEventDispatcher::subscribe), 5},
        {"IReply::data", vtableSlot(&krt::IReply::data), 1},
        {"IReply::size", vtableSlot(&krt::IReply::size), 2},
        {"IMessageCenter::createMessage", vtableSlot(&krt::IMessageCenter::createMessage), 0},
        {"IMessageHandler::handleMessage", vtableSlot(&krt::IMessageHandler::handleMessage), 2},
    };
    for (const auto& s : slots)
        EXPECT_EQ(s.slot, s.expected) << s.name;
}

// Offset of a field within its record; offsetof is not defined for records
// holding std::function.
template <typename Record, typename Field> std::size_t offsetIn(Field Record::*field)
{
    static const Record record{};
    return std::size_t(reinterpret_cast<const char*>(&(record.*field))
                       - reinterpret_cast<const char*>(&record));
}

// The host reads these records field by field.
TEST(HostContract, RecordFieldsSitAtTheirOffsets)
{
    constexpr std::size_t Word = sizeof(void*);
    constexpr std::size_t Function = sizeof(std::function<void*()>);
    const struct
    {
        const char* name;
        std::size_t offset;
        std::size_t expected;
    } fields[] = {
        {"api::host", offsetIn(&krt::api::host), 0},
        {"PluginInfo::apiVersion", offsetIn(&krt::PluginInfo::apiVersion), 0},
        {"PluginInfo::components", offsetIn(&krt::PluginInfo::components), Word},
        {"PluginInfo::name", offsetIn(&krt::PluginInfo::name), 2 * Word},
        {"PluginInfo::version", offsetIn(&krt::PluginInfo::version), 3 * Word},
        {"PluginInfo::description", offsetIn(&krt::PluginInfo::description), 4 * Word},
        {"ComponentInfo::creator", offsetIn(&krt::ComponentInfo::creator), 0},
        {"ComponentInfo::deletor", offsetIn(&krt::ComponentInfo::deletor), Function},
        {"ComponentInfo::getMessageHandler", offsetIn(&krt::ComponentInfo::getMessageHandler), 2 * Function},
        {"ComponentInfo::componentId", offsetIn(&krt::ComponentInfo::componentId), 3 * Function},
        {"ComponentInfo::description", offsetIn(&krt::ComponentInfo::description), 3 * Function + Word},
    };
    for (const auto& f : fields)
        EXPECT_EQ(f.offset, f.expected) << f.name;
}

} // namespace
