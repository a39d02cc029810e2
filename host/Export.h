// Symbols the library exports to programs and to the designer plugin.
#pragma once

#include <QtGlobal>

#if defined(KRITZELWERK_BUILDING)
#define KRITZELWERK_EXPORT Q_DECL_EXPORT
#else
#define KRITZELWERK_EXPORT Q_DECL_IMPORT
#endif
