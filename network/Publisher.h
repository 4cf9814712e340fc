#pragma once
// The station's publisher: a consumer of the run model like the recorder.
// It counts what the model reports (on the GUI thread, a few additions per
// point) and hands the status and how far each file may be published to
// its worker thread (PublishWorker), which does all the network and file
// work. Status every 10 s and at every state change.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/RunModel.h"
#include "network/NetworkSettings.h"

namespace net {

class PublishWorker;

class Publisher : public QObject {
    Q_OBJECT
public:
    /// Publishes the runs of `run` as `settings` say (checked: CheckSettings).
    Publisher(acq::RunModel& run, const NetworkSettings& settings, QObject* parent = nullptr);
    ~Publisher() override;

    /// The broker connection holds now.
    bool Connected() const;
    /// The text the status bar and the progress line show while the centre
    /// cannot be reached: "нет связи с центром".
    static QString NoLinkText();
    /// What the status bar, the progress line and the service status say
    /// about the link: empty while the broker takes the records; else
    /// "нет связи с центром", with how the broker refused the connection
    /// when it did, or how it refuses the records.
    QString LinkText() const;

signals:
    /// The connection came or went, or a refusal changed (on this
    /// object's thread): LinkText() as it is now.
    void LinkChanged(const QString& text);

private:
    void SendStatus();
    void StateChanged(acq::RunState state);

    acq::RunModel& run_;
    NetworkSettings settings_;
    std::unique_ptr<PublishWorker> worker_;
    QTimer timer_;
    QString haltMessage_;
    std::vector<std::string> runFiles_; ///< names of the files the run going on writes (own and rescue)
    int64_t points_ = 0;
    std::array<int64_t, 4> pulses_{}; ///< since the last status
    int64_t lastCycles_ = 0;
    QElapsedTimer sinceStatus_; ///< time since the rates were last taken
    double cyclesPerS_ = 0;             ///< over the last status interval
    std::array<double, 4> pulsesPerS_{}; ///< over the last status interval
};

} // namespace net
