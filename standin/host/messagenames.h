#pragma once

namespace Standin {

// Readable name of a message id for traces ("?" when unknown).
const char* messageName(int id);

} // namespace Standin
