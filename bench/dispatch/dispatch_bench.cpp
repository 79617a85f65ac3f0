// Dispatch of one delivered message: MessageHandler::handleMessage to a
// registered handler and back, against the bare minimum a component could
// do (an unordered_map lookup and a std::function call), with the heap
// allocations each path makes per message.

#include "allocationcounter.h"
#include "benchcomponent.h"
#include "ratioreporter.h"

#include "host/api.h"
#include "host/imessage.h"
#include "standin/host/standinhost.h"
#include "standin/host/standinmessage.h"
#include "upgrade/upgradeids.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace {

using bench::BenchComponent;
using HandlerFunc = std::function<const krt::IMessage*(const krt::IMessage*)>;

// The view model's seven ids; every benchmark cycles through them in order.
const std::vector<int> ids
    = {Upgrade::MsgSetUpgradeFile,     Upgrade::MsgUpgradeFinished,    Upgrade::MsgDeviceInfoChanged,
       Upgrade::MsgGetUpgradeFileInfo, Upgrade::MsgMessageBoxReturned, Upgrade::MsgGetUpgradeMD5,
       Upgrade::MsgUpgradeProgress};

} // namespace

namespace bench {

// The steps every dispatch must take, written out by hand with nothing
// else: the host calls the component through its interface, the id and the
// kind are read through the message's interface, the overridable processMsg
// is a virtual call, and the handler runs on a copy. handleMessage's
// distance from this is what MessageHandler itself adds. Outside the
// anonymous namespace, so that the compiler cannot resolve processMsg.
class MandatedSteps : public krt::IMessageHandler
{
public:
    MandatedSteps(const std::vector<int>& ids, BenchComponent* target)
    {
        for (int id : ids)
            events.emplace(id, [target](const krt::IMessage* message) { return target->handle(message); });
    }

    const krt::IMessage* handleMessage(const krt::IMessage* message) override
    {
        const int id = message->id();
        const unsigned framework = static_cast<unsigned>(id);
        if (framework == 0xffff0000u) // initialise: nothing to set up here
            return nullptr;
        if (framework - 0xffff0001u < 2u || framework >= 0xfffffffeu)
            return nullptr;
        return processMsg(id, message);
    }

    virtual const krt::IMessage* processMsg(int id, const krt::IMessage* message)
    {
        if (message->type() != krt::MessageTypeEvent)
            return nullptr;
        const auto it = events.find(id);
        if (it == events.end())
            return nullptr;
        const auto handler = it->second;
        return handler(message);
    }

private:
    std::unordered_map<int, std::function<const krt::IMessage*(const krt::IMessage*)>> events;
};

} // namespace bench

namespace {

std::vector<std::unique_ptr<Standin::StandinMessage>> makeMessages()
{
    std::vector<std::unique_ptr<Standin::StandinMessage>> messages;
    for (int id : ids)
        messages.push_back(
            std::make_unique<Standin::StandinMessage>(krt::MessageTypeEvent, id, 0, nullptr, "ui"));
    return messages;
}

void countAllocations(benchmark::State& state, long before)
{
    state.counters["allocs/msg"]
        = benchmark::Counter(double(bench::allocationCount() - before), benchmark::Counter::kAvgIterations);
}

// A component registered with a stand-in host; it looks the host up once,
// while it is built.
std::unique_ptr<BenchComponent> makeComponent(Standin::StandinHost& host, BenchComponent::Binding binding)
{
    host.setRecording(false);
    krt::api::get().host = &host;
    auto component = std::make_unique<BenchComponent>(ids, binding);
    krt::api::get().host = nullptr;
    const Standin::StandinMessage init(krt::MessageTypeEvent, LCD::Message::MsgInitialize, 0, nullptr,
                                       "host");
    component->handleMessage(&init);
    return component;
}

// Delivers the seven messages in turn as the host does: through the
// component's interface.
void deliverInTurn(benchmark::State& state, krt::IMessageHandler* handler)
{
    benchmark::DoNotOptimize(handler);
    const auto messages = makeMessages();
    std::size_t next = 0;
    const long before = bench::allocationCount();
    for (auto _ : state) {
        benchmark::DoNotOptimize(handler->handleMessage(messages[next].get()));
        next = next + 1 == messages.size() ? 0 : next + 1;
    }
    countAllocations(state, before);
}

void dispatchThroughHandleMessage(benchmark::State& state, BenchComponent::Binding binding)
{
    Standin::StandinHost host;
    const std::unique_ptr<BenchComponent> component = makeComponent(host, binding);
    deliverInTurn(state, component.get());
}

void BM_HandleMessage(benchmark::State& state)
{
    dispatchThroughHandleMessage(state, BenchComponent::Binding::Lambda);
}

// For comparison: a handler bound with std::bind of a member pointer is too
// large for std::function's inline buffer, so the copy made before each run
// allocates.
void BM_HandleMessageBind(benchmark::State& state)
{
    dispatchThroughHandleMessage(state, BenchComponent::Binding::Bind);
}

// The bare minimum: look the id up, call the handler in place. With
// copyFirst the handler is copied out and the copy called, as
// MessageHandler::processMsg does, so that the cost of the copy shows apart
// from that of the host interface's virtual calls.
void dispatchThroughMap(benchmark::State& state, bool copyFirst)
{
    Standin::StandinHost host;
    const std::unique_ptr<BenchComponent> component = makeComponent(host, BenchComponent::Binding::Lambda);
    BenchComponent* target = component.get();
    std::unordered_map<int, HandlerFunc> table;
    for (int id : ids)
        table.emplace(id, [target](const krt::IMessage* message) { return target->handle(message); });
    const auto messages = makeMessages();

    std::size_t next = 0;
    const long before = bench::allocationCount();
    for (auto _ : state) {
        const auto it = table.find(ids[next]);
        if (copyFirst) {
            const HandlerFunc handler = it->second;
            benchmark::DoNotOptimize(handler(messages[next].get()));
        } else {
            benchmark::DoNotOptimize(it->second(messages[next].get()));
        }
        next = next + 1 == messages.size() ? 0 : next + 1;
    }
    countAllocations(state, before);
}

void BM_MandatedSteps(benchmark::State& state)
{
    Standin::StandinHost host;
    const std::unique_ptr<BenchComponent> component = makeComponent(host, BenchComponent::Binding::Lambda);
    bench::MandatedSteps reference(ids, component.get());
    deliverInTurn(state, &reference);
}

void BM_UnorderedMapCall(benchmark::State& state)
{
    dispatchThroughMap(state, false);
}

void BM_UnorderedMapCopyCall(benchmark::State& state)
{
    dispatchThroughMap(state, true);
}

BENCHMARK(BM_UnorderedMapCall);
BENCHMARK(BM_UnorderedMapCopyCall);
BENCHMARK(BM_MandatedSteps);
BENCHMARK(BM_HandleMessage);
BENCHMARK(BM_HandleMessageBind);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double bare = reporter.nanoseconds("BM_UnorderedMapCall");
    const double dispatch = reporter.nanoseconds("BM_HandleMessage");
    if (bare <= 0 || dispatch <= 0)
        return 0;
    const double copied = reporter.nanoseconds("BM_UnorderedMapCopyCall");
    const double allocations = reporter.counter("BM_HandleMessage", "allocs/msg");
    std::printf("\nCPU time per message: handleMessage %.2f ns, unordered_map + std::function %.2f ns: "
                "ratio %.2f (target <= 1.5)\n",
                dispatch, bare, dispatch / bare);
    if (copied > 0)
        std::printf("of the difference, the handler copy made before each call: %.2f ns\n", copied - bare);
    const double mandated = reporter.nanoseconds("BM_MandatedSteps");
    if (mandated > 0)
        std::printf("the required steps alone (interface calls, id and kind reads, virtual processMsg, "
                    "copy) %.2f ns: handleMessage / required steps %.2f\n",
                    mandated, dispatch / mandated);
    std::printf("heap allocations per dispatched message: handleMessage %.3f (target 0), "
                "unordered_map %.3f, std::bind handler %.3f\n",
                allocations, reporter.counter("BM_UnorderedMapCall", "allocs/msg"),
                reporter.counter("BM_HandleMessageBind", "allocs/msg"));
    // Allocation counts do not depend on the machine's speed: a dispatch
    // path that allocates fails the run.
    return allocations > 0 ? 1 : 0;
}
