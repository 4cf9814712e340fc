#pragma once
// The broker set-up the package ships, laid out in a test's folder as on a
// centre: Debian's main /etc/mosquitto/mosquitto.conf, the drop-in
// dist/mosquitto/vfon.conf in its conf.d, the rules dist/mosquitto/vfon.acl,
// a password file and the broker's certificates made by the recipe of
// docs/network.md. The shipped files' settings are what a test meets; only
// this is changed, so that a test can run it:
//  - the paths /etc/mosquitto/, /var/lib/mosquitto/, /var/log/mosquitto/ and
//    /run/mosquitto/ point into the folder (persistence, log, pid file,
//    password file, rules, certificates);
//  - the plain listener's port 1883 and the TLS listener's 8883 (every
//    address) become free ports of 127.0.0.1;
//  - one more drop-in, `user`, names whoever runs the test, so that the
//    broker reads the folder's files as that user.
#include <QString>
#include <QStringList>

namespace testing_support {

struct ShippedBroker {
    QString Root;    ///< the test's folder
    int Port = 0;    ///< the plain listener (the centre's)
    int TlsPort = 0; ///< the TLS listener (the stations')

    /// `Root`/etc/mosquitto/`name`.
    QString Etc(const QString& name = {}) const;
    /// Writes the set-up for the host name "localhost", with an account per
    /// name of `accounts`, each with the password "NAME-pw", which is also
    /// the first line of PasswordFile(NAME). Empty when done, else what failed.
    QString Write(const QStringList& accounts) const;
    /// The file holding the password of `account`.
    QString PasswordFile(const QString& account) const { return Root + "/" + account + ".password"; }
    /// The broker's log (Debian's main file logs to a file).
    QString Log() const { return Root + "/var/log/mosquitto/mosquitto.log"; }
    /// The broker's command line after its program.
    QStringList Args() const { return {"-c", Etc("mosquitto.conf")}; }
};

/// The text of `path`; empty when it cannot be read.
QString ReadText(const QString& path);
/// The shell block of docs/network.md that follows the line holding `marker`.
QString DocBlock(const QString& marker);
/// Runs the certificate recipe of docs/network.md in `folder` for the host
/// `name`; empty when done, else the shell's complaint.
QString RunCertificateRecipe(const QString& folder, const QString& name);

} // namespace testing_support
