#pragma once
// A connection to an MQTT broker through libmosquitto, in MQTT 5 so that a
// refusal comes with its reason. A network thread of its own connects,
// reconnects after a loss or a refusal (1 s growing to 10 s between tries)
// and keeps the connection alive, so no caller ever waits on the network.
// Callbacks come on that thread.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct mosquitto;
struct mosquitto_message;
typedef struct mqtt5__property mosquitto_property;
typedef struct ssl_ctx_st SSL_CTX;

namespace protocol {

class MqttClient {
public:
    /// `cleanSession` false keeps the broker's session (subscriptions and
    /// QoS 1 messages queued for it) across reconnects and while away.
    MqttClient(const std::string& clientId, bool cleanSession);
    ~MqttClient();
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    /// Set before Start: the last will (the broker publishes it when the
    /// connection is lost without a goodbye), user and password, TLS.
    void SetWill(const std::string& topic, const std::string& payload, int qos, bool retain);
    void SetCredentials(const std::string& user, const std::string& password);
    /// Empty when the CA file is taken, else why not.
    std::string SetTls(const std::string& caFile);

    /// Called on the network thread: connected (true) or lost (false).
    std::function<void(bool connected)> OnConnection;
    /// The broker answered the QoS 1 message `mid`: `reasonCode` below
    /// kFirstRefusal (MqttReasons.h) took it, from it on refused it.
    std::function<void(int mid, int reasonCode)> OnPublished;
    /// The broker refused the connection or ended it with a reason (user,
    /// password, access rules, certificate, a session taken over): in
    /// words, once until the next connection holds.
    std::function<void(const std::string& why)> OnRefused;
    /// A connection could not even be begun (no one listens, no such host,
    /// no route): why, in words. Called on the network thread at every
    /// failed try; the thread goes on trying.
    std::function<void(const std::string& why)> OnConnectFailed;
    /// A message of a subscribed topic; `retained`: the broker kept it and
    /// hands it on because of a subscription (at a connection), it was not
    /// just published.
    std::function<void(const std::string& topic, const char* payload, int length, bool retained)> OnMessage;
    /// Topics subscribed at every connection.
    void SubscribeOnConnect(const std::string& pattern, int qos);

    /// Starts the network thread and connects in the background (a broker
    /// that is down or refuses is tried again and again).
    void Start(const std::string& host, int port, int keepAliveSeconds);
    /// Says goodbye (no will) and ends the network thread.
    void Stop();
    bool Connected() const { return connected_.load(); }

    /// Queues a message; returns its id, or -1 when not connected or refused.
    int Publish(const std::string& topic, const char* payload, int length, int qos, bool retain);

private:
    void Run(std::string host, int port, int keepAliveSeconds, mosquitto_property* properties);
    /// Notes a failed try: the broker's reason or the TLS check's.
    void Failed(int rc);
    void Refused(const std::string& why);
    static void ConnectCb(mosquitto*, void* self, int rc, int flags, const mosquitto_property*);
    static void DisconnectCb(mosquitto*, void* self, int rc, const mosquitto_property*);
    static void PublishCb(mosquitto*, void* self, int mid, int reasonCode, const mosquitto_property*);
    static void MessageCb(mosquitto*, void* self, const mosquitto_message* m, const mosquitto_property*);

    mosquitto* mosq_ = nullptr;
    bool cleanSession_ = true;
    SSL_CTX* tls_ = nullptr;
    std::atomic<long> verifyError_{0}; ///< the certificate check's last complaint
    std::atomic<bool> connected_{false};
    std::atomic<bool> everConnected_{false}; ///< since the last try began
    std::string lastRefusal_;                ///< reported already (network thread)
    bool started_ = false;
    std::string subscribe_;
    int subscribeQos_ = 1;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
};

} // namespace protocol
