#include "Pixels.h"
