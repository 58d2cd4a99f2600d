#include "http/win_certificate_check.h"

#include <cstddef>
#include <vector>

#include "http/ca_file_text.h"
#include "http/tls_connection.h"
#include "http/tls_name_match.h"

namespace {

// The engine configuration as Windows 7 defines it: later members make the
// size one that Windows 7 refuses.
// fdwChecks: the name is not to be checked (wininet's flag, which the SSL
// policy takes).
constexpr DWORD kIgnoreName = 0x00001000;

constexpr DWORD kWindows7EngineConfigSize =
    offsetof(CERT_CHAIN_ENGINE_CONFIG, hExclusiveTrustedPeople) + sizeof(HCERTSTORE);

std::wstring Widened(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  const int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                        static_cast<int>(wide.size()));
  wide.resize(count > 0 ? static_cast<size_t>(count) : 0);
  return wide;
}

std::string Hex(DWORD value) {
  char text[16];
  wsprintfA(text, "0x%08lX", static_cast<unsigned long>(value));
  return text;
}

bool SameCertificate(PCCERT_CONTEXT a, PCCERT_CONTEXT b) {
  return a->cbCertEncoded == b->cbCertEncoded && memcmp(a->pbCertEncoded, b->pbCertEncoded, a->cbCertEncoded) == 0;
}

bool StoreHolds(HCERTSTORE store, PCCERT_CONTEXT certificate) {
  PCCERT_CONTEXT each = nullptr;
  while ((each = CertEnumCertificatesInStore(store, each)) != nullptr) {
    if (SameCertificate(each, certificate)) {
      CertFreeCertificateContext(each);
      return true;
    }
  }
  return false;
}

// Its subjectAltName entries.
TCertificateNames NamesOf(PCCERT_CONTEXT certificate) {
  TCertificateNames names;
  const CERT_INFO* info = certificate->pCertInfo;
  PCERT_EXTENSION extension = CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
  CERT_ALT_NAME_INFO* alternatives = nullptr;
  DWORD size = 0;
  if (extension &&
      CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData, extension->Value.cbData,
                          CRYPT_DECODE_ALLOC_FLAG, nullptr, &alternatives, &size)) {
    for (DWORD i = 0; i < alternatives->cAltEntry; ++i) {
      const CERT_ALT_NAME_ENTRY& entry = alternatives->rgAltEntry[i];
      if (entry.dwAltNameChoice == CERT_ALT_NAME_DNS_NAME && entry.pwszDNSName) {
        std::string name;
        // Only ASCII belongs in a DNS name; anything else can match nothing.
        bool ascii = true;
        for (const wchar_t* c = entry.pwszDNSName; *c; ++c) {
          if (*c > 0x7F) ascii = false;
          name += static_cast<char>(*c);
        }
        if (ascii) names.dnsNames.push_back(name);
      } else if (entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS) {
        const BYTE* bytes = entry.IPAddress.pbData;
        names.ipAddresses.emplace_back(bytes, bytes + entry.IPAddress.cbData);
      }
    }
    LocalFree(alternatives);
  }
  return names;
}

// Its own verdict on the validity time, which Wine's chain does not flag.
TResult CheckTime(const CERT_CHAIN_CONTEXT* chain, std::string* reason) {
  const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
  for (DWORD i = 0; i < simple->cElement; ++i) {
    const LONG when = CertVerifyTimeValidity(nullptr, simple->rgpElement[i]->pCertContext->pCertInfo);
    if (when != 0) {
      const char* which = i == 0 ? "the server's certificate" : "a certificate of its chain";
      *reason = std::string(which) + (when < 0 ? " is not valid yet" : " has expired");
      return TResult(RESULT_TLS_NOT_IN_TIME);
    }
  }
  if (chain->TrustStatus.dwErrorStatus & CERT_TRUST_IS_NOT_TIME_VALID) {
    *reason = "the server's certificate chain is out of its validity time";
    return TResult(RESULT_TLS_NOT_IN_TIME);
  }
  return TResult();
}

TResult CheckTrust(const CERT_CHAIN_CONTEXT* chain, HCERTSTORE caRoots, std::string* reason) {
  const DWORD status = chain->TrustStatus.dwErrorStatus;
  const CERT_SIMPLE_CHAIN* simple = chain->cChain > 0 ? chain->rgpChain[0] : nullptr;
  const CERT_CHAIN_ELEMENT* last = simple && simple->cElement > 0 ? simple->rgpElement[simple->cElement - 1] : nullptr;
  const bool selfSigned = last && (last->TrustStatus.dwInfoStatus & CERT_TRUST_IS_SELF_SIGNED) != 0;
  if (!last || (status & CERT_TRUST_IS_PARTIAL_CHAIN) || !selfSigned) {
    *reason = "the server's certificate chain does not reach a root";
    return TResult(RESULT_TLS_NOT_TRUSTED);
  }
  if (status & CERT_TRUST_IS_UNTRUSTED_ROOT) {
    *reason = simple->cElement == 1 ? "the server's certificate is self-signed and not trusted"
                                    : "the server's certificate chain ends in a root that is not trusted";
    return TResult(RESULT_TLS_NOT_TRUSTED);
  }
  if (caRoots && !StoreHolds(caRoots, last->pCertContext)) {
    *reason = "the server's certificate chain ends in a root that is not in the CA file";
    return TResult(RESULT_TLS_NOT_TRUSTED);
  }
  // Revocation is not asked for: nothing but the update server is reached.
  const DWORD ignored = CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_NOT_TIME_NESTED |
                        CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
  if (status & ~ignored) {
    *reason = (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE)
                  ? "the server's certificate is not for server authentication"
                  : "the server's certificate chain is not valid (trust status " + Hex(status) + ")";
    return TResult(RESULT_TLS_NOT_TRUSTED);
  }
  return TResult();
}

TResult CheckPolicy(const CERT_CHAIN_CONTEXT* chain, const std::string& serverName, std::string* reason) {
  std::wstring name = Widened(serverName);
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA extra{};
  extra.cbSize = sizeof extra;
  extra.dwAuthType = AUTHTYPE_SERVER;
  uint8_t address[4];
  // Wine's policy never matches IP address entries: an address is matched
  // by the program's own check alone.
  extra.fdwChecks = ParseDottedAddress(serverName, address) ? kIgnoreName : 0;
  extra.pwszServerName = &name[0];
  CERT_CHAIN_POLICY_PARA para{};
  para.cbSize = sizeof para;
  para.pvExtraPolicyPara = &extra;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &para, &status)) {
    *reason = "the server's certificate could not be checked (" + Hex(GetLastError()) + ")";
    return TResult(RESULT_TLS_NOT_TRUSTED);
  }
  switch (status.dwError) {
    case ERROR_SUCCESS:
      return TResult();
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
      *reason = "the server's certificate is not for " + serverName;
      return TResult(RESULT_TLS_NAME_MISMATCH);
    case static_cast<DWORD>(CERT_E_EXPIRED):
      *reason = "the server's certificate chain is out of its validity time";
      return TResult(RESULT_TLS_NOT_IN_TIME);
    default:
      *reason = "the server's certificate is refused (" + Hex(status.dwError) + ")";
      return TResult(RESULT_TLS_NOT_TRUSTED);
  }
}

}  // namespace

TResult CheckServerCertificate(PCCERT_CONTEXT leaf, const std::string& serverName, HCERTSTORE caRoots,
                               std::string* reason) {
  HCERTCHAINENGINE engine = nullptr;
  if (caRoots) {
    CERT_CHAIN_ENGINE_CONFIG config{};
    config.cbSize = kWindows7EngineConfigSize;
    config.hExclusiveRoot = caRoots;
    if (!CertCreateCertificateChainEngine(&config, &engine)) {
      *reason = "no certificate chain engine for the CA file (" + Hex(GetLastError()) + ")";
      return TResult(RESULT_TLS_UNAVAILABLE);
    }
  }
  LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  // Built from what the machine holds: fetching a missing certificate could
  // hold the call beyond its connect time, and reach beyond the update
  // server.
  const BOOL built = CertGetCertificateChain(engine, leaf, nullptr, leaf->hCertStore, &para,
                                             CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &chain);
  TResult result;
  if (!built || !chain) {
    *reason = "the server's certificate chain could not be built (" + Hex(GetLastError()) + ")";
    result = TResult(RESULT_TLS_NOT_TRUSTED);
  } else {
    result = CheckTrust(chain, caRoots, reason);
    if (result.Succeeded()) result = CheckTime(chain, reason);
    if (result.Succeeded()) result = CheckPolicy(chain, serverName, reason);
    if (result.Succeeded() && !CertificateMatchesHost(NamesOf(leaf), serverName)) {
      *reason = "the server's certificate is not for " + serverName;
      result = TResult(RESULT_TLS_NAME_MISMATCH);
    }
  }
  if (chain) CertFreeCertificateChain(chain);
  if (engine) CertFreeCertificateChainEngine(engine);
  return result;
}

HCERTSTORE LoadCaFile(const std::string& path, std::string* reason) {
  std::string text;
  if (!ReadCaFileText(path, &text, reason)) return nullptr;
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr);
  if (!store) {
    *reason = "no certificate store for the CA file (" + Hex(GetLastError()) + ")";
    return nullptr;
  }
  static const char kBegin[] = "-----BEGIN CERTIFICATE-----";
  static const char kEnd[] = "-----END CERTIFICATE-----";
  int certificates = 0;
  size_t position = 0;
  for (;;) {
    const size_t begin = text.find(kBegin, position);
    if (begin == std::string::npos) break;
    size_t end = text.find(kEnd, begin);
    if (end == std::string::npos) break;
    end += sizeof kEnd - 1;
    position = end;
    const DWORD blockLength = static_cast<DWORD>(end - begin);
    DWORD derLength = 0;
    if (!CryptStringToBinaryA(text.data() + begin, blockLength, CRYPT_STRING_BASE64HEADER, nullptr, &derLength,
                              nullptr, nullptr)) {
      continue;
    }
    std::vector<BYTE> der(derLength);
    if (CryptStringToBinaryA(text.data() + begin, blockLength, CRYPT_STRING_BASE64HEADER, der.data(), &derLength,
                             nullptr, nullptr) &&
        CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), derLength,
                                         CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
      ++certificates;
    }
  }
  if (certificates == 0) {
    CertCloseStore(store, 0);
    *reason = "the CA file holds no certificate (" + path + ")";
    return nullptr;
  }
  return store;
}
