#include "service.h"

void PrintRegistered(FILE* out) {
  fprintf(out, "\n%s registered\n\n", kServiceName);
}

void PrintRegisterFailed(FILE* out, int error) {
  fprintf(out, "\nUnable to register %s, error %d\n\n", kServiceName, error);
}

void PrintUnregistered(FILE* out) {
  fprintf(out, "\n%s unregistered\n\n", kServiceName);
}

void PrintUnregisterFailed(FILE* out, int error) {
  fprintf(out, "\nUnable to unregister %s, error %d\n\n", kServiceName, error);
}
