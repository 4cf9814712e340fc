#pragma once
// A connection to an MQTT broker through libmosquitto, with the library's
// own network thread: connecting, reconnecting after a loss (1 s growing to
// 10 s between tries) and the keep-alive all happen there, so no caller
// ever waits on the network. Callbacks come on that thread.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct mosquitto;
struct mosquitto_message;

namespace net {

class MqttClient {
public:
    /// `cleanSession` false keeps the broker's session (subscriptions and
    /// QoS 1 messages queued for it) across reconnects.
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
    /// The broker could not be reached, or refused the connection: why, in
    /// words. Called on the thread of Start (a failure found at once) or on
    /// the network thread (a refusal); a broker that does not answer at all
    /// is not reported here.
    std::function<void(const std::string& why)> OnConnectFailed;
    /// A QoS 1 message with this id was acknowledged by the broker.
    std::function<void(int mid)> OnPublished;
    /// A message of a subscribed topic.
    std::function<void(const std::string& topic, const char* payload, int length)> OnMessage;
    /// Topics subscribed at every connection.
    void SubscribeOnConnect(const std::string& pattern, int qos);

    /// Starts the network thread and connects in the background (a broker
    /// that is down is tried again and again).
    void Start(const std::string& host, int port, int keepAliveSeconds);
    /// Says goodbye (no will) and ends the network thread.
    void Stop();
    bool Connected() const { return connected_.load(); }

    /// Queues a message; returns its id, or -1 when not connected or refused.
    int Publish(const std::string& topic, const char* payload, int length, int qos, bool retain);

private:
    static void ConnectCb(mosquitto*, void* self, int rc);
    static void DisconnectCb(mosquitto*, void* self, int rc);
    static void PublishCb(mosquitto*, void* self, int mid);
    static void MessageCb(mosquitto*, void* self, const mosquitto_message* m);

    mosquitto* mosq_ = nullptr;
    std::atomic<bool> connected_{false};
    /// Tries the first connection again and again, when the first try
    /// failed at once (libmosquitto's thread would not try again then).
    void KeepTrying(std::string host, int port, int keepAliveSeconds);

    bool started_ = false;
    std::thread starter_;
    std::mutex starterMutex_;
    std::condition_variable starterWake_;
    bool stopping_ = false;
    std::string subscribe_;
    int subscribeQos_ = 1;
};

} // namespace net
