// vfon-centre: subscribes to every station's topics at an MQTT broker with
// a persistent session, keeps the per-station store (CentreStore: the rows
// and the stations' whole records in their files) and serves
// the status page, /stations.json, /metrics and each station's history over
// HTTP. Messages are taken on the event loop's thread, in the order they
// arrive; the pages are answered on the web front's thread from snapshots
// of the store that the intake hands over at most twice a second; the
// broker connection lives on libmosquitto's own thread and is kept up by
// it. Records are written in group commits (every kCommitMs), and only
// after each is on the disk does a station get its receipt, so the station
// keeps whatever a kill of the centre could lose. SIGTERM or SIGINT: no
// more messages are taken, what was taken is written and receipted, exit 0.
#include <QCoreApplication>
#include <QHostAddress>
#include <CLI/CLI.hpp>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>

#include "centre/CentreRoutes.h"
#include "centre/CentreSnapshot.h"
#include "centre/CentreStore.h"
#include "centre/CoincidenceKeeper.h"
#include "centre/HttpFront.h"
#include "datafiles/FileProblemText.h"
#include "platform/CliErrorText.h"
#include "platform/TermSignals.h"
#include "protocol/MqttClient.h"
#include "protocol/Broker.h"
#include "protocol/Inbound.h"
#include "protocol/Receipt.h"

namespace {

/// How long a broker that does not answer at all is waited for before the
/// centre says so (the connection is still tried after that).
constexpr int kBrokerPatienceMs = 10000;
/// Time between group commits (the longest a stored record waits for its receipt).
constexpr int kCommitMs = 200;
/// How long the receipts of the last commit are given to reach the broker at the end.
constexpr int kLastReceiptsMs = 2000;
/// The page's snapshot of the store is renewed at most this often.
constexpr int kSnapshotMs = 500;

struct CentreOptions {
    std::string Broker;
    std::string Store;
    std::string Http = "127.0.0.1:8080";
    std::string ClientId = "vfon-centre";
    std::string CaFile, User, PasswordFile;
    size_t MaxStations = centre::kDefaultMaxStations;
    double CoincidenceWindowMs = 20.0;
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
                 "хранит их по станциям в КАТАЛОГ/ID/trend.csv и events.csv, а целые записи - в файлах\n"
                 "станции с теми же именами (КАТАЛОГ/ID/*.fon, *.Rad), и показывает страницу\n"
                 "состояния станций (/ и /stations.json).",
                 "vfon-centre"};
    cli.set_version_flag("--version", "vfon-centre " VFON_VERSION, "Показать версию и выйти");
    cli.set_help_flag("-h,--help", "Показать эту справку и выйти");
    cli.add_option("--broker", o.Broker, "Брокер: mqtt://HOST:PORT или mqtts://HOST:PORT")
        ->type_name("URL")
        ->required();
    cli.add_option("--store", o.Store, "Каталог хранилища")->type_name("DIR")->required();
    cli.add_option("--max-stations", o.MaxStations,
                   "Сколько станций принимать самое большее (по умолчанию " +
                       std::to_string(centre::kDefaultMaxStations) + "); сообщения остальных отклоняются")
        ->type_name("N")
        ->check(CLI::Validator(
            [](std::string& text) {
                size_t n = 0;
                return CLI::detail::lexical_cast(text, n) && n > 0 ? std::string()
                                                                    : "«" + text + "» не целое число больше 0";
            },
            "N"));
    cli.add_option("--coincidence-window", o.CoincidenceWindowMs,
                   "Окно совпадений событий разных станций, мс (по умолчанию 20); совпадения - в КАТАЛОГ/coincidences.csv")
        ->type_name("MS")
        ->check(CLI::Range(0.001, 60000.0));
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

/// A group commit: the waiting records written and synced, and a retained
/// receipt published for every station whose records moved.
/// True when some records moved.
bool CommitAndReceipt(centre::CentreStore& store, protocol::MqttClient& client)
{
    const std::vector<protocol::Receipt> receipts = store.Commit(NowNs());
    for (const protocol::Receipt& r : receipts) {
        const QByteArray json = protocol::ReceiptJson(r);
        // Not connected: the receipt is made again when the station's
        // records come again, which they do while it has none.
        if (client.Publish(protocol::ReceiptTopic(r.Station), json.constData(), static_cast<int>(json.size()), 1,
                           true) >= 0)
            ++store.Counters().ReceiptsSent;
    }
    return !receipts.empty();
}

/// Takes one message of the broker on the event loop (a receipt of the
/// centre's own comes back too: not a station's message, false).
bool TakeMessage(centre::CentreStore& store, const std::string& topic, const QByteArray& payload, bool retained)
{
    static const std::string receipt = "/receipt";
    if (topic.size() >= receipt.size() && topic.compare(topic.size() - receipt.size(), receipt.size(), receipt) == 0)
        return false;
    store.Take(topic, payload, NowNs(), retained);
    return true;
}

/// The intake on the event loop: each message into the store, a group
/// commit with its receipts every kCommitMs, the page's snapshots, and the
/// end at SIGTERM or SIGINT.
class Intake {
public:
    Intake(QCoreApplication& app, centre::CentreStore& store, protocol::MqttClient& client,
           centre::SnapshotBox& snapshots, std::string storeDir, centre::CoincidenceKeeper& coincidences)
        : app_(app), store_(store), client_(client), snapshots_(snapshots), storeDir_(std::move(storeDir)),
          coincidences_(coincidences), pacer_(int64_t{kSnapshotMs} * 1000000)
    {
        // Each commit's stored events go to the coincidence search.
        store.OnEventsStored([this](const std::string& station, const std::vector<centre::StoredEvent>& events) {
            if (const std::string why = coincidences_.Add(station, events); !why.empty())
                SayCoincidenceFault(why);
        });
        Renew(false);
        client.OnMessage = [this](const std::string& topic, const char* payload, int length, bool retained) {
            QByteArray copy(payload, length);
            QMetaObject::invokeMethod(
                &app_, [this, topic, copy, retained] { Take(topic, copy, retained); }, Qt::QueuedConnection);
        };
        client.OnPublished = [this](int, int) { --unanswered_; };
        QObject::connect(&commits_, &QTimer::timeout, [this] { Commit(); });
        commits_.start(kCommitMs);
        // The last changes of a burst reach the page when it is over.
        QObject::connect(&snapshotTimer_, &QTimer::timeout, [this] {
            if (coincidences_.ViewStale())
                pacer_.Changed(); // the coincidences' counts are made anew at their own pace
            Renew(false);
        });
        snapshotTimer_.start(kSnapshotMs);
    }
    /// At the end: nothing more taken, what was taken written and receipted.
    void EndOn(rt::TermSignals& term)
    {
        QObject::connect(&term, &rt::TermSignals::Received, [this] {
            closing_ = true;
            commits_.stop();
            CommitAndReceipt(store_, client_);
            std::fprintf(stderr, "vfon-centre: остановлен, принятое записано\n");
            QCoreApplication::quit();
        });
    }
    /// Receipts handed to the broker that it has not acknowledged yet.
    int Unanswered() const { return unanswered_; }

private:
    void Take(const std::string& topic, const QByteArray& payload, bool retained)
    {
        if (closing_ || !TakeMessage(store_, topic, payload, retained))
            return;
        ++counters_.Taken;
        if (store_.CommitDue())
            Commit();
        pacer_.Changed();
        Renew(false);
        RenewWhenIdle();
    }
    void Commit()
    {
        const int64_t before = store_.Counters().ReceiptsSent;
        if (CommitAndReceipt(store_, client_)) {
            pacer_.Changed(); // what is stored now shows on the page
            RenewWhenIdle();
        }
        unanswered_ += static_cast<int>(store_.Counters().ReceiptsSent - before);
    }
    void Renew(bool idle)
    {
        if (const int64_t now = NowNs(); pacer_.Due(now, idle))
            snapshots_.Put(centre::TakeSnapshot(store_, storeDir_, counters_, now, coincidences_.View(now)));
    }
    /// A coincidence file that cannot be written, said at most once a minute.
    void SayCoincidenceFault(const std::string& why)
    {
        if (const int64_t now = NowNs(); lastCoincidenceFault_ == 0 || now - lastCoincidenceFault_ >= int64_t{60} * 1000000000) {
            lastCoincidenceFault_ = now;
            std::fprintf(stderr, "vfon-centre: совпадения не записаны (будут записаны при следующем): %s\n", why.c_str());
        }
    }
    /// Once the messages queued so far are taken, the page sees them at once.
    void RenewWhenIdle()
    {
        if (!std::exchange(idleRenewQueued_, true))
            QTimer::singleShot(0, &app_, [this] {
                idleRenewQueued_ = false;
                Renew(true);
            });
    }

    QCoreApplication& app_;
    centre::CentreStore& store_;
    protocol::MqttClient& client_;
    centre::SnapshotBox& snapshots_;
    std::string storeDir_;
    centre::CoincidenceKeeper& coincidences_;
    int64_t lastCoincidenceFault_ = 0;
    centre::PageCounters counters_;
    centre::SnapshotPacer pacer_;
    bool idleRenewQueued_ = false;
    bool closing_ = false; // taking no more messages
    std::atomic<int> unanswered_{0};
    QTimer commits_, snapshotTimer_;
};

} // namespace

int main(int argc, char** argv)
{
    rt::TermSignals::Install(); // a SIGTERM while starting waits for the event loop
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
    rt::TermSignals termSignals;
    centre::CentreStore store(o.Store, o.MaxStations);
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
    // The coincidences of the events stored before, searched again.
    centre::CoincidenceKeeper coincidences(o.Store, static_cast<int64_t>(o.CoincidenceWindowMs * 1e6));
    if (const std::string why = coincidences.Load(); !why.empty())
        std::fprintf(stderr, "vfon-centre: совпадения не записаны: %s\n", why.c_str());
    Intake intake(app, store, client, snapshots, o.Store, coincidences);
    intake.EndOn(termSignals);
    // A broker that cannot be reached is named once, with the reason; the
    // network thread goes on trying.
    std::atomic<bool> unreachableSaid{false};
    SayLinkChanges(client, app, o.Broker, unreachableSaid);
    client.Start(broker.Host, broker.Port, protocol::kKeepAliveSeconds);
    const int rc = QCoreApplication::exec();
    // The last receipts are given a moment to reach the broker; a station
    // that misses them sends the records again and hears of them then.
    for (int waited = 0; client.Connected() && intake.Unanswered() > 0 && waited < kLastReceiptsMs; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    client.Stop();
    return rc;
}
