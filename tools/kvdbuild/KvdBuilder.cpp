#include "KvdBuilder.h"

#include "FbClient.h"
#include "InsertStatement.h"

#include <filesystem>
#include <unordered_map>

namespace orvelle::kvdbuild {
namespace {

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c;
        if (c == '\'') {
            quoted += '\'';
        }
    }
    return quoted + "'";
}

} // namespace

struct KvdBuilder::Impl {
    const FbClient& api;
    std::string path;
    int dialect;
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    std::unordered_map<std::string, std::unique_ptr<InsertStatement>> statements;

    Impl(const FbClient& client, std::string file, int sqlDialect)
        : api(client), path(std::move(file)), dialect(sqlDialect) {}
    ~Impl() { Shut(nullptr); }

    [[noreturn]] void Fail(const ISC_STATUS* status, const std::string& what) const {
        throw BuildError(api.Message(status) + "\n(" + what + ")");
    }

    void Start() {
        ISC_STATUS_ARRAY status{};
        // One transaction existence block: this database, no transaction parameters.
        struct {
            isc_db_handle* database;
            long length;
            const char* block;
        } teb{&db, 0, nullptr};
        if (api.isc_start_multiple(status, &tr, 1, &teb) != 0) {
            Fail(status, "starting a transaction on " + path);
        }
    }

    // A fresh database writes synchronously; building needs no such care, and every commit
    // would otherwise wait for the disk. The setting is stored in the database.
    void ReattachWithoutForcedWrites() {
        ISC_STATUS_ARRAY status{};
        if (api.isc_detach_database(status, &db) != 0) {
            Fail(status, "detaching from " + path);
        }
        db = 0;
        std::string dpb{char(isc_dpb_version1)};
        const auto item = [&dpb](char code, const std::string& value) {
            dpb += code;
            dpb += static_cast<char>(value.size());
            dpb += value;
        };
        item(isc_dpb_user_name, "SYSDBA");
        item(isc_dpb_password, "cobaltine");
        item(isc_dpb_force_write, std::string(1, '\0'));
        if (api.isc_attach_database(status, 0, path.c_str(), &db, static_cast<short>(dpb.size()),
                                    dpb.data()) != 0) {
            db = 0;
            Fail(status, "attaching to " + path);
        }
    }

    void CommitAndRestart() {
        ISC_STATUS_ARRAY status{};
        if (api.isc_commit_transaction(status, &tr) != 0) {
            Fail(status, "committing on " + path);
        }
        Start();
    }

    // Commits, detaches and forgets the handles. Reports the first failure through *error
    // when error is given.
    void Shut(std::string* error) {
        statements.clear();
        ISC_STATUS_ARRAY status{};
        if (tr != 0 && api.isc_commit_transaction(status, &tr) != 0) {
            if (error != nullptr && error->empty()) {
                *error = api.Message(status) + "\n(committing on " + path + ")";
            }
            ISC_STATUS_ARRAY ignored{};
            api.isc_rollback_transaction(ignored, &tr);
        }
        tr = 0;
        if (db != 0 && api.isc_detach_database(status, &db) != 0) {
            if (error != nullptr && error->empty()) {
                *error = api.Message(status) + "\n(detaching from " + path + ")";
            }
        }
        db = 0;
    }
};

KvdBuilder::KvdBuilder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
KvdBuilder::~KvdBuilder() = default;
KvdBuilder::KvdBuilder(KvdBuilder&&) noexcept = default;
KvdBuilder& KvdBuilder::operator=(KvdBuilder&&) noexcept = default;

KvdBuilder KvdBuilder::Create(const std::string& path, int dialect) {
    if (dialect != 1 && dialect != 3) {
        throw BuildError("SQL dialect must be 1 or 3, not " + std::to_string(dialect));
    }
    std::error_code ec;
    if (std::filesystem::exists(path, ec) || ec) {
        throw BuildError("Cannot create " + path + ": the file exists");
    }
    auto impl = std::make_unique<Impl>(FbClient::Get(), path, dialect);
    const std::string sql = "CREATE DATABASE " + Quoted(path) +
                            " USER 'SYSDBA' PASSWORD 'cobaltine'"
                            " PAGE_SIZE 8192 DEFAULT CHARACTER SET NONE";
    ISC_STATUS_ARRAY status{};
    if (impl->api.isc_dsql_execute_immediate(status, &impl->db, &impl->tr, 0, sql.c_str(),
                                             static_cast<unsigned short>(dialect), nullptr) != 0) {
        impl->db = 0;
        impl->Fail(status, "creating " + path);
    }
    impl->ReattachWithoutForcedWrites();
    impl->Start();
    return KvdBuilder(std::move(impl));
}

KvdBuilder::Impl& KvdBuilder::Live() {
    if (!impl_ || impl_->db == 0) {
        throw BuildError("The database builder is closed");
    }
    return *impl_;
}

void KvdBuilder::Execute(const std::string& sql) {
    Impl& impl = Live();
    // Prepared statements could hold metadata that DDL wants to change.
    impl.statements.clear();
    ISC_STATUS_ARRAY status{};
    if (impl.api.isc_dsql_execute_immediate(status, &impl.db, &impl.tr, 0, sql.c_str(),
                                            static_cast<unsigned short>(impl.dialect),
                                            nullptr) != 0) {
        impl.Fail(status, sql);
    }
    impl.CommitAndRestart();
}

void KvdBuilder::Insert(const std::string& sql, const std::vector<Value>& values) {
    Impl& impl = Live();
    auto found = impl.statements.find(sql);
    if (found == impl.statements.end()) {
        auto statement =
            std::make_unique<InsertStatement>(impl.api, &impl.db, &impl.tr, impl.dialect, sql);
        found = impl.statements.emplace(sql, std::move(statement)).first;
    }
    found->second->Execute(values);
}

void KvdBuilder::Commit() {
    Live().CommitAndRestart();
}

void KvdBuilder::Close() {
    if (!impl_) {
        return;
    }
    std::string error;
    impl_->Shut(&error);
    if (!error.empty()) {
        throw BuildError(error);
    }
}

const std::string& KvdBuilder::Path() const {
    static const std::string none;
    return impl_ ? impl_->path : none;
}

int KvdBuilder::Dialect() const {
    return impl_ ? impl_->dialect : 0;
}

} // namespace orvelle::kvdbuild
