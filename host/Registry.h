// The component registry: what a package offers to form designers, page by page.
#pragma once

#include "Export.h"
#include "Types.h"

#include <functional>
#include <initializer_list>
#include <vector>

class QWidget;
struct QMetaObject;

namespace kritzel {

/// One registered control class.
struct TComponentClass {
    /// The framework's class name, as the palette shows it ("TTurtle").
    TString ClassName;
    /// Qt's meta-object of the class; its className() is the C++ name forms store.
    const QMetaObject* MetaObject = nullptr;
    /// Creates a control on a parent, as a form designer or form loader does.
    std::function<QWidget*(QWidget* parent)> Create;
    /// The header a program includes for the class.
    TString IncludeFile;
};

/// An entry for a control class T with T(QWidget* parent).
template <class T> TComponentClass ComponentClass(TString className, TString includeFile) {
    return TComponentClass{std::move(className), &T::staticMetaObject,
                           [](QWidget* parent) -> QWidget* { return new T(parent); },
                           std::move(includeFile)};
}

/// A class together with the palette page it was registered on.
struct TRegisteredComponent {
    /// The palette page, e.g. "Kritzel-Werk".
    TString Page;
    /// The class.
    TComponentClass Class;
};

/// What a package offers to form designers, page by page.
class KRITZELWERK_EXPORT TComponentRegistry {
public:
    /// Adds the classes to a page; a class registered again moves to the new page.
    void RegisterComponents(const TString& page, const std::vector<TComponentClass>& classes);
    /// Everything registered, in the order of registration.
    const std::vector<TRegisteredComponent>& Components() const { return components_; }
    /// The entry of a class by its framework or C++ name;
    /// null when it is not registered.
    const TRegisteredComponent* Find(const TString& className) const;

private:
    std::vector<TRegisteredComponent> components_;
};

/// The process's registry.
KRITZELWERK_EXPORT TComponentRegistry& ComponentRegistry();

/// Warns that a property refused a value that is none of its type's,
/// as a form may hold: the value stays as it was.
/// Form tools show the warning among Qt's.
KRITZELWERK_EXPORT void RefuseFormValue(const char* property, int value);

/// Registers control classes on a palette page of the process's registry.
KRITZELWERK_EXPORT void RegisterComponents(const TString& page,
                                           std::initializer_list<TComponentClass> classes);

} // namespace kritzel
