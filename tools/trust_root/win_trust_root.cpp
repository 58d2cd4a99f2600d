// usage: trust-root [--machine] CERTIFICATE
// Adds CERTIFICATE (PEM or DER) to the "Root" store of the current user, or
// of the local machine, replacing the same certificate if it is there.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr size_t kMaxCertificateBytes = 256 * 1024;

bool ToDer(const std::vector<char>& text, std::vector<BYTE>* der) {
  static const char kBegin[] = "-----BEGIN CERTIFICATE-----";
  const auto begin = std::search(text.begin(), text.end(), kBegin, kBegin + sizeof kBegin - 1);
  if (begin == text.end()) {
    der->assign(text.begin(), text.end());
    return !der->empty();
  }
  const DWORD length = static_cast<DWORD>(text.end() - begin);
  DWORD size = 0;
  if (!CryptStringToBinaryA(&*begin, length, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) return false;
  der->resize(size);
  return CryptStringToBinaryA(&*begin, length, CRYPT_STRING_BASE64HEADER, der->data(), &size, nullptr, nullptr) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool machine = false;
  int argument = 1;
  if (argc > argument && std::strcmp(argv[argument], "--machine") == 0) {
    machine = true;
    ++argument;
  }
  if (argc != argument + 1) {
    std::fprintf(stderr, "usage: trust-root [--machine] CERTIFICATE\n");
    return 2;
  }
  std::ifstream file(argv[argument], std::ios::binary);
  std::vector<char> text;
  if (file) {
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  std::vector<BYTE> der;
  if (text.empty() || text.size() > kMaxCertificateBytes || !ToDer(text, &der)) {
    std::fprintf(stderr, "trust-root: no certificate in %s\n", argv[argument]);
    return 1;
  }
  const DWORD location = machine ? CERT_SYSTEM_STORE_LOCAL_MACHINE : CERT_SYSTEM_STORE_CURRENT_USER;
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location, L"Root");
  if (!store) {
    std::fprintf(stderr, "trust-root: the Root store cannot be opened (%lu)\n", GetLastError());
    return 1;
  }
  const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                                      static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                      nullptr);
  const DWORD error = GetLastError();
  CertCloseStore(store, 0);
  if (!added) {
    std::fprintf(stderr, "trust-root: the certificate was not added (0x%08lX)\n", error);
    return 1;
  }
  return 0;
}
