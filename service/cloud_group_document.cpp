#include "service/cloud_group_document.h"

namespace service {

QJsonObject& cloudGroupDocument() {
    static QJsonObject doc;
    return doc;
}

}  // namespace service
