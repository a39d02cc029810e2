// The framework's Unicode string, for what form tools and Qt's property system exchange.
#pragma once

#include "Types.h"

#include <QString>

namespace kritzel {

/// Qt's string, as forms and Qt's property system exchange text.
using TUnicodeString = QString;

/// A UTF-8 `TString` as Qt's string.
inline TUnicodeString ToUnicode(const TString& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

/// Qt's string as a UTF-8 `TString`.
inline TString FromUnicode(const TUnicodeString& s) {
    return s.toStdString();
}

} // namespace kritzel
