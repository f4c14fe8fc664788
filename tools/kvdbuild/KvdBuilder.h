#pragma once

#include "BuildError.h"
#include "Value.h"

#include <memory>
#include <string>
#include <vector>

namespace orvelle::kvdbuild {

// Creates a new database file and fills it. The database is created with page size 8192,
// DEFAULT CHARACTER SET NONE and the requested SQL dialect; the attachment uses no character
// set, so text goes in and comes back as the same bytes.
class KvdBuilder {
public:
    // Fails with BuildError when the file exists or the server refuses the creation.
    static KvdBuilder Create(const std::string& path, int dialect = 3);
    ~KvdBuilder(); // commits and detaches; errors are ignored here (use Close() to see them)
    KvdBuilder(KvdBuilder&&) noexcept;
    KvdBuilder& operator=(KvdBuilder&&) noexcept;
    KvdBuilder(const KvdBuilder&) = delete;
    KvdBuilder& operator=(const KvdBuilder&) = delete;

    // Runs one statement (DDL or DML) and commits.
    void Execute(const std::string& sql);
    // Runs a statement with '?' parameters in the current transaction. The statement is
    // prepared on its first use and reused for every later call with the same text.
    void Insert(const std::string& sql, const std::vector<Value>& values);
    void Commit();
    // Commits and detaches now, reporting failures. The builder is unusable afterwards.
    void Close();

    const std::string& Path() const;
    int Dialect() const;

private:
    struct Impl;
    explicit KvdBuilder(std::unique_ptr<Impl> impl);
    Impl& Live();
    std::unique_ptr<Impl> impl_;
};

} // namespace orvelle::kvdbuild
