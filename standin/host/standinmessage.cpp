#include "standinmessage.h"

namespace Standin {

StandinMessage::StandinMessage(int type, int id, int size, const void* data, std::string sender)
    : kind(type)
    , messageId(id)
    , payload(size <= 0  ? QByteArray()
                  : data ? QByteArray(static_cast<const char*>(data), size)
                         : QByteArray(size, '\0'))
    , from(std::move(sender))
    , source(const_cast<void*>(data))
{
}

} // namespace Standin
