#include "StandIn.h"

#include "db/Errors.h"

#include <algorithm>

using namespace orvelle::db;
using standin::Calls;
using standin::Names;

namespace {

long CountOf(const std::string& name) {
    const Names calls = Calls();
    return std::count(calls.begin(), calls.end(), name);
}

class SharedQuery : public standin::StandInTest {};

TEST_F(SharedQuery, OpenConnectsPreparesAndFetchesOneRow) {
    SetChildrenQuery(7);
    fake_clear_calls();
    query->Open();
    EXPECT_EQ(Calls(), (Names{"isc_attach_database", "isc_database_info", "isc_start_multiple",
                              "isc_dsql_alloc_statement2", "isc_dsql_prepare", "isc_dsql_sql_info",
                              "isc_dsql_describe_bind", "isc_dsql_describe", "isc_dsql_execute2",
                              "isc_dsql_set_cursor_name", "isc_dsql_fetch"}));
    EXPECT_STREQ(fake_last_sql(), "SELECT *\r\nFROM B_REESTR_DOC\r\nWHERE IDPARENT = ? AND "
                                  "NEEDSHOW<>0\r\norder by orderview\r\n");
    EXPECT_EQ(fake_last_prepare_length(), 0);
    EXPECT_EQ(fake_last_prepare_dialect(), 3);
    ASSERT_EQ(fake_param_count(), 1);
    EXPECT_EQ(fake_param_is_null(0), 0);
    EXPECT_EQ(fake_param_value(0), 7);
    EXPECT_EQ(fake_param_type(0), SQL_LONG);
    EXPECT_TRUE(query->Active());
    EXPECT_FALSE(query->Eof());
    EXPECT_TRUE(database->Connected());
    EXPECT_TRUE(transaction->Active());
}

TEST_F(SharedQuery, RowsAreFetchedOnDemandAndFirstRereadsTheCache) {
    fake_set_columns("ID:int,NAME:varchar");
    fake_set_rows(2503);
    SetChildrenQuery(0);
    query->Open();
    EXPECT_EQ(CountOf("isc_dsql_fetch"), 1);
    long sum = 0;
    int rows = 0;
    for (; !query->Eof(); query->Next()) {
        ++rows;
        sum += query->FieldByName("id").AsInteger();
        ASSERT_EQ(query->FieldByName("Name").AsString(), "row" + std::to_string(rows));
    }
    EXPECT_EQ(rows, 2503);
    EXPECT_EQ(sum, 2503L * 2504 / 2);
    EXPECT_EQ(CountOf("isc_dsql_fetch"), 2504); // the last one reports the end
    // At the end the last row stays current.
    EXPECT_EQ(query->FieldByName("ID").AsInteger(), 2503);
    query->Next();
    EXPECT_TRUE(query->Eof());

    fake_clear_calls();
    query->First();
    EXPECT_FALSE(query->Eof());
    EXPECT_EQ(query->FieldByName("ID").AsInteger(), 1);
    query->Next();
    EXPECT_EQ(query->FieldByName("ID").AsInteger(), 2);
    EXPECT_EQ(Calls(), Names{});
}

TEST_F(SharedQuery, EmptyResultReadsAsZeroAndEmptyWithoutCalls) {
    fake_set_rows(0);
    SetChildrenQuery(0);
    query->Open();
    EXPECT_TRUE(query->Eof());
    fake_clear_calls();
    EXPECT_EQ(query->FieldByName("id").AsInteger(), 0);
    EXPECT_EQ(query->FieldByName("contents").AsString(), "");
    EXPECT_EQ(query->FieldByName("CONTENTS").AsInteger(), 0);
    EXPECT_EQ(Calls(), Names{});
}

TEST_F(SharedQuery, NullsAndTextColumns) {
    fake_set_columns("ID:int,NAME:varchar,CODE:char,SMALL:smallint,BIG:bigint,PRICE:numeric2,"
                     "RATE:double,CONTENTS:blob");
    fake_set_null_row(1);
    SetChildrenQuery(0);
    query->Open();
    EXPECT_EQ(query->FieldByName("name").AsString(), "row1");
    EXPECT_EQ(query->FieldByName("code").AsString(), "row1      "); // CHAR keeps its padding
    EXPECT_EQ(query->FieldByName("small").AsInteger(), 1);
    EXPECT_EQ(query->FieldByName("big").AsInteger(), 1);
    EXPECT_EQ(query->FieldByName("price").AsInteger(), 2); // 1.50 rounds away from zero
    EXPECT_EQ(query->FieldByName("price").AsString(), "1.50");
    EXPECT_EQ(query->FieldByName("rate").AsInteger(), 1);
    query->Next();
    for (const char* name : {"ID", "NAME", "CODE", "SMALL", "BIG", "PRICE", "RATE", "CONTENTS"}) {
        EXPECT_TRUE(query->FieldByName(name).IsNull()) << name;
        EXPECT_EQ(query->FieldByName(name).AsInteger(), 0) << name;
        EXPECT_EQ(query->FieldByName(name).AsString(), "") << name;
    }

    // Text stops at the first NUL byte, in CHAR and VARCHAR alike.
    const char withNul[] = {'a', 'b', '\0', 'c', 'd'};
    fake_set_text(withNul, 5);
    SetChildrenQuery(0);
    query->Open();
    EXPECT_EQ(query->FieldByName("name").AsString(), "ab");
    EXPECT_EQ(query->FieldByName("code").AsString(), "ab");
}

TEST_F(SharedQuery, FieldAndParameterLookup) {
    fake_set_columns("IDCONTENTS:int,ID:int,id:int");
    SetChildrenQuery(0);
    query->Open();
    EXPECT_EQ(query->FieldCount(), 3);
    EXPECT_EQ(query->FieldByName("idCONTENTS").Index(), 0);
    EXPECT_EQ(query->FieldByName("Id").Index(), 1); // the first match in column order
    try {
        query->FieldByName("ISPAPKA");
        FAIL();
    } catch (const EDatabaseError& error) {
        EXPECT_STREQ(error.what(), "IBQuery1: Field 'ISPAPKA' not found");
        EXPECT_STREQ(error.ClassName(), "EDatabaseError");
    }
    EXPECT_TRUE(query->Active());
    EXPECT_NO_THROW(query->ParamByName("PARETQ"));
    try {
        query->ParamByName("parent");
        FAIL();
    } catch (const EDatabaseError& error) {
        EXPECT_STREQ(error.what(), "IBQuery1: Parameter 'parent' not found");
    }
}

TEST_F(SharedQuery, EveryTextChangeClosesDropsAndRebuildsParameters) {
    SetChildrenQuery(5);
    query->Open();
    fake_clear_calls();
    query->SQL().Add("/* trailing line */");
    EXPECT_FALSE(query->Active());
    EXPECT_EQ(Calls(), (Names{"isc_dsql_free_statement", "isc_dsql_free_statement"}));
    EXPECT_EQ(query->ParamByName("paretq").AsInteger(), 5); // carried over by name

    fake_clear_calls();
    query->Open(); // prepared anew
    EXPECT_EQ(CountOf("isc_dsql_prepare"), 1);
    EXPECT_EQ(fake_param_value(0), 5);

    // A parameter never given a value goes as NULL; until its line is added it does not exist.
    query->SQL().Clear();
    query->SQL().Add("SELECT * FROM T WHERE A = :a");
    EXPECT_THROW(query->ParamByName("b"), EDatabaseError);
    query->SQL().Add("AND B = :b AND C = :a");
    query->ParamByName("b").SetAsInteger(9);
    query->Open();
    ASSERT_EQ(fake_param_count(), 3);
    EXPECT_EQ(fake_param_is_null(0), 1);
    EXPECT_EQ(fake_param_value(1), 9);
    EXPECT_EQ(fake_param_is_null(2), 1);

    // A name used twice takes the value ParamByName gave it in both places.
    query->ParamByName("a").SetAsInteger(4);
    query->Close();
    query->Open();
    EXPECT_EQ(fake_param_value(0), 4);
    EXPECT_EQ(fake_param_value(2), 4);

    // Clearing an empty text changes nothing.
    query->Close();
    query->SQL().Clear();
    fake_clear_calls();
    query->SQL().Clear();
    EXPECT_EQ(Calls(), Names{});
}

TEST_F(SharedQuery, CloseFreesTheCursorOnly) {
    SetChildrenQuery(0);
    query->Open();
    fake_clear_calls();
    query->Close();
    query->Close();
    EXPECT_EQ(Calls(), Names{"isc_dsql_free_statement"});
    EXPECT_FALSE(query->Active());
    EXPECT_EQ(query->FieldCount(), 0);
    query->Open(); // still prepared
    EXPECT_EQ(CountOf("isc_dsql_prepare"), 0);
}

TEST_F(SharedQuery, EmptyStatementIsRefusedAfterAttachAndStart) {
    fake_clear_calls();
    try {
        query->Open();
        FAIL();
    } catch (const EIBClientError& error) {
        EXPECT_STREQ(error.what(), "Empty SQL Statement");
    }
    EXPECT_EQ(Calls(), (Names{"isc_attach_database", "isc_database_info", "isc_start_multiple"}));
    EXPECT_FALSE(query->Active());

    query->SQL().Add("");
    EXPECT_THROW(query->Open(), EIBClientError);
    query->SQL().Clear();
    query->SQL().Add("  \t ");
    EXPECT_THROW(query->Open(), EIBClientError);
    EXPECT_EQ(CountOf("isc_dsql_alloc_statement2"), 0);
    EXPECT_TRUE(transaction->Active());
}

TEST_F(SharedQuery, FailedOpenLeavesTheQueryClosed) {
    SetChildrenQuery(0);
    fake_fail("isc_dsql_prepare", 1);
    fake_clear_calls();
    EXPECT_THROW(query->Open(), EIBInterBaseError);
    EXPECT_FALSE(query->Active());
    EXPECT_EQ(Calls().back(), "isc_dsql_free_statement"); // the statement is dropped
    EXPECT_TRUE(transaction->Active());

    fake_fail("isc_dsql_fetch", 1);
    EXPECT_THROW(query->Open(), EIBInterBaseError);
    EXPECT_FALSE(query->Active());

    query->Open();
    EXPECT_TRUE(query->Active());
}

TEST_F(SharedQuery, NonSelectStatementIsNeverExecuted) {
    fake_set_statement_type(isc_info_sql_stmt_delete);
    query->SQL().Add("DELETE FROM B_REESTR_DOC");
    EXPECT_THROW(query->Open(), EIBClientError);
    EXPECT_EQ(CountOf("isc_dsql_execute2"), 0);
    EXPECT_FALSE(query->Active());
}

TEST_F(SharedQuery, FailedFetchKeepsTheQueryOpenOnItsRow) {
    SetChildrenQuery(0);
    query->Open();
    fake_fail("isc_dsql_fetch", 1);
    EXPECT_THROW(query->Next(), EIBInterBaseError);
    EXPECT_TRUE(query->Active());
    EXPECT_FALSE(query->Eof());
    EXPECT_EQ(query->FieldByName("ID").AsInteger(), 1);
    query->Next(); // fetched again
    EXPECT_EQ(query->FieldByName("ID").AsInteger(), 2);
}

TEST_F(SharedQuery, BlobsAreReadWholeInBoundedPiecesAndCached) {
    std::string content(100000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<char>(i * 7 + i / 256);
    }
    fake_set_blob(content.data(), static_cast<long>(content.size()));
    fake_set_blob_segment(40000); // segments longer than one piece: isc_segment is no error
    SetChildrenQuery(0);
    query->Open();
    fake_clear_calls();
    EXPECT_EQ(query->FieldByName("CONTENTS").AsString(), content);
    EXPECT_LE(fake_max_segment_request(), 16384);
    const Names calls = Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0], "isc_open_blob2");
    EXPECT_EQ(calls[1], "isc_blob_info");
    EXPECT_EQ(calls.back(), "isc_close_blob");

    fake_clear_calls();
    EXPECT_EQ(query->FieldByName("contents").AsString(), content);
    EXPECT_EQ(Calls(), Names{}); // kept with the row
    query->Next();
    query->First();
    EXPECT_EQ(query->FieldByName("contents").AsString(), content);
    EXPECT_EQ(Calls(), Names{"isc_dsql_fetch"}); // row 2 fetched, row 1's blob still cached
}

TEST_F(SharedQuery, FailedBlobReadRaisesAndStaysOpen) {
    SetChildrenQuery(0);
    query->Open();
    fake_fail("isc_get_segment", 1);
    fake_clear_calls();
    EXPECT_THROW(query->FieldByName("CONTENTS").AsString(), EIBInterBaseError);
    EXPECT_EQ(Calls().back(), "isc_close_blob");
    EXPECT_TRUE(query->Active());
    EXPECT_EQ(query->FieldByName("ID").AsInteger(), 1);
    EXPECT_EQ(query->FieldByName("CONTENTS").AsString(), "blob1"); // nothing half-cached
}

TEST_F(SharedQuery, WideResultIsDescribedAgainWithMoreSlots) {
    std::string spec;
    for (int i = 0; i < 40; ++i) {
        spec += (i ? ",C" : "C") + std::to_string(i) + ":int";
    }
    fake_set_columns(spec.c_str());
    SetChildrenQuery(0);
    query->Open();
    EXPECT_EQ(query->FieldCount(), 40);
    EXPECT_EQ(fake_short_describes(), 1);
    EXPECT_EQ(CountOf("isc_dsql_describe"), 2);
    EXPECT_EQ(query->FieldByName("C39").AsInteger(), 1);
}

TEST_F(SharedQuery, LoweredDialectIsUsedForStatements) {
    fake_set_db_dialect(1);
    SetChildrenQuery(0);
    query->Open();
    EXPECT_EQ(fake_last_prepare_dialect(), 1);
    EXPECT_EQ(fake_last_execute_dialect(), 1);
}

} // namespace

namespace {

// An answer to the blob's length that holds no length never makes a document empty: the blob
// is read to its end, whole or streamed.
class UnannouncedBlobLength : public SharedQuery, public ::testing::WithParamInterface<int> {};

TEST_P(UnannouncedBlobLength, BlobIsReadToItsEnd) {
    std::string content(2500000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<char>(i * 13 + i / 511);
    }
    fake_set_blob(content.data(), static_cast<long>(content.size()));
    fake_set_blob_info_answer(GetParam());
    SetChildrenQuery(0);
    query->Open();
    EXPECT_EQ(query->FieldByName("CONTENTS").AsString(), content);
    std::string streamed;
    query->FieldByName("CONTENTS").StreamBlob([&](const char* bytes, std::size_t size) {
        streamed.append(bytes, size);
    });
    EXPECT_EQ(streamed, content);
}

std::string AnswerName(const ::testing::TestParamInfo<int>& info) {
    const char* names[] = {"", "EndOnly", "Truncated", "Negative"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Answers, UnannouncedBlobLength, ::testing::Values(1, 2, 3), AnswerName);

TEST_F(SharedQuery, ShorterBlobAfterALongerOneComesBackExactly) {
    const std::string longer(50000, 'L');
    fake_set_blob(longer.data(), static_cast<long>(longer.size()));
    SetChildrenQuery(0);
    query->Open();
    ASSERT_EQ(query->FieldByName("CONTENTS").AsString(), longer);
    query->Close();

    fake_set_blob("short", 5);
    query->Open();
    EXPECT_EQ(query->FieldByName("CONTENTS").AsString(), "short");
    query->Next();
    EXPECT_EQ(query->FieldByName("CONTENTS").AsString(), "short");

    fake_set_blob("", 0);
    SetChildrenQuery(0);
    query->Open();
    EXPECT_EQ(query->FieldByName("CONTENTS").AsString(), "");
}

} // namespace
