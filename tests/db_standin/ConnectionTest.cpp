#include "StandIn.h"

#include "db/Errors.h"

using namespace orvelle::db;
using standin::Calls;
using standin::Names;

namespace {

std::string Block(std::initializer_list<int> bytes) {
    std::string block;
    for (int b : bytes) {
        block += static_cast<char>(b);
    }
    return block;
}

std::string Item(int item, const std::string& value) {
    return std::string(1, static_cast<char>(item)) + static_cast<char>(value.size()) + value;
}

std::string LastDpb() {
    int length = 0;
    const char* data = fake_last_dpb(&length);
    return std::string(data, static_cast<std::size_t>(length));
}

class Connection : public standin::StandInTest {};

TEST_F(Connection, ParameterBlockHoldsTheLinesInOrder) {
    const std::string two = Block({1}) + Item(28, "SYSDBA") + Item(29, "cobaltine");
    EXPECT_EQ(database->BuildParameterBlock(), two);
    database->Open();
    EXPECT_EQ(LastDpb(), two);
    int length = 0;
    const char* name = fake_last_attach_name(&length);
    EXPECT_EQ(std::string(name, static_cast<std::size_t>(length)), "/data/base.kvd");
    database->Close();

    // The start-up fallback adds the two lines again: four items, same values.
    database->Params().Add("user_name=SYSDBA");
    database->Params().Add("password=cobaltine");
    database->Open();
    EXPECT_EQ(LastDpb(), two + Item(28, "SYSDBA") + Item(29, "cobaltine"));
    EXPECT_TRUE(database->Connected());
}

TEST_F(Connection, ParameterBlockNamesAndValues) {
    Database other;
    other.Params().Add("ISC_DPB_USER_NAME=admin");
    other.Params().Add("   =ignored");
    other.Params().Add("no equals sign");
    other.Params().Add("Password= spaced pass ");
    other.Params().Add("password=a=b");
    EXPECT_EQ(other.BuildParameterBlock(),
              Block({1}) + Item(28, "admin") + Item(29, " spaced pass ") + Item(29, "a=b"));

    Database unknown;
    unknown.Params().Add("user_name=SYSDBA");
    unknown.Params().Add("Lc_Bogus=WIN1251");
    unknown.SetDatabaseName("x.kvd");
    try {
        unknown.Open();
        FAIL();
    } catch (const EIBClientError& error) {
        EXPECT_STREQ(error.what(), "DPB Constant (Lc_Bogus) is unknown");
    }
    EXPECT_FALSE(unknown.Connected());
}

TEST_F(Connection, NameAndParamsAreFixedWhileConnected) {
    database->SetConnected(true);
    fake_clear_calls();
    EXPECT_NO_THROW(database->SetDatabaseName("/data/base.kvd"));
    try {
        database->SetDatabaseName("/data/other.kvd");
        FAIL();
    } catch (const EIBClientError& error) {
        EXPECT_STREQ(error.what(), "Cannot perform operation -- DB is currently open");
    }
    EXPECT_EQ(database->DatabaseName(), "/data/base.kvd");
    try {
        database->Params().Add("user_name=X");
        FAIL();
    } catch (const EIBClientError& error) {
        EXPECT_STREQ(error.what(), "Cannot perform operation -- DB is currently open");
    }
    EXPECT_EQ(database->Params().Count(), 2);
    database->SetConnected(true); // already connected: nothing is sent
    EXPECT_EQ(Calls(), Names{});

    database->Close();
    database->SetDatabaseName("/data/other.kvd");
    database->Open();
    int length = 0;
    const char* name = fake_last_attach_name(&length);
    EXPECT_EQ(std::string(name, static_cast<std::size_t>(length)), "/data/other.kvd");
}

TEST_F(Connection, MissingNameAndRefusedAttach) {
    Database unnamed;
    fake_clear_calls();
    try {
        unnamed.Open();
        FAIL();
    } catch (const EIBClientError& error) {
        EXPECT_STREQ(error.what(), "Database name is missing");
    }
    EXPECT_EQ(Calls(), Names{});

    fake_fail("isc_attach_database", 1);
    EXPECT_THROW(database->Open(), EIBInterBaseError);
    EXPECT_FALSE(database->Connected());
    EXPECT_EQ(database->DatabaseName(), "/data/base.kvd");
    database->Open(); // the retry uses the same name and lines
    EXPECT_TRUE(database->Connected());
}

TEST_F(Connection, DialectIsLoweredAndNeverRaised) {
    fake_set_db_dialect(1);
    database->Open();
    EXPECT_EQ(database->SQLDialect(), 1);
    database->Close();
    fake_set_db_dialect(3);
    database->Open();
    EXPECT_EQ(database->SQLDialect(), 1);

    Database unanswered;
    unanswered.SetDatabaseName("y.kvd");
    fake_set_db_dialect(0); // the item is missing from the answer: dialect 1
    unanswered.Open();
    EXPECT_EQ(unanswered.SQLDialect(), 1);

    Database third;
    third.SetDatabaseName("z.kvd");
    fake_set_db_dialect(3);
    third.Open();
    EXPECT_EQ(third.SQLDialect(), 3);
}

TEST_F(Connection, CloseEndsQueryThenTransactionThenAttachment) {
    SetChildrenQuery(0);
    query->Open();
    ASSERT_TRUE(query->Active());
    fake_clear_calls();
    database->Close();
    EXPECT_EQ(Calls(), (Names{"isc_dsql_free_statement", "isc_dsql_free_statement",
                              "isc_commit_transaction", "isc_detach_database"}));
    EXPECT_FALSE(query->Active());
    EXPECT_FALSE(transaction->Active());
    EXPECT_FALSE(database->Connected());
    database->Close(); // closed: nothing
    EXPECT_EQ(Calls().size(), 4u);

    // The next run attaches again, starts a new transaction and prepares anew.
    fake_clear_calls();
    query->Open();
    const Names calls = Calls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0], "isc_attach_database");
    EXPECT_EQ(calls[2], "isc_start_multiple");
    EXPECT_EQ(calls[3], "isc_dsql_alloc_statement2");
}

TEST_F(Connection, FailedCommitIsRolledBackSilently) {
    database->Open();
    transaction->StartTransaction();
    fake_fail("isc_commit_transaction", 1);
    fake_clear_calls();
    EXPECT_NO_THROW(database->Close());
    EXPECT_EQ(Calls(),
              (Names{"isc_commit_transaction", "isc_rollback_transaction", "isc_detach_database"}));
    EXPECT_FALSE(transaction->Active());
    EXPECT_FALSE(database->Connected());
}

TEST_F(Connection, FailedDetachRaisesAndStaysAttached) {
    database->Open();
    fake_fail("isc_detach_database", 1);
    EXPECT_THROW(database->Close(), EIBInterBaseError);
    EXPECT_TRUE(database->Connected());
    fake_clear_calls();
    database->Close();
    EXPECT_EQ(Calls(), Names{"isc_detach_database"});
    EXPECT_FALSE(database->Connected());
}

TEST_F(Connection, TransactionNeedsAnOpenDatabaseAndSendsOneEntry) {
    try {
        transaction->SetActive(true);
        FAIL();
    } catch (const EIBClientError& error) {
        EXPECT_STREQ(error.what(), "Cannot perform operation -- DB is not open");
    }
    EXPECT_FALSE(transaction->Active());

    database->Open();
    transaction->SetActive(true);
    EXPECT_TRUE(transaction->Active());
    EXPECT_EQ(fake_last_start_count(), 1);
    EXPECT_EQ(fake_last_start_database(), *database->Handle());
    EXPECT_EQ(fake_last_start_tpb_length(), 0);

    fake_fail("isc_start_multiple", 1);
    database->Close();
    database->Open();
    EXPECT_THROW(transaction->StartTransaction(), EIBInterBaseError);
    EXPECT_FALSE(transaction->Active());
}

// The query, the transaction and the database destroyed in every order (the letters q, t, d):
// each time the statement is released, the transaction committed (the commit fails, so it is
// rolled back) and the attachment dropped (its failure ignored), once each; a query that
// outlives its database or transaction refuses to run.
class Destruction : public standin::StandInTest,
                    public ::testing::WithParamInterface<std::string> {};

TEST_P(Destruction, CommitsAndDetachesIgnoringErrorsInAnyOrder) {
    SetChildrenQuery(1);
    query->Open();
    fake_fail("isc_commit_transaction", 1);
    fake_fail("isc_detach_database", 1);
    fake_clear_calls();
    for (const char object : GetParam()) {
        switch (object) {
        case 'q':
            query.reset();
            break;
        case 't':
            transaction.reset();
            break;
        default:
            EXPECT_NO_THROW(database.reset());
            break;
        }
        if (query && (!database || !transaction)) {
            EXPECT_THROW(query->Open(), EIBClientError);
        }
    }
    EXPECT_EQ(Calls(),
              (Names{"isc_dsql_free_statement", "isc_dsql_free_statement", "isc_commit_transaction",
                     "isc_rollback_transaction", "isc_detach_database"}));
}

INSTANTIATE_TEST_SUITE_P(Orders, Destruction,
                         ::testing::Values("qtd", "qdt", "tqd", "tdq", "dqt", "dtq"));

TEST_F(Connection, StatusVectorBecomesTheMessage) {
    fake_set_error(335544580L, -204,
                   "Dynamic SQL Error|SQL error code = -204\n|Table unknown|B_X.");
    fake_fail("isc_attach_database", 1);
    try {
        database->Open();
        FAIL();
    } catch (const EIBInterBaseError& error) {
        EXPECT_EQ(error.Message(),
                  "Dynamic SQL Error\r\nSQL error code = -204\nTable unknown\r\nB_X");
        EXPECT_EQ(error.SQLCode(), -204);
        EXPECT_EQ(error.IBErrorCode(), 335544580L);
        EXPECT_STREQ(error.ClassName(), "EIBInterBaseError");
    }

    fake_set_error(335544352L, -551, "no permission for read/select access..");
    fake_fail("isc_attach_database", 1);
    try {
        database->Open();
        FAIL();
    } catch (const EIBInterBaseRoleError& error) {
        EXPECT_EQ(error.Message(), "no permission for read/select access."); // one "." removed
        EXPECT_EQ(error.SQLCode(), -551);
    }
}

} // namespace
