#pragma once

// What keeps dlfx.dll in use: live objects (class factories included) and
// locks taken with IClassFactory::LockServer. DllCanUnloadNow asks.
void ServerObjectCreated();
void ServerObjectDestroyed();
void ServerLocked(bool lock);
bool ServerInUse();
