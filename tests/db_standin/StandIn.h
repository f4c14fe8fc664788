#pragma once

#include "FakeClient.h"

#include "db/ClientLibrary.h"
#include "db/Database.h"
#include "db/Query.h"
#include "db/Transaction.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace standin {

inline std::vector<std::string> Calls() {
    std::vector<std::string> calls;
    std::istringstream in(fake_calls());
    for (std::string name; in >> name;) {
        calls.push_back(name);
    }
    return calls;
}

using Names = std::vector<std::string>;

// The three objects of the data module, wired as the program wires them, over the stand-in.
class StandInTest : public ::testing::Test {
protected:
    void SetUp() override {
        orvelle::db::ClientLibrary::SetFileName(ORVELLE_FAKECLIENT_PATH);
        fake_reset();
        database = std::make_unique<orvelle::db::Database>();
        transaction = std::make_unique<orvelle::db::Transaction>(database.get());
        database->SetDefaultTransaction(transaction.get());
        query = std::make_unique<orvelle::db::Query>("IBQuery1", database.get(), transaction.get());
        database->SetDatabaseName("/data/base.kvd");
        database->Params().Add("user_name=SYSDBA");
        database->Params().Add("password=cobaltine");
    }

    void TearDown() override {
        query.reset();
        transaction.reset();
        database.reset();
    }

    void SetChildrenQuery(int parent) {
        query->Close();
        query->SQL().Clear();
        query->SQL().Add("SELECT *");
        query->SQL().Add("FROM B_REESTR_DOC");
        query->SQL().Add("WHERE IDPARENT = :paretq AND NEEDSHOW<>0");
        query->SQL().Add("order by orderview");
        query->ParamByName("paretq").SetAsInteger(parent);
    }

    std::unique_ptr<orvelle::db::Database> database;
    std::unique_ptr<orvelle::db::Transaction> transaction;
    std::unique_ptr<orvelle::db::Query> query;
};

} // namespace standin
