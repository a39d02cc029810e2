#include "Clipboard.h"

#include "Exceptions.h"
#include "Metafile.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace kritzel {

void TClipboard::Assign(const TMetafile& metafile) {
    QClipboard* clipboard = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::clipboard()
                                : nullptr;
    if (!clipboard) throw EKritzelwerk("cannot copy the picture: there is no clipboard");
    const QByteArray emf(reinterpret_cast<const char*>(metafile.Data().data()),
                         qsizetype(metafile.Data().size()));
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/emf"), emf);
    data->setData(QStringLiteral("image/x-emf"), emf);
    // The name LibreOffice gives an enhanced metafile on the clipboard; under it, Draw
    // and Writer paste a vector picture of the true size instead of the bitmap.
    data->setData(QStringLiteral("application/x-openoffice-emf;windows_formatname=\"Image EMF\""),
                  emf);
    if (!metafile.Picture().isNull()) data->setImageData(metafile.Picture());
    clipboard->setMimeData(data);
    const QMimeData* now = clipboard->mimeData();
    if (!now || !now->hasFormat(QStringLiteral("image/emf")))
        throw EKritzelwerk("cannot copy the picture: the clipboard did not take it");
}

TClipboard& Clipboard() {
    static TClipboard clipboard;
    return clipboard;
}

} // namespace kritzel
