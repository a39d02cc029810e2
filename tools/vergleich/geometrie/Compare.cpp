#include "Compare.h"
