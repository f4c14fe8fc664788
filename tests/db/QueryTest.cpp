// The shared query object against the embedded server: rows, columns, NULLs, Windows-1251
// bytes, blobs, the row cache, names, empty results, server errors and the paretq parameter.

#include "RealServer.h"

#include <gtest/gtest.h>

#include <map>

namespace orvelle::dbtest {
namespace {

using fixtures::TinyVisibleChildren;

const kvdbuild::RegisterRow& TinyRow(std::int32_t id) {
    for (const kvdbuild::RegisterRow& row : fixtures::TinyRegisterRows()) {
        if (row.id == id) {
            return row;
        }
    }
    throw std::logic_error("no tiny row " + std::to_string(id));
}

TEST(RealQuery, ChildrenComeInOrderviewOrderWithoutHiddenEntries) {
    Connection c(SharedDatabases::Tiny());
    for (std::int32_t parent : {0, 2, 23, 999}) {
        SCOPED_TRACE(parent);
        EXPECT_EQ(c.Children(parent), TinyVisibleChildren(parent));
    }
    EXPECT_TRUE(c.Children(999).empty());
}

TEST(RealQuery, RowValuesArriveAsStoredWithNullsAsZeroAndEmptyText) {
    Connection c(SharedDatabases::Tiny());
    for (std::int32_t parent : {0, 2}) {
        c.OpenChildren(parent);
        int rows = 0;
        while (!c.query.Eof()) {
            const std::int32_t id = c.query.FieldByName("id").AsInteger();
            SCOPED_TRACE(id);
            const kvdbuild::RegisterRow& row = TinyRow(id);
            EXPECT_EQ(c.query.FieldByName("idparent").AsInteger(), row.idparent.value_or(0));
            EXPECT_EQ(c.query.FieldByName("childcount").AsInteger(), row.childcount.value_or(0));
            EXPECT_EQ(c.query.FieldByName("name").AsString(), row.name.value_or(""));
            EXPECT_EQ(c.query.FieldByName("orderview").AsInteger(), row.orderview.value_or(0));
            EXPECT_EQ(c.query.FieldByName("idCONTENTS").AsInteger(), row.idcontents.value_or(0));
            EXPECT_EQ(c.query.FieldByName("ISPAPKA").AsInteger(), row.ispapka.value_or(0));
            EXPECT_EQ(c.query.FieldByName("NAME").IsNull(), !row.name.has_value());
            c.query.Next();
            ++rows;
        }
        EXPECT_EQ(rows, static_cast<int>(TinyVisibleChildren(parent).size()));
    }
}

TEST(RealQuery, CyrillicNamesKeepTheirWindows1251Bytes) {
    Connection c(SharedDatabases::Tiny());
    c.OpenChildren(0);
    // "Ёлка «№ 6»" comes first (ORDERVIEW 0).
    EXPECT_EQ(c.query.FieldByName("name").AsString(), "\xa8\xeb\xea\xe0 \xab\xb9 6\xbb");
    c.query.Next();
    EXPECT_EQ(c.query.FieldByName("name").AsString(), "\xd1\xef\xf0\xe0\xe2\xea\xe0");
}

TEST(RealQuery, FieldNamesMatchWithoutRegardToCase) {
    Connection c(SharedDatabases::Tiny());
    c.OpenChildren(2);
    db::Field& described = c.query.FieldByName("IDCONTENTS");
    EXPECT_EQ(described.FieldName(), "IDCONTENTS");
    EXPECT_EQ(&c.query.FieldByName("idCONTENTS"), &described);
    EXPECT_EQ(&c.query.FieldByName("IdContents"), &described);
    EXPECT_EQ(c.query.FieldCount(), 8);
}

TEST(RealQuery, UnknownFieldIsPrefixedWithTheQueryNameAndKeepsTheRow) {
    Connection c(SharedDatabases::Tiny());
    c.OpenChildren(2);
    c.query.Next();
    const std::int32_t id = c.query.FieldByName("id").AsInteger();
    try {
        c.query.FieldByName("x");
        ADD_FAILURE() << "found a field named x";
    } catch (const db::EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "IBQuery1: Field 'x' not found");
        EXPECT_STREQ(e.ClassName(), "EDatabaseError");
    }
    EXPECT_TRUE(c.query.Active());
    EXPECT_EQ(c.query.FieldByName("id").AsInteger(), id);
    c.query.Next();
    EXPECT_EQ(c.ReadIds().size() + 2, TinyVisibleChildren(2).size());
}

TEST(RealQuery, RegisterWithoutIdContentsFailsOnThatColumnOnly) {
    Connection c(SharedDatabases::WithoutIdContents());
    c.OpenChildren(0);
    EXPECT_EQ(c.query.FieldByName("orderview").AsInteger(), 0);
    try {
        c.query.FieldByName("idCONTENTS");
        FAIL() << "found idCONTENTS";
    } catch (const db::EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "IBQuery1: Field 'idCONTENTS' not found");
    }
    EXPECT_TRUE(c.query.Active());
}

TEST(RealQuery, EmptyResultIsAtEofWithZeroAndEmptyText) {
    Connection c(SharedDatabases::Tiny());
    c.OpenChildren(999);
    EXPECT_TRUE(c.query.Active());
    EXPECT_TRUE(c.query.Eof());
    EXPECT_EQ(c.query.FieldByName("id").AsInteger(), 0);
    EXPECT_EQ(c.query.FieldByName("name").AsString(), "");
    c.query.Next();
    EXPECT_TRUE(c.query.Eof());
    // A blob column of an empty result, and a content id with no row.
    EXPECT_EQ(c.Content(12345), "");
    EXPECT_EQ(c.Content(106), "");
}

TEST(RealQuery, ContentQueryReturnsEachStoredTextWhole) {
    Connection c(SharedDatabases::Tiny());
    for (const auto& [id, html] : fixtures::TinyContents()) {
        SCOPED_TRACE(id);
        EXPECT_EQ(c.Content(id), html);
        EXPECT_FALSE(c.query.Active());
    }
}

TEST(RealQuery, ContentQueryDiscardsTheUnreadChildren) {
    Connection c(SharedDatabases::Tiny());
    c.OpenChildren(0);
    c.query.Next();
    EXPECT_EQ(c.Content(101), fixtures::TinyContents().at(101));
    EXPECT_FALSE(c.query.Active());
    EXPECT_EQ(c.Children(0), TinyVisibleChildren(0));
}

TEST(RealQuery, BigTextBlobComesBackByteForByteAndIsReadOnce) {
    Connection c(SharedDatabases::BigBlob());
    const std::string expected = fixtures::BigBlobBytes(SharedDatabases::kBigBlobSize);
    c.SetText({"SELECT CONTENTS FROM B_DOC_CONTENTS WHERE ID = :paretq"});
    c.query.ParamByName("paretq").SetAsInteger(SharedDatabases::kBigBlobId);
    c.query.Open();
    const std::string first = c.query.FieldByName("CONTENTS").AsString();
    ASSERT_EQ(first.size(), expected.size());
    EXPECT_TRUE(first == expected) << "blob bytes differ";
    EXPECT_EQ(c.query.FieldByName("contents").AsString(), first);
    // The program's own content query, through the cross join, gives the same bytes.
    EXPECT_TRUE(c.Content(SharedDatabases::kBigBlobId) == expected);
}

TEST(RealQuery, MoreRowsThanOneCacheChunkReadWithNextAndFirst) {
    Connection c(SharedDatabases::Wide());
    c.OpenChildren(0);
    std::vector<std::int32_t> ids;
    std::map<std::int32_t, std::string> names;
    while (!c.query.Eof()) {
        const std::int32_t id = c.query.FieldByName("id").AsInteger();
        ids.push_back(id);
        names[id] = c.query.FieldByName("name").AsString();
        c.query.Next();
    }
    ASSERT_EQ(ids.size(), static_cast<std::size_t>(SharedDatabases::kWideRows));
    for (std::size_t i = 0; i < ids.size(); ++i) {
        ASSERT_EQ(ids[i], static_cast<std::int32_t>(i + 1));
        ASSERT_EQ(names[ids[i]], "Entry " + std::to_string(i + 1));
    }
    // At the end the last row stays current; First goes back to the cached first row.
    EXPECT_EQ(c.query.FieldByName("id").AsInteger(), SharedDatabases::kWideRows);
    c.query.First();
    EXPECT_FALSE(c.query.Eof());
    EXPECT_EQ(c.query.FieldByName("id").AsInteger(), 1);
    c.query.Next();
    EXPECT_EQ(c.query.FieldByName("id").AsInteger(), 2);
}

TEST(RealQuery, ServerErrorAtOpenLeavesTheQueryClosedAndTheConnectionUsable) {
    Connection c(SharedDatabases::Tiny());
    EXPECT_EQ(c.Children(0), TinyVisibleChildren(0));
    const std::vector<std::vector<std::string>> failing = {
        {"SELECT *", "FROM NO_SUCH_TABLE", "WHERE IDPARENT = :paretq"},
        {"SELECT NO_SUCH_COLUMN", "FROM B_REESTR_DOC", "WHERE IDPARENT = :paretq"},
        {"SELEC * FROM B_REESTR_DOC WHERE IDPARENT = :paretq"},
    };
    for (const auto& lines : failing) {
        SCOPED_TRACE(lines.front());
        c.SetText(lines);
        c.query.ParamByName("paretq").SetAsInteger(0);
        try {
            c.query.Open();
            FAIL() << "the server accepted the statement";
        } catch (const db::EIBInterBaseError& e) {
            EXPECT_FALSE(e.Message().empty());
            EXPECT_LT(e.SQLCode(), 0);
        }
        EXPECT_FALSE(c.query.Active());
        EXPECT_TRUE(c.database.Connected());
        EXPECT_TRUE(c.transaction.Active());
    }
    c.SetText({"SELECT *", "FROM NO_SUCH_TABLE"});
    try {
        c.query.Open();
    } catch (const db::EIBInterBaseError& e) {
        EXPECT_EQ(e.SQLCode(), -204);
        EXPECT_NE(e.Message().find("NO_SUCH_TABLE"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(c.Children(2), TinyVisibleChildren(2));
}

TEST(RealQuery, ParetqIsFoundWithoutRegardToCaseAndUnknownNamesArePrefixed) {
    Connection c(SharedDatabases::Tiny());
    c.SetText({"SELECT *", "FROM B_REESTR_DOC", "WHERE IDPARENT = :paretq AND NEEDSHOW<>0",
               "order by orderview"});
    ASSERT_EQ(c.query.Params().size(), 1u);
    EXPECT_EQ(&c.query.ParamByName("PARETQ"), &c.query.ParamByName("paretq"));
    try {
        c.query.ParamByName("parent");
        FAIL() << "found a parameter named parent";
    } catch (const db::EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "IBQuery1: Parameter 'parent' not found");
    }
    // Without a value the parameter goes as NULL, which matches no row.
    c.query.Open();
    EXPECT_TRUE(c.query.Eof());
    c.query.Close();
    c.query.ParamByName("ParetQ").SetAsInteger(23);
    c.query.Open();
    EXPECT_EQ(c.ReadIds(), TinyVisibleChildren(23));
}

TEST(RealQuery, ColonsInStringsAndCommentsReachTheServerUnchanged) {
    Connection c(SharedDatabases::Tiny());
    c.SetText({"SELECT ':not_a_param' AS S, ID /* :nor_this */", "FROM B_REESTR_DOC",
               "WHERE ID = :paretq"});
    ASSERT_EQ(c.query.Params().size(), 1u);
    c.query.ParamByName("paretq").SetAsInteger(22);
    c.query.Open();
    EXPECT_EQ(c.query.FieldByName("S").AsString(), ":not_a_param");
    EXPECT_EQ(c.query.FieldByName("ID").AsInteger(), 22);
}

} // namespace
} // namespace orvelle::dbtest
