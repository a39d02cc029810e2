// Writes forms as Qt's .ui files the way the framework's form storage does: a property
// equal to its declared default (what the property's reset gives) is left out, and so
// is a property that is not stored, and an empty text of a registered class.
#pragma once

#include <QDomElement>
#include <QFormBuilder>

#include <QHash>
#include <QString>
#include <QVariant>

#include <memory>

namespace kritzel {

class TFormWriter : public QFormBuilder {
public:
    TFormWriter();
    ~TFormWriter() override;

    void save(QIODevice* dev, QWidget* widget) override;

protected:
    bool checkProperty(QObject* obj, const QString& prop) const override;

private:
    // Whether a property goes into the form at all: stored, and not at its default.
    bool Stored(QObject* obj, const QString& prop) const;
    // Qt's form builder writes only enumerations held as int; the framework's come as
    // themselves and are added to the form here.
    QByteArray AddEnumProperties(const QByteArray& ui, QWidget* form) const;
    // Puts a widget's properties in declaration order, geometry first; leaves out those
    // declared before index `own` (a registered control's widget base), but geometry.
    void Arrange(QDomElement& widget, const QMetaObject& meta, int own) const;
    // The declared default of a property of a registered class; invalid when it has none.
    QVariant DeclaredDefault(const QObject* obj, const QString& prop) const;

    // Declared defaults per class name and property, found once per class.
    mutable QHash<QString, QHash<QString, QVariant>> defaults_;
};

} // namespace kritzel
