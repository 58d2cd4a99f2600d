#include "http/proxy_setting.h"

// Linux keeps no machine-wide proxy setting that a library could read; the
// configuration's Proxy= is the only one.
TProxySetting ReadMachineProxySetting() { return TProxySetting(); }
