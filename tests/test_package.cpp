// The package: registration, the Qt Designer plugin, its resources and version data,
// and form storage through .ui files (form loader, uic, form writer).
#include "support.h"

#include "ui_turtle_form.h"

#include <FormWriter.h>
#include <Kritzelwerk.h>
#include <host/Registry.h>

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QJsonObject>
#include <QMetaProperty>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QUiLoader>
#include <QtDesigner/QDesignerFormEditorInterface>
#include <QtEndian>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>

#include <map>
#include <memory>

using namespace kritzel;
using namespace kritzel::test;

namespace {

const QString PluginDir = QStringLiteral(KRITZEL_DESIGNER_PLUGIN_DIR);
const QString PluginFile = PluginDir + QStringLiteral("/libkritzelwerk_designer.so");

// The plugin's widgets, loaded once from the build tree as Designer loads them.
QList<QDesignerCustomWidgetInterface*> PluginWidgets() {
    static QPluginLoader loader(PluginFile);
    auto* collection = qobject_cast<QDesignerCustomWidgetCollectionInterface*>(loader.instance());
    if (!collection) ADD_FAILURE() << loader.errorString().toStdString();
    return collection ? collection->customWidgets() : QList<QDesignerCustomWidgetInterface*>{};
}

QDesignerCustomWidgetInterface* TurtleWidget() {
    const auto widgets = PluginWidgets();
    return widgets.size() == 1 ? widgets.front() : nullptr;
}

QByteArray ResourceBytes(const QString& name) {
    QFile f(QStringLiteral(":/kritzelwerk/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

quint16 U16(const QByteArray& b, int at) {
    return qFromLittleEndian<quint16>(b.constData() + at);
}
quint32 U32(const QByteArray& b, int at) {
    return qFromLittleEndian<quint32>(b.constData() + at);
}

// The properties a form stores for its widget of this class, by name.
std::map<QString, QString> StoredProperties(const QByteArray& ui, const QString& cls) {
    QDomDocument doc;
    EXPECT_TRUE(doc.setContent(ui));
    std::map<QString, QString> found;
    const QDomNodeList widgets = doc.elementsByTagName(QStringLiteral("widget"));
    for (int i = 0; i < widgets.size(); ++i) {
        const QDomElement w = widgets.at(i).toElement();
        if (w.attribute(QStringLiteral("class")) != cls) continue;
        for (QDomElement p = w.firstChildElement(QStringLiteral("property")); !p.isNull();
             p = p.nextSiblingElement(QStringLiteral("property"))) {
            const QDomElement v = p.firstChildElement();
            // A colour as #rrggbb, the others as their text.
            auto channel = [&](const char* c) {
                return v.firstChildElement(QString::fromLatin1(c)).text().toInt();
            };
            found[p.attribute(QStringLiteral("name"))] =
                v.tagName() == QLatin1String("color")
                    ? QColor(channel("red"), channel("green"), channel("blue")).name()
                    : v.text();
        }
    }
    return found;
}

const char* const WithDeclaredDefault[] = {"BackColor",   "PenColor", "PenWidth",
                                           "TurtleColor", "Delay",    "Device",
                                           "TurtleSize",  "Showing",  "PenState"};
const char* const ReadOnly[] = {"MaxX", "MaxY", "MinX", "MinY"};

// A form with one turtle as Designer puts it there, and the form written back.
QByteArray SaveForm(QWidget& form) {
    TFormWriter writer;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writer.save(&buffer, &form);
    return buffer.data();
}

// A form read back by Qt's form loader, with the controls of the plugin built here.
std::unique_ptr<QWidget> LoadForm(QIODevice* ui, QString& error) {
    QUiLoader loader;
    loader.clearPluginPaths();
    loader.addPluginPath(PluginDir);
    std::unique_ptr<QWidget> form(loader.load(ui));
    error = loader.errorString();
    return form;
}

} // namespace

// --- Registration ----------------------------------------------------------------------

TEST(PackageRegistration, RegistersExactlyTheTurtleOnItsPageOnceHoweverOftenCalled) {
    Register();
    Register();
    const auto& all = ComponentRegistry().Components();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].Page, "Kritzel-Werk");
    EXPECT_EQ(all[0].Class.ClassName, "TTurtle");
    EXPECT_STREQ(all[0].Class.MetaObject->className(), "kritzel::TTurtle");
    EXPECT_EQ(all[0].Class.IncludeFile, "kritzelwerk/Turtle.h");
    EXPECT_EQ(ComponentRegistry().Find("TTurtle"), &all[0]);
    EXPECT_EQ(ComponentRegistry().Find("kritzel::TTurtle"), &all[0]);
    EXPECT_EQ(ComponentRegistry().Find("TPaintBox"), nullptr);

    std::unique_ptr<QWidget> w(all[0].Class.Create(nullptr));
    EXPECT_NE(qobject_cast<TTurtle*>(w.get()), nullptr);
}

TEST(PackageRegistration, ARegistryKeepsPagesAndMovesAClassRegisteredAgain) {
    TComponentRegistry registry;
    registry.RegisterComponents("Seite A", {ComponentClass<TTurtle>("TTurtle", "a.h"),
                                            ComponentClass<TPaintBox>("TPaintBox", "b.h")});
    registry.RegisterComponents("Seite B", {ComponentClass<TTurtle>("TTurtle", "a.h")});
    ASSERT_EQ(registry.Components().size(), 2u);
    EXPECT_EQ(registry.Find("TPaintBox")->Page, "Seite A");
    EXPECT_EQ(registry.Find("TTurtle")->Page, "Seite B");
}

TEST(PackageRegistration, EventAndPointTypesAreKnownToQtByName) {
    Register();
    EXPECT_TRUE(QMetaType::fromName("kritzel::TVirtuell").isValid());
    EXPECT_TRUE(QMetaType::fromName("kritzel::TStartPaint").isValid());
    const QVariant p = QVariant::fromValue(TVirtuell{1.5, -2});
    EXPECT_EQ(p.value<TVirtuell>().y, -2);
    const QMetaObject& m = TTurtle::staticMetaObject;
    const QMetaProperty device = m.property(m.indexOfProperty("Device"));
    ASSERT_TRUE(device.isEnumType());
    EXPECT_STREQ(device.enumerator().valueToKey(tdClipb), "tdClipb");
    const QMetaProperty pen = m.property(m.indexOfProperty("PenState"));
    ASSERT_TRUE(pen.isEnumType());
    EXPECT_STREQ(pen.enumerator().valueToKey(Up), "Up");
}

// --- Resources and version -------------------------------------------------------------

TEST(PackageResources, PaletteBitmapIsA27PixelTurtleWith256Colours) {
    const QByteArray bmp = ResourceBytes(QStringLiteral("TTURTLE"));
    ASSERT_GE(bmp.size(), 54);
    EXPECT_EQ(bmp.left(2), QByteArray("BM"));
    EXPECT_EQ(U32(bmp, 18), 27u);  // width
    EXPECT_EQ(U32(bmp, 22), 27u);  // height
    EXPECT_EQ(U16(bmp, 28), 8);    // bits per pixel
    EXPECT_EQ(U32(bmp, 46), 256u); // colour table entries
    EXPECT_EQ(U32(bmp, 10), 14u + 40u + 256u * 4u);

    const QImage image = PaletteBitmap("TTurtle");
    ASSERT_EQ(image.size(), QSize(27, 27));
    EXPECT_EQ(image.format(), QImage::Format_Indexed8);
    // A drawing, not a plain tile: several colours, the background in the corners.
    QSet<QRgb> colours;
    for (int y = 0; y < 27; ++y)
        for (int x = 0; x < 27; ++x)
            colours.insert(image.pixel(x, y));
    EXPECT_GE(colours.size(), 3);
    EXPECT_EQ(image.pixel(0, 26), image.pixel(26, 0));
    EXPECT_NE(image.pixel(13, 14), image.pixel(0, 26));
    EXPECT_TRUE(PaletteBitmap("TPaintBox").isNull());
}

TEST(PackageResources, DescriptionIsStoredAsUtf16) {
    const QString text = QStringLiteral("Kritzel-Werk Komponente");
    const QByteArray raw = ResourceBytes(QStringLiteral("DESCRIPTION"));
    ASSERT_EQ(raw.size(), text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i)
        EXPECT_EQ(U16(raw, int(i * 2)), text.at(i).unicode()) << "at " << i;
    EXPECT_EQ(PackageDescription(), "Kritzel-Werk Komponente");
}

TEST(PackageResources, MainIconIsOne32PixelImageOf32Bits) {
    const QByteArray ico = ResourceBytes(QStringLiteral("MAINICON"));
    ASSERT_GE(ico.size(), 22 + 40);
    EXPECT_EQ(U16(ico, 2), 1); // an icon
    EXPECT_EQ(U16(ico, 4), 1); // one image
    EXPECT_EQ(quint8(ico[6]), 32);
    EXPECT_EQ(quint8(ico[7]), 32);
    EXPECT_EQ(U16(ico, 12), 32);
    const int dib = int(U32(ico, 18));
    EXPECT_EQ(U16(ico, dib + 14), 32);
    EXPECT_EQ(int(U32(ico, 14)), ico.size() - dib);
    const QImage icon = MainIcon();
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_TRUE(icon.hasAlphaChannel());
}

TEST(PackageResources, VersionRecordIsGermanWithCodePage1252) {
    const TPackageVersion v = PackageVersion();
    EXPECT_EQ(v.FileVersion, (std::array<std::uint16_t, 4>{10, 1, 1, 6}));
    EXPECT_EQ(FileVersionText(v), "10.1.1.6");
    EXPECT_EQ(v.ProductVersion, "10.1.1.1");
    EXPECT_EQ(v.Language, 0x0407);
    EXPECT_EQ(v.CodePage, 1252);
    EXPECT_EQ(v.Block, "040704E4");
}

// --- The Designer plugin ---------------------------------------------------------------

TEST(DesignerPlugin, OffersTheTurtleOnItsPageWithImageDescriptionAndVersion) {
    const auto widgets = PluginWidgets();
    ASSERT_EQ(widgets.size(), 1);
    QDesignerCustomWidgetInterface* w = widgets.front();
    EXPECT_EQ(w->name(), QStringLiteral("kritzel::TTurtle"));
    EXPECT_EQ(w->group(), QStringLiteral("Kritzel-Werk"));
    EXPECT_TRUE(w->toolTip().contains(QStringLiteral("Kritzel-Werk Komponente")));
    EXPECT_TRUE(w->whatsThis().contains(QStringLiteral("Kritzel-Werk Komponente")));
    EXPECT_TRUE(w->whatsThis().contains(QStringLiteral("10.1.1.6")));
    EXPECT_TRUE(w->whatsThis().contains(QStringLiteral("10.1.1.1")));
    EXPECT_EQ(w->includeFile(), QStringLiteral("kritzelwerk/Turtle.h"));
    EXPECT_FALSE(w->isContainer());
    const QList<QSize> sizes = w->icon().availableSizes();
    ASSERT_EQ(sizes.size(), 1);
    EXPECT_EQ(sizes.front(), QSize(27, 27));
    EXPECT_EQ(w->icon().pixmap(27, 27).toImage().convertToFormat(QImage::Format_RGB32),
              PaletteBitmap("TTurtle").convertToFormat(QImage::Format_RGB32));

    QDomDocument dom;
    ASSERT_TRUE(dom.setContent(w->domXml()));
    EXPECT_EQ(dom.documentElement().attribute(QStringLiteral("displayname")),
              QStringLiteral("TTurtle"));
    EXPECT_EQ(dom.documentElement()
                  .firstChildElement(QStringLiteral("widget"))
                  .attribute(QStringLiteral("class")),
              QStringLiteral("kritzel::TTurtle"));
}

TEST(DesignerPlugin, MetadataCarriesTheVersionRecord) {
    QPluginLoader loader(PluginFile);
    const QJsonObject meta = loader.metaData().value(QStringLiteral("MetaData")).toObject();
    EXPECT_EQ(meta.value(QStringLiteral("Page")).toString(), QStringLiteral("Kritzel-Werk"));
    EXPECT_EQ(meta.value(QStringLiteral("FileVersion")).toString(), QStringLiteral("10.1.1.6"));
    EXPECT_EQ(meta.value(QStringLiteral("ProductVersion")).toString(), QStringLiteral("10.1.1.1"));
    EXPECT_EQ(meta.value(QStringLiteral("Block")).toString(), QStringLiteral("040704E4"));
    EXPECT_EQ(meta.value(QStringLiteral("CodePage")).toInt(), 1252);
}

class DesignerPluginInDesigner : public ::testing::Test {
protected:
    void SetUp() override {
        plugin = TurtleWidget();
        ASSERT_NE(plugin, nullptr);
        plugin->initialize(&core);
        ASSERT_TRUE(plugin->isInitialized());
        widget.reset(plugin->createWidget(nullptr));
        turtle = qobject_cast<TTurtle*>(widget.get());
        ASSERT_NE(turtle, nullptr);
    }
    // The plugin is one instance for the whole process, and form loaders build their
    // controls through it too: it must not stay bound to this test's editor.
    void TearDown() override {
        if (plugin) plugin->initialize(nullptr);
    }
    QDesignerFormEditorInterface core;
    QDesignerCustomWidgetInterface* plugin = nullptr;
    std::unique_ptr<QWidget> widget;
    TTurtle* turtle = nullptr;
};

TEST_F(DesignerPluginInDesigner, TheControlIsDesignedAndShowsAWhiteAreaWithTheTurtleInTheMiddle) {
    EXPECT_NE(turtle->ComponentState() & csDesigning, 0u);
    FakeClock clock(1000);
    CountingPump pump(&clock);
    ServicesScope scope(&clock, &pump);
    turtle->SetDelay(500);
    turtle->Repaint();
    // No waiting for the delay and no message pumping in the designer.
    EXPECT_EQ(pump.processed, 0);
    EXPECT_EQ(pump.waits, 0);
    const QImage& pic = turtle->Picture();
    ASSERT_EQ(pic.size(), QSize(400, 400));
    EXPECT_EQ(pic.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(pic.pixel(399, 399) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(CountColor(pic, clWhite) + CountColor(pic, clRed), 400 * 400);
    EXPECT_GT(CountColor(pic, clRed), 20);
    int reds = 0;
    for (int y = 180; y < 220; ++y)
        for (int x = 180; x < 220; ++x)
            reds += (pic.pixel(x, y) & 0xFFFFFF) == 0xFF0000u;
    EXPECT_EQ(reds, CountColor(pic, clRed)); // all of the turtle near the centre
}

TEST_F(DesignerPluginInDesigner, PrinterAndMetafileDevicesOpenNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString base = dir.filePath(QStringLiteral("entwurf"));
    turtle->SetFilename(base.toStdString());
    turtle->SetAusgabe(tdPrinter);
    turtle->Repaint();
    EXPECT_FALSE(Printer().Printing());
    turtle->SetAusgabe(tdWMF);
    turtle->Repaint();
    turtle->SetAusgabe(tdScreen);
    EXPECT_FALSE(Printer().Printing());
    EXPECT_FALSE(QFile::exists(base + QStringLiteral(".wmf")));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(DesignerPlugin, OutsideDesignerAControlFromThePluginWorks) {
    QDesignerCustomWidgetInterface* plugin = TurtleWidget();
    ASSERT_NE(plugin, nullptr);
    // A form loader builds its widgets through the plugin without Designer's editor.
    QUiLoader loader;
    loader.clearPluginPaths();
    loader.addPluginPath(PluginDir);
    QWidget parent;
    std::unique_ptr<QWidget> w(loader.createWidget(QStringLiteral("kritzel::TTurtle"), &parent));
    auto* turtle = qobject_cast<TTurtle*>(w.get());
    ASSERT_NE(turtle, nullptr);
    EXPECT_EQ(turtle->ComponentState() & csDesigning, 0u);
    FakeClock clock(1000);
    CountingPump pump(&clock);
    ServicesScope scope(&clock, &pump);
    turtle->SetDelay(30);
    turtle->Repaint();
    EXPECT_GT(pump.waits, 0);
}

// --- Form storage ----------------------------------------------------------------------

namespace {

void ExpectFormValues(const TTurtle& t) {
    EXPECT_EQ(t.BackColor(), 0x00FF00);
    EXPECT_EQ(t.PenColor(), 0x0000FF);
    EXPECT_EQ(t.PenWidth(), 3);
    EXPECT_EQ(t.TurtleColor(), 0xFF0000);
    EXPECT_EQ(t.Delay(), 25);
    EXPECT_EQ(t.TurtleSize(), 12);
    EXPECT_FALSE(t.Showing());
    EXPECT_EQ(t.PenState(), Up);
    EXPECT_EQ(t.Heading(), 45.0);
    EXPECT_EQ(t.FileName(), "bild");
    EXPECT_EQ(t.x(), 1.5);
    EXPECT_EQ(t.y(), -2.0);
}

} // namespace

TEST(FormStorage, AFormLoaderGivesTheStoredValues) {
    QFile ui(QStringLiteral(KRITZEL_TEST_FORM));
    ASSERT_TRUE(ui.open(QIODevice::ReadOnly));
    QString error;
    std::unique_ptr<QWidget> form = LoadForm(&ui, error);
    ASSERT_NE(form, nullptr) << error.toStdString();
    auto* t = form->findChild<TTurtle*>(QStringLiteral("turtle"));
    ASSERT_NE(t, nullptr);
    ExpectFormValues(*t);
}

TEST(FormStorage, AFormCompiledByUicGivesTheStoredValues) {
    QWidget form;
    Ui::TurtleForm ui;
    ui.setupUi(&form);
    ExpectFormValues(*ui.turtle);
}

TEST(FormStorage, DefaultsAndReadOnlyValuesAreLeftOutOthersAreStored) {
    Register();
    QWidget form;
    form.setObjectName(QStringLiteral("Form"));
    TTurtle turtle(&form);
    turtle.setObjectName(QStringLiteral("turtle"));
    const auto stored = StoredProperties(SaveForm(form), QStringLiteral("kritzel::TTurtle"));
    ASSERT_FALSE(stored.empty());
    for (const char* name : WithDeclaredDefault)
        EXPECT_EQ(stored.count(QString::fromLatin1(name)), 0u) << name;
    for (const char* name : ReadOnly)
        EXPECT_EQ(stored.count(QString::fromLatin1(name)), 0u) << name;
    // Those without a declared default are always written.
    for (const char* name : {"Heading", "x", "y"})
        EXPECT_EQ(stored.count(QString::fromLatin1(name)), 1u) << name;
    EXPECT_EQ(stored.at(QStringLiteral("Heading")).toDouble(), 90.0);
}

TEST(FormStorage, AnEmptyFileNameIsLeftOutAndLoadsBackEmpty) {
    Register();
    QWidget form;
    form.setObjectName(QStringLiteral("Form"));
    TTurtle turtle(&form);
    turtle.setObjectName(QStringLiteral("turtle"));
    QByteArray saved = SaveForm(form);
    EXPECT_EQ(StoredProperties(saved, QStringLiteral("kritzel::TTurtle"))
                  .count(QStringLiteral("FileName")),
              0u);
    // Stored empty, loading would set "" and so the name "Kritzelwerk1".
    QBuffer buffer(&saved);
    buffer.open(QIODevice::ReadOnly);
    QString error;
    std::unique_ptr<QWidget> loaded = LoadForm(&buffer, error);
    ASSERT_NE(loaded, nullptr) << error.toStdString();
    auto* back = loaded->findChild<TTurtle*>(QStringLiteral("turtle"));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->FileName(), "");
}

TEST(FormStorage, ChangedValuesAreStoredResetOnesLeftOutAndTheFormLoadsBack) {
    Register();
    QWidget form;
    form.setObjectName(QStringLiteral("Form"));
    // As in Designer: a control in the designing state, edited through its properties.
    auto* turtle = new TTurtle(&form);
    turtle->SetDesigning(true);
    turtle->setObjectName(QStringLiteral("turtle"));
    const std::map<const char*, QVariant> edits = {{"BackColor", QColor(Qt::yellow)},
                                                   {"PenColor", QColor(Qt::gray)},
                                                   {"PenWidth", 4},
                                                   {"TurtleColor", QColor(Qt::green)},
                                                   {"Delay", 100},
                                                   {"TurtleSize", 9},
                                                   {"Showing", false},
                                                   {"Heading", 30.0},
                                                   {"FileName", QStringLiteral("haus")},
                                                   {"PenState", QVariant::fromValue(Up)},
                                                   {"Device", QVariant::fromValue(tdClipb)}};
    for (const auto& [name, value] : edits)
        ASSERT_TRUE(turtle->setProperty(name, value)) << name;

    const QByteArray saved = SaveForm(form);
    auto stored = StoredProperties(saved, QStringLiteral("kritzel::TTurtle"));
    for (const char* name : WithDeclaredDefault)
        EXPECT_EQ(stored.count(QString::fromLatin1(name)), 1u) << name;
    // Colours as the form tools' colour type, which Designer edits with its colour editor.
    EXPECT_EQ(stored[QStringLiteral("BackColor")], QStringLiteral("#ffff00"));
    EXPECT_EQ(turtle->BackColor(), clYellow);
    EXPECT_EQ(stored[QStringLiteral("Device")], QStringLiteral("kritzel::tdClipb"));
    EXPECT_EQ(stored[QStringLiteral("PenState")], QStringLiteral("kritzel::Up"));

    // Loaded back (without the device, which would start a recording), the control has
    // the values that were edited.
    QByteArray screenForm = saved;
    screenForm.replace("<enum>kritzel::tdClipb</enum>", "<enum>kritzel::tdScreen</enum>");
    QBuffer buffer(&screenForm);
    buffer.open(QIODevice::ReadOnly);
    QString error;
    std::unique_ptr<QWidget> loaded = LoadForm(&buffer, error);
    ASSERT_NE(loaded, nullptr) << error.toStdString();
    auto* back = loaded->findChild<TTurtle*>(QStringLiteral("turtle"));
    ASSERT_NE(back, nullptr);
    for (const auto& [name, value] : edits) {
        if (std::string(name) == "Device") continue;
        EXPECT_EQ(back->property(name), turtle->property(name)) << name;
    }

    // A tool's reset brings the declared default back, and the form leaves it out again.
    const QMetaObject* m = turtle->metaObject();
    for (const char* name : WithDeclaredDefault)
        ASSERT_TRUE(m->property(m->indexOfProperty(name)).reset(turtle)) << name;
    EXPECT_EQ(turtle->TurtleColor(), clRed);
    EXPECT_EQ(turtle->Device(), tdScreen);
    stored = StoredProperties(SaveForm(form), QStringLiteral("kritzel::TTurtle"));
    for (const char* name : WithDeclaredDefault)
        EXPECT_EQ(stored.count(QString::fromLatin1(name)), 0u) << name;
}

namespace {

// The names of the properties a form stores for the turtle, in the form's order.
QStringList PropertyOrder(const QByteArray& ui) {
    QDomDocument doc;
    EXPECT_TRUE(doc.setContent(ui));
    QStringList names;
    const QDomNodeList widgets = doc.elementsByTagName(QStringLiteral("widget"));
    for (int i = 0; i < widgets.size(); ++i) {
        const QDomElement w = widgets.at(i).toElement();
        if (w.attribute(QStringLiteral("class")) != QLatin1String("kritzel::TTurtle")) continue;
        for (QDomElement p = w.firstChildElement(QStringLiteral("property")); !p.isNull();
             p = p.nextSiblingElement(QStringLiteral("property")))
            names << p.attribute(QStringLiteral("name"));
    }
    return names;
}

std::unique_ptr<QWidget> LoadBytes(QByteArray ui, TTurtle*& turtle) {
    QBuffer buffer(&ui);
    buffer.open(QIODevice::ReadOnly);
    QString error;
    std::unique_ptr<QWidget> form = LoadForm(&buffer, error);
    EXPECT_NE(form, nullptr) << error.toStdString();
    turtle = form ? form->findChild<TTurtle*>(QStringLiteral("turtle")) : nullptr;
    return form;
}

} // namespace

TEST(FormStorage, PropertiesAreStoredInDeclarationOrderAndLoadBackAsTheyWere) {
    Register();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString stem = dir.filePath(QStringLiteral("bild"));
    QWidget form;
    form.setObjectName(QStringLiteral("Form"));
    auto* turtle = new TTurtle(&form);
    turtle->setObjectName(QStringLiteral("turtle"));
    turtle->setGeometry(10, 20, 300, 200);
    turtle->SetDesigning(true);
    turtle->SetBackColor(clYellow);
    turtle->SetHeading(30);
    turtle->setFileName(stem);
    turtle->SetAusgabe(tdWMF);
    turtle->SetPosition(1.25, -0.1);

    const QByteArray saved = SaveForm(form);
    EXPECT_EQ(SaveForm(form), saved) << "the same form is written alike";
    const QStringList order = PropertyOrder(saved);
    // The place on the form first, then the control's own in declaration order; nothing
    // else of the widget base, in particular not `visible`, false for a form not shown.
    QStringList expected{QStringLiteral("geometry")};
    const QMetaObject& m = TTurtle::staticMetaObject;
    for (int i = m.propertyOffset(); i < m.propertyCount(); ++i)
        if (order.contains(QString::fromUtf8(m.property(i).name())))
            expected << QString::fromUtf8(m.property(i).name());
    EXPECT_EQ(order, expected);
    EXPECT_TRUE(order.contains(QStringLiteral("Device")));
    EXPECT_TRUE(order.contains(QStringLiteral("x")));

    TTurtle* back = nullptr;
    std::unique_ptr<QWidget> loaded = LoadBytes(saved, back);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Device(), tdWMF);
    EXPECT_EQ(back->x(), 1.25);
    EXPECT_EQ(back->y(), -0.1);
    EXPECT_EQ(back->Heading(), 30.0);
    EXPECT_EQ(back->BackColor(), clYellow);
    EXPECT_EQ(back->geometry(), QRect(10, 20, 300, 200));
    loaded->show();
    EXPECT_TRUE(back->isVisible()) << "a loaded control shows with its form";
}

// tests/forms/designer_form.ui was written by Qt Designer's own form editor (its
// components library with this plugin), the values set through its property cursor.
TEST(FormStorage, AFormAsQtDesignerWritesItLoadsWithItsValues) {
    Register();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile ui(QStringLiteral(KRITZEL_DESIGNER_FORM));
    ASSERT_TRUE(ui.open(QIODevice::ReadOnly));
    QByteArray bytes = ui.readAll();
    bytes.replace("@STEM@", dir.filePath(QStringLiteral("tafel")).toUtf8());
    {
        TTurtle* t = nullptr;
        std::unique_ptr<QWidget> form = LoadBytes(bytes, t);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->geometry(), QRect(20, 30, 360, 300));
        EXPECT_EQ(t->BackColor(), RGB(255, 255, 0));
        EXPECT_EQ(t->PenColor(), RGB(0, 0, 255));
        EXPECT_EQ(t->TurtleColor(), RGB(0, 128, 0));
        EXPECT_EQ(t->Device(), tdWMF);
        EXPECT_EQ(QString::fromStdString(t->FileName()), dir.filePath(QStringLiteral("tafel")));
        EXPECT_EQ(t->Heading(), 45.0);
        EXPECT_EQ(t->x(), 1.25);
        EXPECT_EQ(t->y(), -0.1);
    }
    // Closing the form ends its recording in the file it names.
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("tafel.wmf"))));
}
