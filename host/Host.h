// Everything a component needs of the framework, in one include.
#pragma once

#include "Application.h"
#include "Bitmap.h"
#include "Canvas.h"
#include "Clipboard.h"
#include "Clock.h"
#include "Colors.h"
#include "DeviceContext.h"
#include "Export.h"
#include "Form.h"
#include "Keyboard.h"
#include "Metafile.h"
#include "PaintBox.h"
#include "Printer.h"
#include "Screen.h"
#include "Strings.h"
#include "Types.h"
