#include "Unit3.h"

#include "resources/Pictures.h"

namespace orvelle::forms {

TCustomerData* CustomerData = nullptr;

TCustomerData::TCustomerData(QObject* owner)
    : QObject(owner), ImageList2(resources::ImageListPictures()) {
    setObjectName("CustomerData");
}

TCustomerData::~TCustomerData() {
    if (CustomerData == this) {
        CustomerData = nullptr;
    }
}

} // namespace orvelle::forms
