#pragma once

#include "message/messagehandler.h"

#include <functional>
#include <vector>

namespace bench {

// A component whose handlers do next to nothing, so that the benchmark
// measures the way to the handler and back. Handlers are bound the way the
// view model binds its own: a lambda that captures only `this`.
class BenchComponent : public LCD::Message::MessageHandler
{
public:
    enum class Binding { Lambda, Bind };

    BenchComponent(std::vector<int> ids, Binding binding)
        : handledIds(std::move(ids))
        , how(binding)
    {
        name = "bench";
    }

    void onInit() override
    {
        using std::placeholders::_1;
        for (int id : handledIds) {
            if (how == Binding::Lambda)
                registerEvent(id, [this](const krt::IMessage* message) { return handle(message); });
            else
                registerEvent(id, std::bind(&BenchComponent::handle, this, _1));
        }
    }

    const krt::IMessage* handle(const krt::IMessage* message)
    {
        ++handled;
        return handled < 0 ? message : nullptr;
    }

    long handled = 0;

private:
    std::vector<int> handledIds;
    Binding how;
};

} // namespace bench
