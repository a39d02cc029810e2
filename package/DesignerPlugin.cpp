#include "DesignerPlugin.h"

#include "Kritzelwerk.h"

#include <host/PaintBox.h>
#include <host/Strings.h>

#include <QIcon>
#include <QMetaObject>
#include <QPixmap>
#include <QWidget>

#include <mutex>

namespace kritzel {

TDesignerWidget::TDesignerWidget(TRegisteredComponent component, QObject* parent)
    : QObject(parent), component_(std::move(component)) {}

QString TDesignerWidget::name() const {
    // Forms store the C++ name, so that uic's code and the form loader find the class.
    return QString::fromUtf8(component_.Class.MetaObject->className());
}

QString TDesignerWidget::group() const {
    return ToUnicode(component_.Page);
}

QString TDesignerWidget::toolTip() const {
    return QStringLiteral("%1 (%2)").arg(ToUnicode(component_.Class.ClassName),
                                         ToUnicode(PackageDescription()));
}

QString TDesignerWidget::whatsThis() const {
    const TPackageVersion v = PackageVersion();
    return QStringLiteral("%1, Version %2 (Produktversion %3)")
        .arg(ToUnicode(PackageDescription()), ToUnicode(FileVersionText(v)),
             ToUnicode(v.ProductVersion));
}

QString TDesignerWidget::includeFile() const {
    return ToUnicode(component_.Class.IncludeFile);
}

QIcon TDesignerWidget::icon() const {
    return QIcon(QPixmap::fromImage(PaletteBitmap(component_.Class.ClassName)));
}

QWidget* TDesignerWidget::createWidget(QWidget* parent) {
    QWidget* w = component_.Class.Create(parent);
    // Designer initializes its plugins with its form editor; a form loader that builds
    // a running form through the plugin does not, and gets a working control.
    if (auto* box = qobject_cast<TPaintBox*>(w)) box->SetDesigning(designer_ != nullptr);
    return w;
}

void TDesignerWidget::initialize(QDesignerFormEditorInterface* core) {
    designer_ = core;
    initialized_ = true;
}

QString TDesignerWidget::domXml() const {
    // The palette shows the framework's name; the form keeps the C++ one.
    return QStringLiteral("<ui language=\"c++\" displayname=\"%1\">\n"
                          " <widget class=\"%2\" name=\"%3\"/>\n"
                          " <customwidgets>\n"
                          "  <customwidget>\n"
                          "   <class>%2</class>\n"
                          "   <header location=\"global\">%4</header>\n"
                          "  </customwidget>\n"
                          " </customwidgets>\n"
                          "</ui>\n")
        .arg(ToUnicode(component_.Class.ClassName), name(),
             ToUnicode(component_.Class.ClassName).mid(1).toLower(), includeFile());
}

TDesignerPlugins::TDesignerPlugins(QObject* parent) : QObject(parent) {
    // Designer loads the package once; Register runs once per process however often.
    static std::once_flag registered;
    std::call_once(registered, [] { Register(); });
    for (const TRegisteredComponent& c : ComponentRegistry().Components())
        widgets_.append(new TDesignerWidget(c, this));
}

} // namespace kritzel
