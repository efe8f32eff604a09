#pragma once

#include <QString>
#include <QStringList>

namespace ScrmSim {

struct Options
{
    int port = 0; // 0: any free port
    QString scenarioPath;
    QString walletPath;
    QString statePath;
    QString recordPath;
    QString certPath;
    QString keyPath;
};

// Command line without the program name. False with error set on anything it cannot use.
bool parseOptions(const QStringList &arguments, Options *options, QString *error);

QString usage();

}
