#include "protocol/MqttTls.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace protocol {
namespace {

/// OpenSSL's own check, with its verdict noted for the operator.
int VerifyCb(int ok, X509_STORE_CTX* store)
{
    if (!ok) {
        auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
        if (ssl)
            if (auto* error = static_cast<std::atomic<long>*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl))))
                *error = X509_STORE_CTX_get_error(store);
    }
    return ok;
}

} // namespace

SSL_CTX* MakeTlsContext(const std::string& caFile, std::atomic<long>* verifyError, std::string& why)
{
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (!context) {
        why = "TLS недоступен";
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    if (caFile.empty() || SSL_CTX_load_verify_locations(context, caFile.c_str(), nullptr) != 1) {
        ERR_clear_error();
        SSL_CTX_free(context);
        why = "не удалось прочесть сертификаты УЦ из «" + caFile + "»";
        return nullptr;
    }
    SSL_CTX_set_app_data(context, verifyError);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, &VerifyCb);
    return context;
}

void RequireTlsName(SSL_CTX* context, const std::string& host)
{
    X509_VERIFY_PARAM* param = SSL_CTX_get0_param(context);
    // An address literal is checked against the certificate's IP entries.
    if (X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) != 1) {
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0);
    }
}

} // namespace protocol
