#include "webapi/DesktopInfo.h"

bool DesktopInfo::operator!=(const DesktopInfo& o) const {
    return name != o.name || state != o.state || ip != o.ip || port != o.port || streamerKey != o.streamerKey ||
           plan != o.plan || os != o.os || datacenter != o.datacenter || password != o.password ||
           enabled != o.enabled || isDefault != o.isDefault;
}
