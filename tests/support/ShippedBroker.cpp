#include "support/ShippedBroker.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <pwd.h>
#include <unistd.h>

namespace testing_support {

namespace {

bool WriteText(const QString& path, const QString& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) == text.toUtf8().size();
}

QString Source(const QString& path) { return QStringLiteral(VFON_SOURCE_DIR "/") + path; }

} // namespace

QString ReadText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString DocBlock(const QString& marker)
{
    const QString doc = ReadText(Source("docs/network.md"));
    const qsizetype at = doc.indexOf(marker);
    const qsizetype begin = doc.indexOf("```sh\n", at) + 6;
    return at < 0 ? QString() : doc.mid(begin, doc.indexOf("```", begin) - begin);
}

QString RunCertificateRecipe(const QString& folder, const QString& name)
{
    QString recipe = DocBlock("runs this block");
    if (!recipe.contains("openssl"))
        return "no certificate recipe in docs/network.md";
    recipe.replace(QRegularExpression("^name=.*$", QRegularExpression::MultilineOption), "name=" + name);
    QDir().mkpath(folder);
    QProcess sh;
    sh.setWorkingDirectory(folder);
    sh.start("/bin/sh", {"-e", "-c", recipe});
    if (!sh.waitForFinished(60000) || sh.exitStatus() != QProcess::NormalExit || sh.exitCode() != 0)
        return "the recipe failed: " + QString::fromUtf8(sh.readAllStandardError());
    return {};
}

QString ShippedBroker::Etc(const QString& name) const { return Root + "/etc/mosquitto/" + name; }

QString ShippedBroker::Write(const QStringList& accounts) const
{
    if (const QString failed = RunCertificateRecipe(Etc("certs"), "localhost"); !failed.isEmpty())
        return failed;
    for (const char* folder : {"etc/mosquitto/conf.d", "var/lib/mosquitto", "var/log/mosquitto", "run/mosquitto"})
        QDir().mkpath(Root + "/" + folder);
    QString main = ReadText("/etc/mosquitto/mosquitto.conf");
    if (!main.contains("persistence_location"))
        return "no Debian /etc/mosquitto/mosquitto.conf";
    for (const char* path : {"/etc/mosquitto/", "/var/lib/mosquitto/", "/var/log/mosquitto/", "/run/mosquitto/"})
        main.replace(path, Root + path);
    QString dropIn = ReadText(Source("dist/mosquitto/vfon.conf"));
    dropIn.replace("/etc/mosquitto/", Etc());
    dropIn.replace("listener 1883 127.0.0.1", QString("listener %1 127.0.0.1").arg(Port));
    dropIn.replace(QRegularExpression("^listener 8883$", QRegularExpression::MultilineOption),
                   QString("listener %1 127.0.0.1").arg(TlsPort));
    if (!dropIn.contains(QString("listener %1 ").arg(Port)) || !dropIn.contains(QString("listener %1 ").arg(TlsPort)))
        return "the drop-in's listeners are not the two the set-up moves";
    if (!WriteText(Etc("mosquitto.conf"), main) || !WriteText(Etc("conf.d/vfon.conf"), dropIn) ||
        !WriteText(Etc("conf.d/zz-test.conf"), QString("user %1\n").arg(getpwuid(getuid())->pw_name)))
        return "cannot write the broker's files";
    QFile::remove(Etc("vfon.acl"));
    if (!QFile::copy(Source("dist/mosquitto/vfon.acl"), Etc("vfon.acl")))
        return "cannot copy vfon.acl";
    QFile::remove(Etc("vfon.passwd"));
    for (const QString& account : accounts) {
        QStringList args{"-b", Etc("vfon.passwd"), account, account + "-pw"};
        if (!QFile::exists(Etc("vfon.passwd")))
            args.prepend("-c");
        if (QProcess::execute("mosquitto_passwd", args) != 0 || !WriteText(PasswordFile(account), account + "-pw\n"))
            return "mosquitto_passwd failed for " + account;
    }
    return {};
}

} // namespace testing_support
