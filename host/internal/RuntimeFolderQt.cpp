// Qt's runtime folder where the system is not a Unix: Qt needs none.
#include "RuntimeFolder.h"

namespace kritzel {

void NameRuntimeFolder() {}

} // namespace kritzel
