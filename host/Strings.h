// The framework's Unicode string, for what form tools and Qt's property system exchange.
#pragma once

#include "Types.h"

#include <QString>

namespace kritzel {

using TUnicodeString = QString;

inline TUnicodeString ToUnicode(const TString& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

inline TString FromUnicode(const TUnicodeString& s) {
    return s.toStdString();
}

} // namespace kritzel
