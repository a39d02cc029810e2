// The command reference: the Qt help file answers each public command by the identifier
// Qt Creator asks on F1, with a page that describes it, and the command overview (the
// reference's start page, the manual page, the README's table) names every command and
// links each to its entry.
#include "support.h"

#include <QFile>
#include <QHelpEngineCore>
#include <QHelpLink>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <set>

#include <gtest/gtest.h>

namespace {

struct Member {
    QString name;
    bool isConst = false;
};

// The public functions of a compound, from Doxygen's XML of the installed headers.
std::vector<Member> PublicFunctions(const QString& xmlFile) {
    QFile f(xmlFile);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << xmlFile.toStdString();
    std::vector<Member> members;
    QXmlStreamReader xml(&f);
    bool inFunction = false;
    Member m;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"memberdef") {
            const auto a = xml.attributes();
            inFunction = a.value("kind") == u"function" && a.value("prot") == u"public";
            m = Member{{}, a.value("const") == u"yes"};
        } else if (inFunction && xml.isStartElement() && xml.name() == u"name") {
            m.name = xml.readElementText();
            members.push_back(m);
            inFunction = false;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return members;
}

QString ReferenceXml(const char* compound) {
    return QStringLiteral(KRITZEL_REFERENCE_XML "/") + QLatin1String(compound) + ".xml";
}

class Help : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        engine = std::make_unique<QHelpEngineCore>(dir.filePath("kritzelwerk.qhc"));
        // A fresh collection, as Qt Creator keeps its own: the engine may write it.
        engine->setReadOnly(false);
        ASSERT_TRUE(engine->setupData()) << engine->error().toStdString();
        ASSERT_TRUE(engine->registerDocumentation(KRITZEL_QCH)) << engine->error().toStdString();
    }
    // A page of the reference by its file name, or an empty text.
    QString File(const QString& name) {
        return QString::fromUtf8(engine->fileData(QUrl(
            "qthelp://" + QHelpEngineCore::namespaceName(KRITZEL_QCH) + "/kritzelwerk/" + name)));
    }
    // The page the identifier leads to, or an empty text when it leads nowhere.
    QString Page(const QString& id) {
        const QList<QHelpLink> links = engine->documentsForIdentifier(id);
        if (links.isEmpty()) return {};
        return QString::fromUtf8(engine->fileData(links.first().url));
    }
    QTemporaryDir dir;
    std::unique_ptr<QHelpEngineCore> engine;
};

} // namespace

TEST_F(Help, EveryPublicCommandOpensItsPageByQtCreatorsIdentifier) {
    std::set<QString> names;
    for (const Member& m : PublicFunctions(ReferenceXml("classkritzel_1_1TTurtle")))
        names.insert(m.name);
    ASSERT_GT(names.size(), 40u) << "the reference lists too few commands of TTurtle";
    for (const QString& name : names) {
        if (name.startsWith('~')) continue;
        const QString page = Page("kritzel::TTurtle::" + name);
        EXPECT_TRUE(page.contains(name))
            << "F1 on TTurtle::" << name.toStdString() << " finds no page about it";
    }
    // The class itself, and the free colour functions.
    EXPECT_TRUE(Page("kritzel::TTurtle").contains("OnStartPaint"));
    EXPECT_TRUE(Page("kritzel::RGB").contains("lowest byte"));
    // The page of Forwd tells the unit.
    EXPECT_TRUE(Page("kritzel::TTurtle::Forwd").contains("LE (cm)"));
}

TEST_F(Help, StartPageIsTheCommandOverview) {
    const QString start = File("index.html");
    for (const char* topic : {"Moving", "Pen and colours", "Shapes and text", "Pacing and Escape",
                              "Output devices", "Events"})
        EXPECT_TRUE(start.contains(topic)) << topic;
}

// Each row of the start page's tables links its command to its entry, and an entry's
// anchor is a line of its own above the heading, so that F1 leaves room above it.
TEST_F(Help, StartPageLinksEachCommandToItsEntry) {
    static const QRegularExpression row(
        "<tr class=\"markdownTableRow[^\"]*\">\\s*<td[^>]*>(.*?)</td>",
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression link("^<a class=\"el\" href=\"([^\"#]+)(#([^\"]+))?\"><code>");
    int rows = 0;
    for (auto rows_ = row.globalMatch(File("index.html")); rows_.hasNext(); ++rows) {
        const QString cell = rows_.next().captured(1);
        const auto to = link.match(cell);
        ASSERT_TRUE(to.hasMatch()) << "no link to the command's entry: " << cell.toStdString();
        const QString page = File(to.captured(1));
        EXPECT_FALSE(page.isEmpty()) << cell.toStdString();
        if (to.captured(3).isEmpty()) continue; // a class: its page
        EXPECT_TRUE(page.contains("<div class=\"memanchor\" id=\"" + to.captured(3) +
                                  "\">&#160;</div>\n<h2 class=\"memtitle\">"))
            << "no anchor with room above the heading for " << cell.toStdString();
    }
    EXPECT_GE(rows, 50) << "the start page has too few commands";
}

// Every command that changes something (the const functions only read a property) has a
// row in the overview, so that the manual page and the README list it too.
TEST(Overview, NamesEveryCommand) {
    QFile f(KRITZEL_OVERVIEW);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString overview = QString::fromUtf8(f.readAll());
    for (const Member& m : PublicFunctions(ReferenceXml("classkritzel_1_1TTurtle"))) {
        if (m.isConst || !m.name.front().isUpper() || m.name == "TTurtle") continue;
        EXPECT_TRUE(overview.contains(QRegularExpression("`" + m.name + "\\(")))
            << m.name.toStdString() << " has no row in " << KRITZEL_OVERVIEW;
    }
}
