#include "platform/StartupFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvelle::platform;

namespace {

class StartupFilesTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }

    QString WriteFile(const QByteArray& bytes, const QString& name = QStringLiteral("path.ini")) {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return Path(name);
    }

    QByteArray Contents(const QString& name) {
        QFile file(name);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    QString FirstLineOf(const QByteArray& bytes) {
        const FirstLineResult result = ReadFirstLine(WriteFile(bytes));
        EXPECT_EQ(result.status, OpenStatus::Opened);
        return result.line;
    }

    QTemporaryDir dir_;
};

class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard() : saved_(QDir::currentPath()) {}
    ~CurrentDirectoryGuard() { QDir::setCurrent(saved_); }

private:
    QString saved_;
};

} // namespace

// --- current directory and the name of path.ini ------------------------------------------

TEST_F(StartupFilesTest, CurrentDirectoryHasNativeSeparatorsAndNoTrailingOne) {
    CurrentDirectoryGuard guard;
    const QString canonical = QDir(dir_.path()).canonicalPath();
    ASSERT_TRUE(QDir::setCurrent(canonical));
    EXPECT_EQ(CurrentDirectory(), QDir::toNativeSeparators(canonical));
    EXPECT_FALSE(CurrentDirectory().endsWith(QDir::separator()));

    ASSERT_TRUE(QDir::setCurrent(QDir::rootPath()));
    EXPECT_EQ(CurrentDirectory(), QDir::toNativeSeparators(QDir::rootPath()));
}

TEST_F(StartupFilesTest, PathIniNameJoinsWithOneSeparator) {
    const QString sep = QDir::separator();
    EXPECT_EQ(PathIniName(QStringLiteral("base") + sep + QStringLiteral("dir")),
              QStringLiteral("base") + sep + QStringLiteral("dir") + sep +
                  QStringLiteral("path.ini"));
    const QString root = QDir::toNativeSeparators(QDir::rootPath());
    EXPECT_EQ(PathIniName(root), root + QStringLiteral("path.ini"));
}

// --- reading the first line --------------------------------------------------------------

TEST_F(StartupFilesTest, FirstLineEndsAtLfOrCrLf) {
    EXPECT_EQ(FirstLineOf("C:\\db\\a.kvd\r\nsecond\r\n"), QStringLiteral("C:\\db\\a.kvd"));
    EXPECT_EQ(FirstLineOf("/srv/a.kvd\nsecond\n"), QStringLiteral("/srv/a.kvd"));
    EXPECT_EQ(FirstLineOf("/srv/a.kvd"), QStringLiteral("/srv/a.kvd"));
    EXPECT_EQ(FirstLineOf("a\rb\r\n"), QStringLiteral("a\rb"));
    EXPECT_EQ(FirstLineOf("a\r\r\n"), QStringLiteral("a\r"));
    EXPECT_EQ(FirstLineOf("ends in cr\r"), QStringLiteral("ends in cr\r"));
}

TEST_F(StartupFilesTest, FirstLineKeepsBlanksAndSkipsAUtf8Bom) {
    EXPECT_EQ(FirstLineOf("  /srv/a b.kvd \t\r\n"), QStringLiteral("  /srv/a b.kvd \t"));
    EXPECT_EQ(FirstLineOf("\xEF\xBB\xBF/srv/a.kvd\r\n"), QStringLiteral("/srv/a.kvd"));
    EXPECT_EQ(FirstLineOf("\xEF\xBB\xBF\r\nx"), QString());
    EXPECT_EQ(FirstLineOf(QStringLiteral("/дом/База №1.kvd\r\n").toUtf8()),
              QStringLiteral("/дом/База №1.kvd"));
}

TEST_F(StartupFilesTest, EmptyFileOrEmptyFirstLineGivesEmptyPath) {
    EXPECT_EQ(FirstLineOf(""), QString());
    EXPECT_EQ(FirstLineOf("\r\n/srv/a.kvd\r\n"), QString());
    EXPECT_EQ(FirstLineOf("\n"), QString());
}

TEST_F(StartupFilesTest, FirstLineIsNoLongerThanAPathCanBe) {
    // The longest name the client library takes is read whole, with a byte-order mark and CR LF.
    const QByteArray longest(32767, 'x');
    EXPECT_EQ(FirstLineOf("\xEF\xBB\xBF" + longest + "\r\nsecond"), QString::fromLatin1(longest));
    EXPECT_EQ(FirstLineOf(longest), QString::fromLatin1(longest));

    // One byte more is refused with a message, also when the line break comes later.
    for (const QByteArray& bytes :
         {QByteArray(longest + "x"), QByteArray(longest + "x\r\nsecond")}) {
        try {
            ReadFirstLine(WriteFile(bytes));
            ADD_FAILURE() << "a line of " << bytes.size() << " bytes was taken for a path";
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find("path.ini"), std::string::npos) << e.what();
        }
    }

    // A huge file without a line break is refused without being read whole: 1 GB, sparse.
    const QString huge = WriteFile("x");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.resize(qint64(1) << 30));
    }
    EXPECT_THROW(ReadFirstLine(huge), FileError);
}

TEST_F(StartupFilesTest, MissingFileIsToldApartFromOtherFailures) {
    const FirstLineResult missing = ReadFirstLine(Path("path.ini"));
    EXPECT_EQ(missing.status, OpenStatus::Missing);
    EXPECT_EQ(ReadFirstLine(Path("no/such/dir/path.ini")).status, OpenStatus::Missing);

    ASSERT_TRUE(QDir(dir_.path()).mkdir("path.ini"));
    try {
        const FirstLineResult folder = ReadFirstLine(Path("path.ini"));
        EXPECT_EQ(folder.status, OpenStatus::Failed);
        EXPECT_FALSE(folder.error.isEmpty());
    } catch (const FileError& error) {
        // Some systems open a folder and fail only on reading it.
        EXPECT_STRNE(error.what(), "");
    }
}

// --- writing path.ini --------------------------------------------------------------------

TEST_F(StartupFilesTest, WritesExactlyOneLineEndingInCrLf) {
    const QString name = WriteFile("an older and much longer content\r\nsecond line\r\n");
    const QString chosen = QStringLiteral("/дом/сметы/База.kvd");
    WriteSingleLine(name, chosen);
#ifdef _WIN32
    EXPECT_EQ(Contents(name), chosen.toLocal8Bit() + "\r\n");
#else
    EXPECT_EQ(Contents(name), chosen.toUtf8() + "\r\n");
#endif
    const FirstLineResult back = ReadFirstLine(name);
    EXPECT_EQ(back.status, OpenStatus::Opened);
    EXPECT_EQ(back.line, chosen);

    WriteSingleLine(Path("new.ini"), QStringLiteral(" spaced "));
    EXPECT_EQ(Contents(Path("new.ini")), QByteArray(" spaced \r\n"));
}

TEST_F(StartupFilesTest, CreateEmptyFileEmptiesAnExistingFile) {
    const QString name = WriteFile("/srv/a.kvd\r\n");
    CreateEmptyFile(name);
    EXPECT_EQ(Contents(name), QByteArray());
    EXPECT_EQ(ReadFirstLine(name).status, OpenStatus::Opened);
    EXPECT_EQ(ReadFirstLine(name).line, QString());
}

TEST_F(StartupFilesTest, FailuresToCreateOrWriteThrowWithTheSystemsMessage) {
    const QString unreachable = Path("no/such/dir/path.ini");
    try {
        CreateEmptyFile(unreachable);
        ADD_FAILURE() << "no error";
    } catch (const FileError& error) {
        EXPECT_STRNE(error.what(), "");
    }
    EXPECT_THROW(WriteSingleLine(unreachable, QStringLiteral("x")), FileError);
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder"));
    EXPECT_THROW(WriteSingleLine(Path("folder"), QStringLiteral("x")), FileError);
}

// --- the *.kvd probe ---------------------------------------------------------------------

TEST_F(StartupFilesTest, ProbeFindsAnyKindOfKvdEntry) {
    const QString folder = dir_.path();
    EXPECT_FALSE(HasKvdEntry(folder));
    WriteFile("x", "notes.txt");
    WriteFile("x", "base.kvd.bak");
    WriteFile("x", "kvd");
    WriteFile("x", "basekvd");
    EXPECT_FALSE(HasKvdEntry(folder));

    QTemporaryDir a, b, c, d;
    QFile(a.filePath("base.kvd")).open(QIODevice::WriteOnly);
    EXPECT_TRUE(HasKvdEntry(a.path()));
    QFile(b.filePath("BASE.KVD")).open(QIODevice::WriteOnly);
    EXPECT_TRUE(HasKvdEntry(b.path()));
    ASSERT_TRUE(QDir(c.path()).mkdir("archive.Kvd"));
    EXPECT_TRUE(HasKvdEntry(c.path()));
    QFile(d.filePath(".hidden.kvd")).open(QIODevice::WriteOnly);
    EXPECT_TRUE(HasKvdEntry(d.path()));
}

TEST_F(StartupFilesTest, ProbeOfAMissingFolderFindsNothing) {
    EXPECT_FALSE(HasKvdEntry(Path("missing")));
    EXPECT_FALSE(HasKvdEntry(QString()));
}

#ifndef _WIN32
TEST_F(StartupFilesTest, ProbeCountsADanglingLink) {
    ASSERT_TRUE(QFile::link(Path("nowhere"), Path("gone.kvd")));
    EXPECT_TRUE(HasKvdEntry(dir_.path()));
}
#endif
