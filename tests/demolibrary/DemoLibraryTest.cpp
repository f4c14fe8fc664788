// Builds the demo library with make-demo-library and reads it back through the database
// components the viewer uses.

#include <db/Database.h>
#include <db/Query.h>
#include <db/Transaction.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace {

using namespace orvelle;

struct RunResult {
    int exitCode = -1;
    QString errors;
};

RunResult RunTool(const QStringList& arguments) {
    QProcess tool;
    tool.start(QStringLiteral(MAKE_DEMO_LIBRARY), arguments);
    if (!tool.waitForFinished(90'000)) {
        tool.kill();
        tool.waitForFinished();
        return {-1, "make-demo-library did not finish"};
    }
    const int code = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    return {code, QString::fromUtf8(tool.readAllStandardError())};
}

QString From1251(const std::string& bytes) {
    QStringDecoder decoder("windows-1251");
    return decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

struct Row {
    std::int32_t idparent = 0, id = 0, childcount = 0, orderview = 0, ispapka = 0;
    std::optional<std::int32_t> idcontents, needshow;
    QString name;
};

std::optional<std::int32_t> Nullable(db::Field& field) {
    if (field.IsNull()) {
        return std::nullopt;
    }
    return field.AsInteger();
}

// The register and the contents, read once for all cases.
struct DemoLibrary {
    QTemporaryDir dir;
    QString path;
    RunResult build;
    std::vector<Row> rows;
    std::map<std::int32_t, std::string> contents;

    const Row* Find(std::int32_t id) const {
        for (const Row& r : rows) {
            if (r.id == id) {
                return &r;
            }
        }
        return nullptr;
    }
    const Row* FindByName(const QString& name) const {
        for (const Row& r : rows) {
            if (r.name == name) {
                return &r;
            }
        }
        return nullptr;
    }
    std::vector<const Row*> Children(std::int32_t parent) const {
        std::vector<const Row*> children;
        for (const Row& r : rows) {
            if (r.idparent == parent) {
                children.push_back(&r);
            }
        }
        std::sort(children.begin(), children.end(),
                  [](const Row* a, const Row* b) { return a->orderview < b->orderview; });
        return children;
    }
    // What the tree shows: entries whose NEEDSHOW is not 0 (nor NULL) under shown parents.
    void CollectVisible(std::int32_t parent, int depth,
                        std::vector<std::pair<const Row*, int>>& out) const {
        for (const Row* r : Children(parent)) {
            if (!r->needshow || *r->needshow == 0) {
                continue;
            }
            out.push_back({r, depth});
            if (r->childcount > 0) {
                CollectVisible(r->id, depth + 1, out);
            }
        }
    }
};

void ReadLibrary(DemoLibrary& lib) {
    db::Database database;
    db::Transaction transaction{&database};
    database.SetDefaultTransaction(&transaction);
    database.SetDatabaseName(lib.path.toStdString());
    database.Params().Add("user_name=SYSDBA");
    database.Params().Add("password=cobaltine");
    database.Open();
    transaction.StartTransaction();

    db::Query query{"IBQuery1", &database, &transaction};
    query.SQL().Add(
        "SELECT IDPARENT, ID, CHILDCOUNT, NAME, ORDERVIEW, IDCONTENTS, ISPAPKA, NEEDSHOW");
    query.SQL().Add("FROM B_REESTR_DOC");
    query.Open();
    for (query.First(); !query.Eof(); query.Next()) {
        Row r;
        r.idparent = query.FieldByName("IDPARENT").AsInteger();
        r.id = query.FieldByName("ID").AsInteger();
        r.childcount = query.FieldByName("CHILDCOUNT").AsInteger();
        r.name = From1251(query.FieldByName("NAME").AsString());
        r.orderview = query.FieldByName("ORDERVIEW").AsInteger();
        r.idcontents = Nullable(query.FieldByName("IDCONTENTS"));
        r.ispapka = query.FieldByName("ISPAPKA").AsInteger();
        r.needshow = Nullable(query.FieldByName("NEEDSHOW"));
        lib.rows.push_back(r);
    }
    query.Close();

    query.SQL().Clear();
    query.SQL().Add("SELECT ID, CONTENTS FROM B_DOC_CONTENTS");
    query.Open();
    for (query.First(); !query.Eof(); query.Next()) {
        lib.contents[query.FieldByName("ID").AsInteger()] =
            query.FieldByName("CONTENTS").AsString();
    }
    query.Close();
}

class DemoLibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        lib_ = std::make_unique<DemoLibrary>();
        ASSERT_TRUE(lib_->dir.isValid());
        lib_->path = lib_->dir.filePath("demo.kvd");
        lib_->build = RunTool({lib_->path});
        if (lib_->build.exitCode == 0) {
            ReadLibrary(*lib_);
        }
    }
    static void TearDownTestSuite() { lib_.reset(); }
    void SetUp() override {
        ASSERT_EQ(lib_->build.exitCode, 0) << lib_->build.errors.toStdString();
        ASSERT_FALSE(lib_->rows.empty());
    }
    static std::unique_ptr<DemoLibrary> lib_;
};

std::unique_ptr<DemoLibrary> DemoLibraryTest::lib_;

TEST_F(DemoLibraryTest, RegisterIsConsistent) {
    const DemoLibrary& lib = *lib_;
    std::set<std::int32_t> ids;
    for (const Row& r : lib.rows) {
        EXPECT_TRUE(ids.insert(r.id).second) << "id " << r.id << " twice";
        EXPECT_EQ(r.childcount, std::int32_t(lib.Children(r.id).size()))
            << "CHILDCOUNT of " << r.id;
        EXPECT_TRUE(r.ispapka == 0 || r.ispapka == 1) << r.id;
        if (r.childcount > 0) {
            EXPECT_EQ(r.ispapka, 1) << "entry " << r.id << " has children but is no folder";
        }
        if (r.idparent != 0) {
            const Row* parent = lib.Find(r.idparent);
            ASSERT_NE(parent, nullptr) << "parent of " << r.id;
            EXPECT_EQ(parent->ispapka, 1) << "parent of " << r.id;
        }
        EXPECT_FALSE(r.name.isEmpty()) << r.id;
        // Siblings never share an ORDERVIEW, so the display order is fixed.
        for (const Row* sibling : lib.Children(r.idparent)) {
            if (sibling != &r) {
                EXPECT_NE(sibling->orderview, r.orderview) << r.id << " and " << sibling->id;
            }
        }
    }

    std::vector<std::pair<const Row*, int>> visible;
    lib.CollectVisible(0, 1, visible);
    int deepest = 0;
    int folderPages = 0;
    for (const auto& [r, depth] : visible) {
        deepest = std::max(deepest, depth);
        if (r->ispapka == 0) {
            EXPECT_TRUE(r->idcontents.has_value()) << "document " << r->id << " has no page";
        }
        if (r->idcontents) {
            EXPECT_TRUE(lib.contents.count(*r->idcontents))
                << "entry " << r->id << " points at missing content " << *r->idcontents;
            // Content ids are not entry ids: a reader mixing them up finds nothing.
            EXPECT_NE(*r->idcontents, r->id);
            folderPages += r->ispapka == 1;
        }
    }
    EXPECT_GE(deepest, 4);
    EXPECT_GE(folderPages, 3);
    EXPECT_GE(visible.size(), 30u);
}

TEST_F(DemoLibraryTest, TreeOrderAndHiddenEntries) {
    const DemoLibrary& lib = *lib_;
    std::vector<std::pair<const Row*, int>> visible;
    lib.CollectVisible(0, 1, visible);
    QStringList top;
    std::set<std::int32_t> shown;
    for (const auto& [r, depth] : visible) {
        shown.insert(r->id);
        if (depth == 1) {
            top << r->name;
        }
    }
    EXPECT_EQ(top, (QStringList{"Нормативные документы", "Методические указания", "Прайс-листы",
                                "Справочники", "Шаблоны", "О библиотеке"}));

    // A hidden document, a draft whose NEEDSHOW is NULL, and a hidden folder whose children are
    // marked visible but sit under it.
    const Row* old = lib.FindByName("Прайс-лист прошлого года (снят)");
    const Row* draft = lib.FindByName("Черновик: пусконаладочные работы");
    const Row* archive = lib.FindByName("Архив отменённых редакций");
    ASSERT_TRUE(old && draft && archive);
    EXPECT_EQ(old->needshow, 0);
    EXPECT_FALSE(draft->needshow.has_value());
    EXPECT_EQ(archive->needshow, 0);
    EXPECT_EQ(archive->ispapka, 1);
    const auto archived = lib.Children(archive->id);
    ASSERT_FALSE(archived.empty());
    for (const Row* r : archived) {
        EXPECT_EQ(r->needshow, 1);
        EXPECT_FALSE(shown.count(r->id)) << r->name.toStdString();
    }
    EXPECT_FALSE(shown.count(old->id) || shown.count(draft->id) || shown.count(archive->id));

    const Row* rules = lib.FindByName("Сметные нормы");
    ASSERT_NE(rules, nullptr);
    QStringList ruleDocs;
    for (const Row* r : lib.Children(rules->id)) {
        ruleDocs << r->name;
    }
    EXPECT_EQ(ruleDocs.first(), "Общие положения по применению сметных норм");
    EXPECT_EQ(ruleDocs.size(), 4);
}

TEST_F(DemoLibraryTest, PagesAreWindows1251Html) {
    const DemoLibrary& lib = *lib_;
    const Row* catalogue = lib.FindByName("Сводный каталог цен поставщиков");
    ASSERT_TRUE(catalogue && catalogue->idcontents);
    const std::string& big = lib.contents.at(*catalogue->idcontents);
    EXPECT_GT(big.size(), 2u * 1024 * 1024);
    const QString bigText = From1251(big);
    EXPECT_TRUE(bigText.contains("<a href=\"#grp01\">Цемент и вяжущие</a>"));
    EXPECT_TRUE(bigText.contains("<a name=\"grp01\">"));

    const Row* method = lib.FindByName("Методика определения сметной стоимости строительства");
    ASSERT_TRUE(method && method->idcontents);
    const QString methodText = From1251(lib.contents.at(*method->idcontents));
    EXPECT_TRUE(methodText.contains("<a name=\"Общие положения\">"));
    EXPECT_TRUE(methodText.contains("<h2 id=\"состав затрат\">"));
    EXPECT_TRUE(methodText.contains("<a href=\"#razdel1\">"));
    EXPECT_TRUE(
        methodText.contains("<title>Методика определения сметной стоимости строительства</title>"));

    // The rouble sign has no byte in the code page: it is stored as a character reference.
    const Row* cement = lib.FindByName("Цемент и сухие смеси");
    ASSERT_TRUE(cement && cement->idcontents);
    const std::string& cementBytes = lib.contents.at(*cement->idcontents);
    EXPECT_NE(cementBytes.find("&#8381;"), std::string::npos);
    EXPECT_TRUE(From1251(cementBytes).contains("«Северный камень»"));
    const Row* imported = lib.FindByName("Отопительное оборудование (импорт)");
    ASSERT_TRUE(imported && imported->idcontents);
    EXPECT_NE(lib.contents.at(*imported->idcontents).find("\x88 1 280,00"), std::string::npos)
        << "the euro sign should be the single byte 0x88";

    int withTitle = 0, withoutTitle = 0;
    for (const auto& [id, bytes] : lib.contents) {
        EXPECT_EQ(bytes.find("\xEF\xBB\xBF"), std::string::npos) << "UTF-8 mark in " << id;
        ++(bytes.find("<title>") != std::string::npos ? withTitle : withoutTitle);
    }
    EXPECT_GT(withTitle, 0);
    EXPECT_GT(withoutTitle, 0);
}

// Every in-page link leads to an element of the same page (by name or id), whatever the
// anchor's script, spaces or percent-encoding; the one deliberate exception is the link that
// shows a missing section scrolls nowhere.
TEST_F(DemoLibraryTest, InPageLinksFindTheirAnchors) {
    const QRegularExpression link(QStringLiteral("href=\"#([^\"]*)\""));
    const QRegularExpression target(QStringLiteral("\\b(?:name|id)=\"([^\"]*)\""));
    int links = 0;
    QSet<QString> kinds;
    for (const auto& [id, bytes] : lib_->contents) {
        const QString page = From1251(bytes);
        QSet<QString> anchors;
        for (const auto& m : target.globalMatch(page)) {
            anchors.insert(m.captured(1));
        }
        for (const auto& m : link.globalMatch(page)) {
            const QString anchor = QUrl::fromPercentEncoding(m.captured(1).toUtf8());
            ++links;
            if (anchor.contains(u' ')) {
                kinds.insert("space");
            }
            if (anchor.contains(QRegularExpression("[а-яё]"))) {
                kinds.insert("cyrillic");
            }
            if (m.captured(1).contains(u'%')) {
                kinds.insert("percent");
            }
            if (anchor == "нет-такого-раздела") {
                continue;
            }
            EXPECT_TRUE(anchors.contains(anchor))
                << "content " << id << ": no element named \"" << anchor.toStdString() << '"';
        }
    }
    EXPECT_GT(links, 40);
    EXPECT_EQ(kinds, (QSet<QString>{"space", "cyrillic", "percent"}));
}

TEST(DemoLibraryTool, RefusesExistingOutputAndLeavesNothingBehind) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString existing = dir.filePath("taken.kvd");
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    RunResult run = RunTool({existing});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.errors.contains("already exists")) << run.errors.toStdString();
    QFile kept(existing);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep me");

    run = RunTool({dir.filePath("no-such-folder/demo.kvd")});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_FALSE(run.errors.isEmpty());

    // A page missing halfway through the build: no output and no partial file remain.
    const QString content = dir.filePath("content");
    ASSERT_TRUE(QDir().mkpath(content));
    {
        QFile manifest(content + "/library.txt");
        ASSERT_TRUE(manifest.open(QIODevice::WriteOnly));
        manifest.write("1 | 0 | 10 | folder | 1 | - | Папка\n"
                       "2 | 1 | 10 | doc | 1 | missing.html | Документ\n");
    }
    const QString output = dir.filePath("out.kvd");
    run = RunTool({"--content", content, output});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.errors.contains("missing.html")) << run.errors.toStdString();
    EXPECT_FALSE(QFile::exists(output));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"taken.kvd"});
}

} // namespace
