#include "Registry.h"

#include <QMetaObject>
#include <QtGlobal>

#include <algorithm>

namespace kritzel {

namespace {

bool Names(const TComponentClass& c, const TString& name) {
    return c.ClassName == name || (c.MetaObject && name == c.MetaObject->className());
}

} // namespace

void TComponentRegistry::RegisterComponents(const TString& page,
                                            const std::vector<TComponentClass>& classes) {
    for (const TComponentClass& c : classes) {
        // A package loaded twice registers its classes twice: keep one entry.
        std::erase_if(components_, [&](const TRegisteredComponent& r) {
            return r.Class.ClassName == c.ClassName;
        });
        components_.push_back(TRegisteredComponent{page, c});
    }
}

const TRegisteredComponent* TComponentRegistry::Find(const TString& className) const {
    const auto it =
        std::find_if(components_.begin(), components_.end(),
                     [&](const TRegisteredComponent& r) { return Names(r.Class, className); });
    return it == components_.end() ? nullptr : &*it;
}

TComponentRegistry& ComponentRegistry() {
    static TComponentRegistry registry;
    return registry;
}

void RegisterComponents(const TString& page, std::initializer_list<TComponentClass> classes) {
    ComponentRegistry().RegisterComponents(page, std::vector<TComponentClass>(classes));
}

void RefuseFormValue(const char* property, int value) {
    qWarning("Kritzel-Werk: %s refuses the value %d, which is none of its own; it keeps the "
             "value it had",
             property, value);
}

} // namespace kritzel
