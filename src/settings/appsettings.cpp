#include "settings/appsettings.h"

namespace kelto {

AppSettings& appSettings() {
    static AppSettings settings;
    return settings;
}

} // namespace kelto
