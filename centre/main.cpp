// vfon-centre: subscribes to every station's topics at an MQTT broker with
// a persistent session, keeps the per-station store (CentreStore) and serves
// the status page, /stations.json and /metrics over HTTP. Messages are
// taken on the event loop's thread, in the order they arrive; the pages
// are answered on the web front's thread from snapshots of the store that
// the intake hands over at most twice a second; the broker connection
// lives on libmosquitto's own thread and is kept up by it.
#include <QCoreApplication>
#include <QHostAddress>
#include <CLI/CLI.hpp>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>

#include "centre/CentreRoutes.h"
#include "centre/CentreSnapshot.h"
#include "centre/CentreStore.h"
#include "centre/HttpFront.h"
#include "datafiles/FileProblemText.h"
#include "platform/CliErrorText.h"
#include "protocol/MqttClient.h"
#include "protocol/Broker.h"
#include "protocol/Inbound.h"

namespace {

/// How long a broker that does not answer at all is waited for before the
/// centre says so (the connection is still tried after that).
constexpr int kBrokerPatienceMs = 10000;
/// The page's snapshot of the store is renewed at most this often.
constexpr int kSnapshotMs = 500;

struct CentreOptions {
    std::string Broker;
    std::string Store;
    std::string Http = "127.0.0.1:8080";
    std::string ClientId = "vfon-centre";
    std::string CaFile, User, PasswordFile;
};

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

/// "HOST:PORT" taken apart; false when it is not that.
bool SplitHostPort(const std::string& text, QHostAddress& host, quint16& port)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return false;
    bool ok = false;
    const uint value = QString::fromStdString(text.substr(colon + 1)).toUInt(&ok);
    if (!ok || value > 65535 || !host.setAddress(QString::fromStdString(text.substr(0, colon))))
        return false;
    port = static_cast<quint16>(value);
    return true;
}

/// Reads the command line into `o`; the exit code when the program ends
/// here (--help, --version, a mistake said on stderr).
std::optional<int> ParseCommandLine(int argc, char** argv, CentreOptions& o)
{
    CLI::App cli{"Центр сети станций: принимает через брокер MQTT состояние, кадры и события станций,\n"
                 "хранит их по станциям в КАТАЛОГ/ID/trend.csv и events.csv и показывает страницу\n"
                 "состояния станций (/ и /stations.json).",
                 "vfon-centre"};
    cli.set_version_flag("--version", "vfon-centre " VFON_VERSION, "Показать версию и выйти");
    cli.set_help_flag("-h,--help", "Показать эту справку и выйти");
    cli.add_option("--broker", o.Broker, "Брокер: mqtt://HOST:PORT или mqtts://HOST:PORT")
        ->type_name("URL")
        ->required();
    cli.add_option("--store", o.Store, "Каталог хранилища")->type_name("DIR")->required();
    cli.add_option("--http", o.Http, "Адрес страницы (по умолчанию 127.0.0.1:8080)")->type_name("HOST:PORT");
    cli.add_option("--client-id", o.ClientId, "Идентификатор клиента у брокера (постоянная сессия)");
    cli.add_option("--mqtt-cafile", o.CaFile, "Сертификаты УЦ для mqtts://")->type_name("FILE");
    cli.add_option("--mqtt-user", o.User, "Имя пользователя у брокера")->type_name("NAME");
    cli.add_option("--mqtt-password-file", o.PasswordFile, "Файл, первая строка которого - пароль")->type_name("FILE");
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0)
            return cli.exit(e);
        std::fprintf(stderr, "vfon-centre: %s (справка: vfon-centre --help)\n", rt::CliErrorText(cli, e).c_str());
        return 2;
    }
    return std::nullopt;
}

/// The store is a folder set up beforehand (the service's state
/// directory): a name that is not there is a mistake, not made here.
/// False, said on stderr, when `store` is no folder.
bool StoreIsFolder(const std::string& store)
{
    if (struct stat st {}; ::stat(store.c_str(), &st) != 0) {
        std::fprintf(stderr, "vfon-centre: --store: каталога хранилища «%s» нет\n", store.c_str());
        return false;
    } else if (!S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "vfon-centre: --store: «%s» не каталог\n", store.c_str());
        return false;
    }
    return true;
}

/// Says on stderr how the broker connection goes: a broker that cannot be
/// reached once, with the reason, until a connection holds (also when it
/// has not answered for a while); each connection and loss; each refusal.
void SayLinkChanges(protocol::MqttClient& client, QCoreApplication& app, const std::string& broker,
                    std::atomic<bool>& unreachableSaid)
{
    auto sayUnreachable = [&unreachableSaid, name = broker](const std::string& why) {
        if (!unreachableSaid.exchange(true))
            std::fprintf(stderr, "vfon-centre: брокер %s недоступен: %s; попытки продолжаются\n", name.c_str(),
                         why.c_str());
    };
    client.OnConnectFailed = sayUnreachable;
    client.OnConnection = [&unreachableSaid](bool up) {
        if (up)
            unreachableSaid = false;
        std::fprintf(stderr, "vfon-centre: %s\n", up ? "связь с брокером есть" : "нет связи с брокером");
    };
    // Once per refusal, until a connection holds again.
    client.OnRefused = [](const std::string& why) { std::fprintf(stderr, "vfon-centre: брокер: %s\n", why.c_str()); };
    QTimer::singleShot(kBrokerPatienceMs, &app, [&client, sayUnreachable] {
        if (!client.Connected())
            sayUnreachable("нет ответа за " + std::to_string(kBrokerPatienceMs / 1000) + " с");
    });
}

} // namespace

int main(int argc, char** argv)
{
    CentreOptions o;
    if (const std::optional<int> rc = ParseCommandLine(argc, argv, o))
        return *rc;
    protocol::BrokerAddress broker;
    if (const std::string why = protocol::ParseBrokerAddress(o.Broker, broker); !why.empty()) {
        std::fprintf(stderr, "vfon-centre: --broker: %s\n", why.c_str());
        return 2;
    }
    QHostAddress httpHost;
    quint16 httpPort = 0;
    if (!SplitHostPort(o.Http, httpHost, httpPort)) {
        std::fprintf(stderr, "vfon-centre: --http: «%s» не вида АДРЕС:ПОРТ\n", o.Http.c_str());
        return 2;
    }

    if (!StoreIsFolder(o.Store))
        return 2;
    QCoreApplication app(argc, argv);
    centre::CentreStore store(o.Store);
    if (::access(o.Store.c_str(), W_OK | X_OK) != 0) {
        std::fprintf(stderr, "vfon-centre: --store: в каталог «%s» нельзя писать: %s\n", o.Store.c_str(),
                     datafiles::ErrnoText(errno).c_str());
        return 2;
    }

    centre::SnapshotBox snapshots;
    centre::HttpFront http([&snapshots](const QString& path, const QString& query) {
        return centre::CentreAnswer(*snapshots.Get(), path, query, NowNs());
    });
    const quint16 port = http.Listen(httpHost, httpPort);
    if (port == 0) {
        std::fprintf(stderr, "vfon-centre: --http: не удалось слушать %s\n", o.Http.c_str());
        return 2;
    }
    std::printf("vfon-centre: страница http://%s:%u/\n", httpHost.toString().toUtf8().constData(), port);
    std::fflush(stdout);

    protocol::MqttClient client(o.ClientId, false);
    client.SetCredentials(o.User, o.PasswordFile.empty() ? std::string() : protocol::ReadPassword(o.PasswordFile));
    if (broker.Tls)
        if (const std::string why = client.SetTls(o.CaFile); !why.empty()) {
            std::fprintf(stderr, "vfon-centre: --mqtt-cafile: %s\n", why.c_str());
            return 2;
        }
    client.SubscribeOnConnect(protocol::AllStationsTopic(), 1);
    centre::CentreCounters counters;
    centre::SnapshotPacer pacer(int64_t{kSnapshotMs} * 1000000);
    auto renew = [&](bool idle) {
        if (const int64_t now = NowNs(); pacer.Due(now, idle))
            snapshots.Put(centre::TakeSnapshot(store, o.Store, counters, now));
    };
    renew(false);
    // Once the messages queued so far are taken, the page sees them at once.
    bool idleRenewQueued = false;
    auto renewWhenIdle = [&] {
        if (!std::exchange(idleRenewQueued, true))
            QTimer::singleShot(0, &app, [&] {
                idleRenewQueued = false;
                renew(true);
            });
    };
    client.OnMessage = [&](const std::string& topic, const char* payload, int length) {
        QByteArray copy(payload, length);
        QMetaObject::invokeMethod(
            &app,
            [&, topic, copy] {
                store.Take(topic, copy, NowNs());
                ++counters.Taken;
                pacer.Changed();
                renew(false);
                renewWhenIdle();
            },
            Qt::QueuedConnection);
    };
    // The last changes of a burst reach the page when it is over.
    QTimer snapshotTimer;
    QObject::connect(&snapshotTimer, &QTimer::timeout, [&] { renew(false); });
    snapshotTimer.start(kSnapshotMs);
    // A broker that cannot be reached is named once, with the reason; the
    // network thread goes on trying.
    std::atomic<bool> unreachableSaid{false};
    SayLinkChanges(client, app, o.Broker, unreachableSaid);
    client.Start(broker.Host, broker.Port, protocol::kKeepAliveSeconds);
    const int rc = QCoreApplication::exec();
    client.Stop();
    return rc;
}
