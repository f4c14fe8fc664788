#pragma once

#include "ImageList.h"
#include "db/Database.h"
#include "db/Query.h"
#include "db/Transaction.h"

#include <QObject>

namespace orvelle::forms {

// The data module: the program's only link to the database and the shared image list.
// Members are created in declaration order and destroyed in reverse: the image list, the
// query (closed), the transaction (committed), the connection (detached).
class TCustomerData : public QObject {
    Q_OBJECT

public:
    explicit TCustomerData(QObject* owner = nullptr);
    ~TCustomerData() override;

    db::Database IBDatabase1;
    db::Transaction IBTransaction1{&IBDatabase1};
    db::Query IBQuery1{"IBQuery1", &IBDatabase1, &IBTransaction1};
    TImageList ImageList2;
};

// The process-wide instance; null before start-up creates it and after exit destroys it.
extern TCustomerData* CustomerData;

} // namespace orvelle::forms
