#pragma once

#include "host/componentinfo.h"
#include "host/imessagehandler.h"

#include <new>

namespace krt {

// Registration machinery for one component type T. T must reach
// IMessageHandler through a chain of single, first bases, so that the
// component's address is also its handler's address.
template <typename T> class ComponentTmpl
{
public:
    static void* creator()
    {
        void* storage = ::operator new(sizeof(T), std::nothrow);
        if (!storage)
            return nullptr;
        try {
            return new (storage) T();
        } catch (...) {
            ::operator delete(storage, std::nothrow);
            throw;
        }
    }

    static void deletor(void* component)
    {
        if (!component)
            return;
        IMessageHandler* handler = static_cast<T*>(component);
        handler->~IMessageHandler();
        ::operator delete(component);
    }

    static IMessageHandler* getMessageHandler(void* component)
    {
        return static_cast<IMessageHandler*>(component);
    }

    static ComponentInfo componentInfo;
};

} // namespace krt
