// Symbols the package library exports to the designer plugin and to host programs.
#pragma once

#include <QtGlobal>

#if defined(KRITZELWERK_PACKAGE_BUILDING)
#define KRITZELWERK_PACKAGE_EXPORT Q_DECL_EXPORT
#else
#define KRITZELWERK_PACKAGE_EXPORT Q_DECL_IMPORT
#endif
