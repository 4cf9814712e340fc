#include "protocol/MqttReasons.h"

#include <cerrno>
#include <cstdio>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <openssl/x509_vfy.h>

#include "datafiles/FileProblemText.h"

namespace protocol {
namespace {

const char* ReasonWords(int code)
{
    switch (code) {
    case MQTT_RC_BAD_USERNAME_OR_PASSWORD:
        return "брокер отверг имя пользователя или пароль";
    case MQTT_RC_NOT_AUTHORIZED:
        return "правила доступа брокера не разрешают эту тему";
    case MQTT_RC_CLIENTID_NOT_VALID:
        return "брокер не принял идентификатор клиента";
    case MQTT_RC_BANNED:
        return "брокер запретил этого клиента";
    case MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION:
        return "брокер не поддерживает MQTT 5";
    case MQTT_RC_SERVER_UNAVAILABLE:
    case MQTT_RC_SERVER_BUSY:
        return "брокер сейчас не принимает соединения";
    case MQTT_RC_SERVER_SHUTTING_DOWN:
        return "брокер останавливается";
    case MQTT_RC_SESSION_TAKEN_OVER:
        return "сессию занял другой клиент с тем же идентификатором";
    case MQTT_RC_KEEP_ALIVE_TIMEOUT:
        return "брокер не дождался проверки связи";
    case MQTT_RC_QUOTA_EXCEEDED:
        return "у брокера кончилась квота клиента";
    case MQTT_RC_PACKET_TOO_LARGE:
        return "сообщение больше, чем принимает брокер";
    case MQTT_RC_TOPIC_NAME_INVALID:
        return "брокер не принял имя темы";
    case MQTT_RC_ADMINISTRATIVE_ACTION:
        return "соединение закрыто администратором брокера";
    case MQTT_RC_BAD_AUTHENTICATION_METHOD:
        return "брокер не знает такого способа входа";
    default:
        return "брокер отказал";
    }
}

std::string CodeText(const char* words, int reasonCode)
{
    char code[24];
    std::snprintf(code, sizeof code, " (код 0x%02X)", static_cast<unsigned>(reasonCode));
    return words + std::string(code);
}

} // namespace

std::string ReasonText(int reasonCode) { return CodeText(ReasonWords(reasonCode), reasonCode); }

std::string ConnectReasonText(int reasonCode)
{
    if (reasonCode == MQTT_RC_NOT_AUTHORIZED || reasonCode == MQTT_RC_BAD_USERNAME_OR_PASSWORD)
        return CodeText("брокер не пустил: неверное имя пользователя или пароль", reasonCode);
    return ReasonText(reasonCode);
}

std::string CertificateText(long verifyError)
{
    switch (verifyError) {
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return "имя в сертификате брокера не совпадает с его адресом";
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
        return "сертификат брокера не подписан УЦ из --mqtt-cafile";
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return "срок сертификата брокера истёк";
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return "сертификат брокера ещё не действует (часы станции?)";
    default:
        return "сертификат брокера не прошёл проверку: " + std::string(X509_verify_cert_error_string(verifyError));
    }
}

std::string ConnectErrorText(int rc, int err)
{
    if (rc == MOSQ_ERR_EAI)
        return "имя узла не найдено";
    if (rc != MOSQ_ERR_ERRNO)
        return "ошибка MQTT " + std::to_string(rc);
    switch (err) {
    case ECONNREFUSED: return "соединение отвергнуто (на этом порту никто не слушает)";
    case ETIMEDOUT: return "нет ответа";
    case EHOSTUNREACH: return "узел недостижим";
    case ENETUNREACH: return "сеть недостижима";
    default: return datafiles::ErrnoText(err);
    }
}

} // namespace protocol
