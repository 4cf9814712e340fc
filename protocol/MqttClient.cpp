#include "protocol/MqttClient.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <openssl/ssl.h>

#include "protocol/MqttReasons.h"
#include "protocol/MqttTls.h"

namespace protocol {
namespace {

/// QoS 1 messages on their way in either direction at a time.
constexpr int kInflight = 100;
/// Milliseconds a pass of the network loop waits for the socket.
constexpr int kLoopMs = 500;

void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

MqttClient::MqttClient(const std::string& clientId, bool cleanSession) : cleanSession_(cleanSession)
{
    InitLibrary();
    mosq_ = mosquitto_new(clientId.c_str(), cleanSession, this);
    if (!mosq_)
        return;
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    // Publish() comes from other threads while this client's thread runs the loop.
    mosquitto_threaded_set(mosq_, true);
    mosquitto_int_option(mosq_, MOSQ_OPT_SEND_MAXIMUM, kInflight);
    mosquitto_int_option(mosq_, MOSQ_OPT_RECEIVE_MAXIMUM, kInflight);
    mosquitto_connect_v5_callback_set(mosq_, &ConnectCb);
    mosquitto_disconnect_v5_callback_set(mosq_, &DisconnectCb);
    mosquitto_publish_v5_callback_set(mosq_, &PublishCb);
    mosquitto_message_v5_callback_set(mosq_, &MessageCb);
}

MqttClient::~MqttClient()
{
    Stop();
    if (mosq_)
        mosquitto_destroy(mosq_);
    if (tls_)
        SSL_CTX_free(tls_);
}

void MqttClient::SetWill(const std::string& topic, const std::string& payload, int qos, bool retain)
{
    if (mosq_)
        mosquitto_will_set(mosq_, topic.c_str(), static_cast<int>(payload.size()), payload.data(), qos, retain);
}

void MqttClient::SetCredentials(const std::string& user, const std::string& password)
{
    if (mosq_ && !user.empty())
        mosquitto_username_pw_set(mosq_, user.c_str(), password.empty() ? nullptr : password.c_str());
}

std::string MqttClient::SetTls(const std::string& caFile)
{
    if (!mosq_)
        return "нет клиента MQTT";
    std::string why;
    SSL_CTX* context = MakeTlsContext(caFile, &verifyError_, why);
    if (!context)
        return why;
    if (tls_)
        SSL_CTX_free(tls_);
    tls_ = context;
    // Our context as it is (the library takes a reference of its own).
    mosquitto_int_option(mosq_, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0);
    mosquitto_void_option(mosq_, MOSQ_OPT_SSL_CTX, tls_);
    return {};
}

void MqttClient::SubscribeOnConnect(const std::string& pattern, int qos)
{
    subscribe_ = pattern;
    subscribeQos_ = qos;
}

void MqttClient::Start(const std::string& host, int port, int keepAliveSeconds)
{
    if (!mosq_ || started_)
        return;
    started_ = true;
    stopping_ = false;
    if (tls_)
        RequireTlsName(tls_, host);
    mosquitto_property* properties = nullptr;
    // In MQTT 5 a session ends with its connection unless the client asks
    // to keep it: a kept one has no end.
    if (!cleanSession_)
        mosquitto_property_add_int32(&properties, MQTT_PROP_SESSION_EXPIRY_INTERVAL, UINT32_MAX);
    thread_ = std::thread([this, host, port, keepAliveSeconds, properties] {
        Run(host, port, keepAliveSeconds, properties);
    });
}

void MqttClient::Run(std::string host, int port, int keepAliveSeconds, mosquitto_property* properties)
{
    int delay = 1;
    for (bool first = true;; first = false) {
        everConnected_ = false;
        verifyError_ = 0;
        // The first try sets the address and the session's properties; the
        // later ones reuse them.
        int rc = first ? mosquitto_connect_bind_v5(mosq_, host.c_str(), port, keepAliveSeconds, nullptr, properties)
                       : mosquitto_reconnect(mosq_);
        if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_TLS && OnConnectFailed)
            OnConnectFailed(ConnectErrorText(rc, errno));
        if (rc == MOSQ_ERR_SUCCESS) {
            int passes = 0; // once stopping: the goodbye goes out, briefly
            while ((rc = mosquitto_loop(mosq_, kLoopMs, 1)) == MOSQ_ERR_SUCCESS) {
                std::lock_guard lock(mutex_);
                if (stopping_ && ++passes > 4)
                    break;
            }
        }
        if (rc == MOSQ_ERR_TLS)
            Failed(rc);
        if (everConnected_)
            delay = 1;
        std::unique_lock lock(mutex_);
        if (wake_.wait_for(lock, std::chrono::seconds(delay), [this] { return stopping_; }))
            break;
        delay = std::min(delay * 2, 10);
    }
    mosquitto_property_free_all(&properties);
}

void MqttClient::Stop()
{
    if (!mosq_ || !started_)
        return;
    started_ = false;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    mosquitto_disconnect_v5(mosq_, MQTT_RC_NORMAL_DISCONNECTION, nullptr);
    thread_.join();
    connected_ = false;
}

int MqttClient::Publish(const std::string& topic, const char* payload, int length, int qos, bool retain)
{
    if (!mosq_ || !connected_)
        return -1;
    int mid = 0;
    const int rc = mosquitto_publish_v5(mosq_, &mid, topic.c_str(), length, payload, qos, retain, nullptr);
    return rc == MOSQ_ERR_SUCCESS ? mid : -1;
}

void MqttClient::Failed(int rc)
{
    if (rc >= kFirstRefusal)
        Refused(ReasonText(rc));
    else if (rc == MOSQ_ERR_TLS)
        Refused(verifyError_ != 0 ? CertificateText(verifyError_)
                                  : "соединение TLS с брокером не удалось (на этом порту нет TLS?)");
}

void MqttClient::Refused(const std::string& why)
{
    if (why == lastRefusal_)
        return;
    lastRefusal_ = why;
    if (OnRefused)
        OnRefused(why);
}

void MqttClient::ConnectCb(mosquitto* m, void* self, int rc, int, const mosquitto_property*)
{
    auto* c = static_cast<MqttClient*>(self);
    if (rc != 0) {
        c->Refused(ConnectReasonText(rc)); // the network thread tries again
        return;
    }
    if (!c->subscribe_.empty())
        mosquitto_subscribe(m, nullptr, c->subscribe_.c_str(), c->subscribeQos_);
    c->lastRefusal_.clear();
    c->everConnected_ = true;
    c->connected_ = true;
    if (c->OnConnection)
        c->OnConnection(true);
}

void MqttClient::DisconnectCb(mosquitto*, void* self, int rc, const mosquitto_property*)
{
    auto* c = static_cast<MqttClient*>(self);
    const bool was = c->connected_.exchange(false);
    if (was && c->OnConnection)
        c->OnConnection(false);
    c->Failed(rc); // the broker's reason for ending it, or a failed TLS check
}

void MqttClient::PublishCb(mosquitto*, void* self, int mid, int reasonCode, const mosquitto_property*)
{
    auto* c = static_cast<MqttClient*>(self);
    if (c->OnPublished)
        c->OnPublished(mid, reasonCode);
}

void MqttClient::MessageCb(mosquitto*, void* self, const mosquitto_message* m, const mosquitto_property*)
{
    auto* c = static_cast<MqttClient*>(self);
    if (c->OnMessage && m->topic)
        c->OnMessage(m->topic, static_cast<const char*>(m->payload), m->payloadlen, m->retain);
}

} // namespace protocol
