// Shared by the mail tests and benchmarks: the built mail library registered as the machine's
// mail client, a profile file naming the stores, and a stand-in for the view the mail parts
// talk to.
#pragma once

#include "mail/MailHost.h"
#include "rtf/RtfReader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTextEdit>

namespace mailtest {

// Writes `data` to `path`, making its folder first.
inline bool writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(data) == data.size() && file.flush();
}

// Registers the built mail library as the default mail client in `dir`/registry.ini, writes
// `profiles` (with "@ROOT@" standing for `dir`) to `dir`/profiles.ini, and points the
// registry and the mail library at them, with summary indexes in `dir`/cache.
inline bool installMailClient(const QString& dir, QByteArray profiles)
{
    const QByteArray root = QFile::encodeName(dir);
    if (!writeFile(dir + QStringLiteral("/registry.ini"),
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail]\n@=\"Vantrel Mail\"\n"
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\Vantrel Mail]\n"
                   "\"DLLPathEx\"=\"" VNTMAPI_LIBRARY_PATH "\"\n") ||
        !writeFile(dir + QStringLiteral("/profiles.ini"), profiles.replace("@ROOT@", root)))
        return false;
    qputenv("VANTREL_REGISTRY", root + "/registry.ini");
    qputenv("VANTREL_MAPI_PROFILES", root + "/profiles.ini");
    qputenv("VANTREL_MAPI_CACHE", root + "/cache");
    return true;
}

// The view as the mail parts see it: the read box (plain text set on a QTextEdit with "\r\n"
// as one line end, rich text read as 8-bit RTF) and a record of what it was asked.
class TestMailHost : public vantrel::mail::MailHost
{
public:
    QWidget* hostWidget() override { return &box; }
    int currentTab() override { return tab; }
    bool previewOn() const override { return true; }
    bool gridOn() const override { return grid; }
    bool composing() const override { return false; }
    bool showReadText(const QString& text, bool rich) override
    {
        loads += rich ? u'R' : u'P';
        QElapsedTimer timer;
        timer.start();
        bool loaded = true;
        if (rich)
            loaded = !refuseRich && vnt::rtf::readRtf(text.toLatin1(), box.document());
        else
            box.setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        boxNs += timer.nsecsElapsed();
        return loaded;
    }
    void setSenderFields(const QString& name, const QString& address) override
    {
        sender = {name, address};
    }
    void restartReadTimer() override { ++timerRestarts; }
    void stopReadTimer() override {}

    QTextEdit box;
    int tab = 0;
    bool grid = true;
    bool refuseRich = false;
    QString loads;      // one letter a load: R rich, P plain
    QStringList sender; // name and address
    int timerRestarts = 0;
    qint64 boxNs = 0; // spent loading the box
};

} // namespace mailtest
