#include "RealServer.h"

namespace orvelle::dbtest {

const fixtures::TempDir& SharedDatabases::Dir() {
    static const fixtures::TempDir dir;
    return dir;
}

const std::string& SharedDatabases::Tiny() {
    static const std::string path = [] {
        std::string file = Dir().File("tiny.kvd");
        fixtures::BuildTinyRegister(file);
        return file;
    }();
    return path;
}

const std::string& SharedDatabases::TinyDialect1() {
    static const std::string path = [] {
        std::string file = Dir().File("tiny-dialect1.kvd");
        fixtures::BuildTinyRegister(file, 1);
        return file;
    }();
    return path;
}

const std::string& SharedDatabases::WithoutIdContents() {
    static const std::string path = [] {
        std::string file = Dir().File("no-idcontents.kvd");
        fixtures::BuildRegisterWithoutIdContents(file);
        return file;
    }();
    return path;
}

const std::string& SharedDatabases::Wide() {
    static const std::string path = [] {
        std::string file = Dir().File("wide.kvd");
        fixtures::BuildWideRegister(file, kWideRows);
        return file;
    }();
    return path;
}

const std::string& SharedDatabases::BigBlob() {
    static const std::string path = [] {
        std::string file = Dir().File("big-blob.kvd");
        fixtures::BuildBigBlobDatabase(file, kBigBlobId, fixtures::BigBlobBytes(kBigBlobSize));
        return file;
    }();
    return path;
}

} // namespace orvelle::dbtest
