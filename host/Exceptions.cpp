#include "Exceptions.h"

namespace kritzel {

EKritzelwerk::~EKritzelwerk() = default;

} // namespace kritzel
