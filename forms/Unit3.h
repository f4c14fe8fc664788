#pragma once

#include "ImageList.h"
#include "store/Library.h"

#include <QObject>

namespace orvelle::forms {

// The data module: the program's only link to the database and the shared image list.
// The connection, the transaction and the query live in `library`, which destroys them in
// reverse order (the query closed, the transaction committed, the connection detached)
// after the image list.
class TCustomerData : public QObject {
    Q_OBJECT

public:
    explicit TCustomerData(QObject* owner = nullptr);
    ~TCustomerData() override;

    store::Library library;
    db::Database& IBDatabase1{library.Database()};
    db::Transaction& IBTransaction1{library.Transaction()};
    db::Query& IBQuery1{library.Query()};
    TImageList ImageList2;
};

// The process-wide instance; null before start-up creates it and after exit destroys it.
extern TCustomerData* CustomerData;

} // namespace orvelle::forms
