#include "network/MqttClient.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mosquitto.h>
#include <mutex>

#include "datafiles/FileProblemText.h"

namespace net {
namespace {

void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

/// Why a connection could not even be begun (`rc` of libmosquitto, `err` the errno after it).
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

/// Why the broker refused the connection (the return code of its CONNACK).
std::string RefusalText(int rc)
{
    switch (rc) {
    case 1: return "брокер отказал: версия протокола не принята";
    case 2: return "брокер отказал: идентификатор клиента не принят";
    case 3: return "брокер отказал: служба недоступна";
    case 4: return "брокер отказал: неверное имя пользователя или пароль";
    case 5: return "брокер отказал: нет разрешения";
    default: return "брокер отказал: код " + std::to_string(rc);
    }
}

} // namespace

MqttClient::MqttClient(const std::string& clientId, bool cleanSession)
{
    InitLibrary();
    mosq_ = mosquitto_new(clientId.c_str(), cleanSession, this);
    if (!mosq_)
        return;
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_reconnect_delay_set(mosq_, 1, 10, true);
    mosquitto_max_inflight_messages_set(mosq_, 100);
    mosquitto_connect_callback_set(mosq_, &ConnectCb);
    mosquitto_disconnect_callback_set(mosq_, &DisconnectCb);
    mosquitto_publish_callback_set(mosq_, &PublishCb);
    mosquitto_message_callback_set(mosq_, &MessageCb);
}

MqttClient::~MqttClient()
{
    Stop();
    if (mosq_)
        mosquitto_destroy(mosq_);
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
    const int rc = mosquitto_tls_set(mosq_, caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    return rc == MOSQ_ERR_SUCCESS ? std::string() : std::string(mosquitto_strerror(rc));
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
    // A broker that is lost later is tried again by the network thread.
    const int rc = mosquitto_connect_async(mosq_, host.c_str(), port, keepAliveSeconds);
    const int err = errno;
    if (rc == MOSQ_ERR_SUCCESS) {
        mosquitto_loop_start(mosq_);
        return;
    }
    if (OnConnectFailed)
        OnConnectFailed(ConnectErrorText(rc, err));
    starter_ = std::thread([this, host, port, keepAliveSeconds] { KeepTrying(host, port, keepAliveSeconds); });
}

void MqttClient::KeepTrying(std::string host, int port, int keepAliveSeconds)
{
    // 1 s growing to 10 s between tries, as the network thread does after a loss.
    int delay = 1;
    std::unique_lock lock(starterMutex_);
    while (!starterWake_.wait_for(lock, std::chrono::seconds(delay), [this] { return stopping_; })) {
        lock.unlock();
        const bool up = mosquitto_connect(mosq_, host.c_str(), port, keepAliveSeconds) == MOSQ_ERR_SUCCESS;
        lock.lock();
        if (up && !stopping_) {
            mosquitto_loop_start(mosq_); // the CONNACK, and every later reconnect, on the network thread
            return;
        }
        delay = std::min(delay * 2, 10);
    }
}

void MqttClient::Stop()
{
    if (!mosq_ || !started_)
        return;
    started_ = false;
    {
        std::lock_guard lock(starterMutex_);
        stopping_ = true;
    }
    starterWake_.notify_all();
    if (starter_.joinable())
        starter_.join();
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    connected_ = false;
}

int MqttClient::Publish(const std::string& topic, const char* payload, int length, int qos, bool retain)
{
    if (!mosq_ || !connected_)
        return -1;
    int mid = 0;
    const int rc = mosquitto_publish(mosq_, &mid, topic.c_str(), length, payload, qos, retain);
    return rc == MOSQ_ERR_SUCCESS ? mid : -1;
}

void MqttClient::ConnectCb(mosquitto* m, void* self, int rc)
{
    auto* c = static_cast<MqttClient*>(self);
    if (rc != 0) {
        if (c->OnConnectFailed)
            c->OnConnectFailed(RefusalText(rc));
        return; // refused (credentials, ACL): the network thread tries again
    }
    if (!c->subscribe_.empty())
        mosquitto_subscribe(m, nullptr, c->subscribe_.c_str(), c->subscribeQos_);
    c->connected_ = true;
    if (c->OnConnection)
        c->OnConnection(true);
}

void MqttClient::DisconnectCb(mosquitto*, void* self, int)
{
    auto* c = static_cast<MqttClient*>(self);
    const bool was = c->connected_.exchange(false);
    if (was && c->OnConnection)
        c->OnConnection(false);
}

void MqttClient::PublishCb(mosquitto*, void* self, int mid)
{
    auto* c = static_cast<MqttClient*>(self);
    if (c->OnPublished)
        c->OnPublished(mid);
}

void MqttClient::MessageCb(mosquitto*, void* self, const mosquitto_message* m)
{
    auto* c = static_cast<MqttClient*>(self);
    if (c->OnMessage && m->topic)
        c->OnMessage(m->topic, static_cast<const char*>(m->payload), m->payloadlen);
}

} // namespace net
