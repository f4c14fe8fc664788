// orvelle-export run as a separate program on real databases.
#include "fixtures/Databases.h"
#include "fixtures/ExportRun.h"
#include "fixtures/TempDir.h"
#include "forms/BrokenRegister.h"
#include "kvdbuild/Cp1251.h"
#include "kvdbuild/Register.h"
#include "store/CacheLayout.h"
#include "store/Library.h"
#include "store/RegisterQueries.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <filesystem>

#include <gtest/gtest.h>

#include <filesystem>

#ifdef __linux__
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace orvelle;

using Outcome = fixtures::ExportRun;

Outcome Export(const QStringList& arguments,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
               const QStringList& runAs = {}) {
    QProcess process;
    process.setProcessEnvironment(environment);
    if (runAs.isEmpty()) {
        process.start(QStringLiteral(ORVELLE_EXPORT), arguments);
    } else {
        process.start(runAs.front(),
                      runAs.mid(1) + QStringList{QStringLiteral(ORVELLE_EXPORT)} + arguments);
    }
    Outcome run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QString Q(const std::string& path) {
    return QString::fromStdString(path);
}

const QByteArray kTinyListing = QByteArray("D 6 Ёлка «№ 6»\n"
                                           "D 1 Справка\n"
                                           "F 2 Нормативы и расценки\n"
                                           "  D 22 Раздел 2\n"
                                           "  F 23 Подпапка\n"
                                           "    D 231 Глубокий документ\n"
                                           "  D 21 Раздел 1\n"
                                           "F 5 \n");

class ExportTool : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new fixtures::TempDir();
        fixtures::BuildTinyRegister(folder_->File("tiny.kvd"));
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    static std::string Tiny() { return folder_->File("tiny.kvd"); }
    static fixtures::TempDir* folder_;
};

fixtures::TempDir* ExportTool::folder_ = nullptr;

TEST_F(ExportTool, TreeListsTheVisibleRegisterInDisplayOrder) {
    const Outcome run = Export({"tree", Q(Tiny())});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QList<QByteArray> lines = run.out.split('\n');
    const QList<QByteArray> expected = kTinyListing.split('\n');
    ASSERT_EQ(lines.size(), expected.size()) << run.out.toStdString();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].toStdString(), expected[i].toStdString()) << "line " << i + 1;
    }
    EXPECT_FALSE(run.out.contains(QByteArray("Скрытая")));
    EXPECT_FALSE(run.out.contains(QByteArray("Невидимый")));
    EXPECT_FALSE(run.out.contains(QByteArray("Без признака")));
    EXPECT_TRUE(run.err.isEmpty());
}

TEST_F(ExportTool, LibraryInAFolderWithCyrillicLettersAndSpaces) {
    const std::filesystem::path folder = folder_->Path() / u8"Мои документы" / u8"Сметы 2024";
    std::filesystem::create_directories(folder);
    const std::filesystem::path library = folder / u8"Библиотека норм.kvd";
    std::filesystem::copy_file(Tiny(), library);
    const Outcome run = Export({"tree", QString::fromStdU16String(library.u16string())});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), kTinyListing.toStdString());

    // A missing file there is named readably.
    const QString missing = QString::fromStdU16String((folder / u8"Нет такой.kvd").u16string());
    const Outcome failed = Export({"tree", missing});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(failed.err).contains(missing)) << failed.err.toStdString();
}

TEST_F(ExportTool, DocumentBytesComeOutUnchanged) {
    for (const auto& [id, contentId] : {std::pair{1, 101}, {22, 122}, {231, 1231}}) {
        const Outcome run = Export({"doc", Q(Tiny()), QString::number(id)});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out.toStdString(), fixtures::TinyContents().at(contentId)) << "entry " << id;
    }
    // An entry whose content row is missing gives an empty document.
    const Outcome empty = Export({"doc", Q(Tiny()), "6"});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_TRUE(empty.out.isEmpty());
}

TEST_F(ExportTool, DocumentConvertedToUtf8) {
    const Outcome run = Export({"doc", Q(Tiny()), "21", "--utf8"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const std::string& bytes = fixtures::TinyContents().at(121);
    EXPECT_GT(run.out.size(), static_cast<qsizetype>(bytes.size())); // Cyrillic takes two bytes
    EXPECT_TRUE(run.out.contains(QByteArray("Документ 121")));
    // Back to Windows-1251 it is the stored text again.
    EXPECT_EQ(kvdbuild::Cp1251(std::string_view(run.out.constData(), run.out.size())), bytes);
}

TEST_F(ExportTool, UnknownOrHiddenIdIsRefused) {
    for (const QString id : {"9999", "3", "31", "abc", "12x"}) {
        const Outcome run = Export({"doc", Q(Tiny()), id});
        EXPECT_EQ(run.exitCode, 2) << id.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << id.toStdString();
        EXPECT_FALSE(run.err.isEmpty()) << id.toStdString();
    }
}

TEST_F(ExportTool, FileThatIsNoDatabase) {
    const std::string text = folder_->File("text.kvd");
    fixtures::WriteFile(text, "this is not a database\n");
    const std::string truncated = folder_->File("truncated.kvd");
    fixtures::WriteFile(truncated, fixtures::ReadFile(Tiny()).substr(0, std::size_t{3} * 8192));
    for (const std::string& file : {text, folder_->File("missing.kvd"), truncated}) {
        for (const QStringList& arguments :
             {QStringList{"tree", Q(file)}, QStringList{"doc", Q(file), "1"}}) {
            const Outcome run = Export(arguments);
            EXPECT_EQ(run.exitCode, 1) << file;
            EXPECT_TRUE(run.out.isEmpty()) << file;
            EXPECT_TRUE(run.err.contains(QByteArray::fromStdString(file))) << run.err.toStdString();
        }
    }
}

TEST_F(ExportTool, RegisterWithoutAColumn) {
    const std::string file = folder_->File("noidcontents.kvd");
    fixtures::BuildRegisterWithoutIdContents(file);
    const Outcome run = Export({"tree", Q(file)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_TRUE(run.err.contains(QByteArray("Field 'idCONTENTS' not found")))
        << run.err.toStdString();
}

TEST_F(ExportTool, FailureDeepInTheRegisterKeepsTheLinesLoadedSoFar) {
    const std::string file = folder_->File("partial.kvd");
    formstest::BuildRegisterFailingAt231(file);
    const Outcome run = Export({"tree", Q(file)});
    EXPECT_EQ(run.exitCode, 1);
    QByteArray expected = kTinyListing;
    expected.replace(QByteArray("    D 231 Глубокий документ\n"), QByteArray());
    EXPECT_EQ(run.out.toStdString(), expected.toStdString());
    EXPECT_FALSE(run.err.isEmpty());
    EXPECT_TRUE(run.err.endsWith('\n'));
}

TEST_F(ExportTool, WrongArgumentsShowTheUsage) {
    for (const QStringList& arguments :
         {QStringList{}, QStringList{"tree"}, QStringList{"list", Q(Tiny())},
          QStringList{"doc", Q(Tiny()), "1", "--latin1"}}) {
        const Outcome run = Export(arguments);
        EXPECT_EQ(run.exitCode, 64) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains(QByteArray("usage:")));
    }
    // Asked for, the usage goes to the standard output.
    const Outcome help = Export({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("usage:"));
    EXPECT_TRUE(help.err.isEmpty());
}

// Makes a file one nobody may write while it lives: mode 0444 and, where this process may set
// it, the file system's immutable flag, which stops root too.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(std::string path) : path_(std::move(path)) {
        std::filesystem::permissions(path_, std::filesystem::perms::owner_read |
                                                std::filesystem::perms::group_read |
                                                std::filesystem::perms::others_read);
        immutable_ = SetImmutable(true);
    }
    ~ReadOnlyFile() {
        if (immutable_) {
            SetImmutable(false);
        }
        std::filesystem::permissions(path_, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
    }

private:
    bool SetImmutable(bool on) {
#ifndef __linux__
        (void)on;
        return false;
#else
        const int fd = open(path_.c_str(), O_RDONLY);
        if (fd < 0) {
            return false;
        }
        int flags = 0;
        bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        close(fd);
        return done;
#endif
    }
    std::string path_;
    bool immutable_ = false;
};

TEST_F(ExportTool, LibraryFileIsOnlyEverRead) {
    const std::string file = folder_->File("vendor.kvd");
    fixtures::BuildTinyRegister(file);
    const std::string before = fixtures::ReadFile(file);
    auto expectListing = [&](const char* when) {
        const Outcome run = Export({"tree", Q(file)});
        EXPECT_EQ(run.exitCode, 0) << when << ": " << run.err.toStdString();
        EXPECT_EQ(run.out.toStdString(), kTinyListing.toStdString()) << when;
        EXPECT_TRUE(fixtures::ReadFile(file) == before) << when << ": the library was written";
    };
    expectListing("a session");
    const Outcome doc = Export({"doc", Q(file), "231"});
    EXPECT_EQ(doc.out.toStdString(), fixtures::TinyContents().at(1231));
    {
        // Another reader, in this process, keeps the library open meanwhile.
        store::Library reader;
        reader.Open(file);
        expectListing("beside another reader");
        EXPECT_EQ(store::ReadDocumentContent(reader.Query(), 1231),
                  fixtures::TinyContents().at(1231));
    }
    {
        const ReadOnlyFile readOnly(file);
        expectListing("read-only");
    }
    EXPECT_TRUE(fixtures::ReadFile(file) == before);
}

// A copy of the tiny library whose header names an older on-disk structure.
TEST_F(ExportTool, LibraryOfAnOlderEngineIsExplained) {
    for (const int major : {10, 11}) {
        const std::string file = folder_->File("old-" + std::to_string(major) + ".kvd");
        std::string bytes = fixtures::ReadFile(Tiny());
        bytes[18] = static_cast<char>(major); // the version's low byte; the high byte keeps 0x80
        fixtures::WriteFile(file, bytes);
        const Outcome run = Export({"tree", Q(file)});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.out.isEmpty());
        const std::string err = run.err.toStdString();
        EXPECT_NE(err.find("older database engine"), std::string::npos) << err;
        EXPECT_NE(err.find("structure " + std::to_string(major) + "."), std::string::npos) << err;
        EXPECT_NE(err.find("gbak -b"), std::string::npos) << err;
        EXPECT_NE(err.find("host:path"), std::string::npos) << err;
        EXPECT_TRUE(fixtures::ReadFile(file) == bytes);
    }
}

// Ids stored as 64-bit numbers: one beyond 32 bits must never wrap into another entry's id
// (4294967301 into 5, 4294967397 into 101).
TEST_F(ExportTool, WideIdsAreRefusedNotWrapped) {
    struct Case {
        const char* wideRow;
        QStringList arguments;
        const char* named;
    };
    const Case cases[] = {
        {"0, 4294967301, 1, 'F big', 2, 6, 1, 1", {"tree"}, "4294967301"},
        {"0, 7, 0, 'D big', 3, 4294967397, 0, 1", {"doc", "7"}, "4294967397"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string file = folder_->File("bigint-" + std::to_string(n++) + ".kvd");
        auto builder = kvdbuild::KvdBuilder::Create(file);
        builder.Execute("CREATE TABLE B_REESTR_DOC (IDPARENT BIGINT, ID BIGINT, CHILDCOUNT "
                        "INTEGER, NAME VARCHAR(255), ORDERVIEW INTEGER, IDCONTENTS BIGINT, "
                        "ISPAPKA INTEGER, NEEDSHOW INTEGER)");
        builder.Execute("CREATE TABLE B_DOC_CONTENTS (ID BIGINT, CONTENTS BLOB SUB_TYPE TEXT)");
        builder.Execute("INSERT INTO B_REESTR_DOC VALUES (0, 5, 1, 'F 5', 1, 5, 1, 1)");
        builder.Execute("INSERT INTO B_REESTR_DOC VALUES (5, 51, 0, 'D 51', 1, 51, 0, 1)");
        builder.Execute("INSERT INTO B_REESTR_DOC VALUES (" + std::string(c.wideRow) + ")");
        builder.Execute("INSERT INTO B_DOC_CONTENTS VALUES (101, 'another entry')");
        builder.Close();
        QStringList arguments = c.arguments;
        arguments.insert(1, Q(file));
        const Outcome run = Export(arguments);
        EXPECT_EQ(run.exitCode, 1) << c.named;
        EXPECT_FALSE(run.out.contains(QByteArray("another entry"))) << run.out.toStdString();
        EXPECT_FALSE(run.out.contains(QByteArray("big"))) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(QByteArray(c.named))) << run.err.toStdString();
    }
}

#ifdef __linux__

// The private copies of one library in the user's cache.
std::vector<std::string> CopiesOf(const std::string& library) {
    std::vector<std::string> copies;
    const std::string prefix = store::LibraryKey(library) + "-";
    for (const auto& entry : std::filesystem::directory_iterator(store::LibrariesFolder())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && entry.path().extension() == ".kvd") {
            copies.push_back(name);
        }
    }
    return copies;
}

TEST_F(ExportTool, ProgramsAndTheIndexBuilderShareOneCopy) {
    const std::string file = folder_->File("shared.kvd");
    fixtures::BuildTinyRegister(file);
    store::Library viewer; // as a viewer holds it
    viewer.Open(file);
    // Two more programs at once, one of them building the index on a connection of its own.
    QProcess tree, index;
    tree.start(QStringLiteral(ORVELLE_EXPORT), {"tree", Q(file)});
    index.start(QStringLiteral(ORVELLE_EXPORT), {"index", Q(file)});
    ASSERT_TRUE(tree.waitForFinished(60000) && index.waitForFinished(60000));
    EXPECT_EQ(tree.exitCode(), 0) << tree.readAllStandardError().toStdString();
    EXPECT_EQ(index.exitCode(), 0) << index.readAllStandardError().toStdString();
    EXPECT_EQ(tree.readAllStandardOutput().toStdString(), kTinyListing.toStdString());
    EXPECT_EQ(CopiesOf(file).size(), 1u);
    EXPECT_EQ(store::ReadDocumentContent(viewer.Query(), 1231), fixtures::TinyContents().at(1231));
}

// A library changed while a viewer holds it: the viewer is told, and orvelle-export reads
// what the file holds now; the viewer's connection keeps reading the state it attached.
enum class Change { Replaced, WrittenInPlaceWithItsTimePutBack };

class ChangedLibrary : public ExportTool, public ::testing::WithParamInterface<Change> {};

TEST_P(ChangedLibrary, IsNoticedAndReadAsItIsNow) {
    // Entry 6 shows content 106, which the tiny register leaves to the test.
    const std::string file = folder_->File("changing.kvd");
    const std::string next = folder_->File("next.kvd");
    std::filesystem::remove(file);
    std::filesystem::remove(next);
    fixtures::BuildBigBlobDatabase(file, 106, "state one");
    fixtures::BuildBigBlobDatabase(next, 106, "state two");
    store::Library viewer;
    viewer.Open(file);
    ASSERT_EQ(Export({"doc", Q(file), "6"}).out.toStdString(), "state one");
    if (GetParam() == Change::Replaced) {
        std::filesystem::rename(next, file);
    } else {
        const std::string bytes = fixtures::ReadFile(next);
        ASSERT_EQ(bytes.size(), std::filesystem::file_size(file));
        fixtures::OverwriteKeepingTime(file, bytes);
    }
    EXPECT_TRUE(viewer.ChangedOnDisk());
    const Outcome run = Export({"doc", Q(file), "6"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), "state two");
    EXPECT_EQ(store::ReadDocumentContent(viewer.Query(), 106), "state one");
}

INSTANTIATE_TEST_SUITE_P(Changes, ChangedLibrary,
                         ::testing::Values(Change::Replaced,
                                           Change::WrittenInPlaceWithItsTimePutBack));

// Run as another user (nobody, when the tests run as root): a lock folder of someone else's in
// the environment it inherits is never used, the copy goes to its own cache, for it alone; with
// no home at all it says so.
TEST_F(ExportTool, EachUserHasLocksAndCacheOfItsOwn) {
    QStringList runAs;
    fixtures::TempDir home;
    fixtures::TempDir foreign; // another user's lock folder: nobody else may enter
    if (geteuid() == 0) {
        runAs = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        ASSERT_EQ(chown(home.Path().c_str(), 65534, 65534), 0);
        chmod(foreign.Path().c_str(), 0700);
    } else {
        chmod(foreign.Path().c_str(), 0);
    }
    const std::string file = folder_->File("for-everyone.kvd");
    fixtures::BuildTinyRegister(file);
    chmod(file.c_str(), 0644);
    chmod(folder_->Path().c_str(), 0755);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "FIREBIRD"}) {
        environment.remove(QString::fromLatin1(name));
    }
    environment.insert(QStringLiteral("FIREBIRD_LOCK"), Q(foreign.Path().string()));
    environment.insert(QStringLiteral("HOME"), Q(home.Path().string()));
    const Outcome run = Export({"tree", Q(file)}, environment, runAs);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), kTinyListing.toStdString());
    EXPECT_TRUE(std::filesystem::is_empty(foreign.Path()));
    const std::filesystem::path cache = home.Path() / ".cache" / "orvelle";
    for (const std::filesystem::path& folder :
         {cache, cache / "engine-lock", cache / "libraries"}) {
        struct stat info {};
        EXPECT_EQ(stat(folder.c_str(), &info), 0) << folder;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
        EXPECT_EQ(info.st_uid, runAs.isEmpty() ? geteuid() : 65534u) << folder;
    }

    environment.remove(QStringLiteral("HOME"));
    const Outcome homeless = Export({"tree", Q(file)}, environment, runAs);
    EXPECT_EQ(homeless.exitCode, 1);
    EXPECT_NE(homeless.err.toStdString().find("No folder for the program's cache"),
              std::string::npos)
        << homeless.err.toStdString();
}

#endif

} // namespace
