#include "EmfReader.h"
