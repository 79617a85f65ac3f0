#include "messagecenter.h"

#include "standinhost.h"

namespace Standin {

krt::IMessage* MessageCenter::createMessage(int id, const char* sender, int size, const void* data, int flags)
{
    (void)flags;
    return host.createMessage(krt::MessageTypeCommand, id, size, data, sender);
}

} // namespace Standin
