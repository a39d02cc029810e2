#include "FormWriter.h"

#include <host/PaintBox.h>
#include <host/Registry.h>
#include <host/Strings.h>

#include <QBuffer>
#include <QDomDocument>
#include <QMetaProperty>
#include <QWidget>

#include <algorithm>
#include <utility>
#include <vector>

namespace kritzel {

namespace {

bool HasProperty(const QDomElement& widget, const QString& name) {
    for (QDomElement p = widget.firstChildElement(QStringLiteral("property")); !p.isNull();
         p = p.nextSiblingElement(QStringLiteral("property")))
        if (p.attribute(QStringLiteral("name")) == name) return true;
    return false;
}

} // namespace

TFormWriter::TFormWriter() = default;
TFormWriter::~TFormWriter() = default;

void TFormWriter::save(QIODevice* dev, QWidget* widget) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QFormBuilder::save(&buffer, widget);
    dev->write(AddEnumProperties(buffer.data(), widget));
}

QByteArray TFormWriter::AddEnumProperties(const QByteArray& ui, QWidget* form) const {
    QDomDocument doc;
    if (!doc.setContent(ui)) return ui;
    const QDomNodeList widgets = doc.elementsByTagName(QStringLiteral("widget"));
    for (int i = 0; i < widgets.size(); ++i) {
        QDomElement element = widgets.at(i).toElement();
        const QString name = element.attribute(QStringLiteral("name"));
        QObject* obj = form->objectName() == name ? form : form->findChild<QObject*>(name);
        if (!obj) continue;
        const QMetaObject* meta = obj->metaObject();
        const TRegisteredComponent* registered = ComponentRegistry().Find(meta->className());
        if (!registered) {
            Arrange(element, *meta, 0);
            continue;
        }
        for (int p = meta->propertyOffset(); p < meta->propertyCount(); ++p) {
            const QMetaProperty prop = meta->property(p);
            const QString pname = QString::fromUtf8(prop.name());
            if (!prop.isEnumType() || prop.isFlagType() || !prop.isWritable() ||
                !Stored(obj, pname))
                continue;
            if (HasProperty(element, pname)) continue;
            const QMetaEnum e = prop.enumerator();
            const char* key = e.valueToKey(prop.read(obj).toInt());
            if (!key) continue;
            QDomElement property = doc.createElement(QStringLiteral("property"));
            property.setAttribute(QStringLiteral("name"), pname);
            QDomElement value = doc.createElement(QStringLiteral("enum"));
            const QString scope = QString::fromUtf8(e.scope());
            value.appendChild(
                doc.createTextNode((scope.isEmpty() ? QString() : scope + QStringLiteral("::")) +
                                   QString::fromUtf8(key)));
            property.appendChild(value);
            element.appendChild(property);
        }
        Arrange(element, *meta, registered->Class.MetaObject->propertyOffset());
    }
    return doc.toByteArray(1);
}

void TFormWriter::Arrange(QDomElement& widget, const QMetaObject& meta, int own) const {
    // In the order the properties are declared, which is the order loading applies them
    // (Device before x and y, so that its start of a picture does not put the turtle
    // back at the origin), and the same on every run. Of a registered control's widget
    // base only the place on the form: the rest (visible, which is false for a form not
    // yet shown, enabled, fonts) is Qt's, not the control's published state.
    std::vector<std::pair<int, QDomElement>> kept;
    std::vector<QDomElement> all;
    for (QDomElement p = widget.firstChildElement(QStringLiteral("property")); !p.isNull();
         p = p.nextSiblingElement(QStringLiteral("property")))
        all.push_back(p);
    for (QDomElement& p : all) {
        const QString name = p.attribute(QStringLiteral("name"));
        const int index = meta.indexOfProperty(name.toUtf8().constData());
        widget.removeChild(p);
        if (name == QLatin1String("geometry"))
            kept.emplace_back(-1, p);
        else if (index >= own)
            kept.emplace_back(index, p);
        else if (own == 0)
            kept.emplace_back(meta.propertyCount(), p); // not a declared property: last
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    // Properties come before the widget's children, as in any form file.
    const QDomNode first = widget.firstChild();
    for (auto& [index, p] : kept) {
        if (first.isNull())
            widget.appendChild(p);
        else
            widget.insertBefore(p, first);
    }
}

bool TFormWriter::checkProperty(QObject* obj, const QString& prop) const {
    if (!Stored(obj, prop)) return false;
    // An enumeration not held as int is one Qt's form builder cannot write; the
    // registered classes' own are added afterwards, the widget base's stay out.
    const QMetaObject* meta = obj->metaObject();
    const int index = meta->indexOfProperty(prop.toUtf8().constData());
    if (index < 0) return true;
    const QMetaProperty p = meta->property(index);
    return !p.isEnumType() || p.read(obj).metaType().id() == QMetaType::Int;
}

bool TFormWriter::Stored(QObject* obj, const QString& prop) const {
    if (!QFormBuilder::checkProperty(obj, prop)) return false;
    const QMetaObject* meta = obj->metaObject();
    const int index = meta->indexOfProperty(prop.toUtf8().constData());
    if (index < 0) return true;
    const QMetaProperty p = meta->property(index);
    if (!p.isStored()) return false;
    const QVariant value = p.read(obj);
    const QVariant def = DeclaredDefault(obj, prop);
    if (def.isValid()) return value != def;
    // A name without a declared default starts empty; written empty, loading it would
    // call its setter with the empty name, which is not the same as leaving it alone.
    if (value.metaType().id() == QMetaType::QString && value.toString().isEmpty() &&
        ComponentRegistry().Find(obj->metaObject()->className()))
        return false;
    return true;
}

QVariant TFormWriter::DeclaredDefault(const QObject* obj, const QString& prop) const {
    const QMetaObject* meta = obj->metaObject();
    const QString cls = QString::fromUtf8(meta->className());
    auto it = defaults_.find(cls);
    if (it == defaults_.end()) {
        QHash<QString, QVariant> found;
        const TRegisteredComponent* entry = ComponentRegistry().Find(FromUnicode(cls));
        if (entry && entry->Class.Create) {
            // A scratch control in the designing state, so that resetting its properties
            // only stores values: it waits for nothing and opens no output.
            std::unique_ptr<QWidget> scratch(entry->Class.Create(nullptr));
            if (auto* box = qobject_cast<TPaintBox*>(scratch.get())) box->SetDesigning(true);
            // Only the class's own properties: the widget base's are Qt's business.
            for (int i = entry->Class.MetaObject->propertyOffset(); i < meta->propertyCount();
                 ++i) {
                const QMetaProperty p = meta->property(i);
                if (p.isResettable() && p.reset(scratch.get()))
                    found.insert(QString::fromUtf8(p.name()), p.read(scratch.get()));
            }
        }
        it = defaults_.insert(cls, found);
    }
    return it->value(prop);
}

} // namespace kritzel
