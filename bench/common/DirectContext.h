#pragma once

// What a benchmark's baseline needs to work directly on the client API: the entry points and
// the handles of an attachment and a transaction that are already open.

#include "db/ClientLibrary.h"

namespace orvelle::bench {

struct DirectContext {
    const db::ClientApi& api;
    isc_db_handle* database;
    isc_tr_handle* transaction;
    unsigned short dialect;
};

} // namespace orvelle::bench
