#include "options.h"

namespace ScrmSim {

bool parseOptions(const QStringList &arguments, Options *options, QString *error)
{
    Options out;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString name = arguments.at(i);
        if (i + 1 >= arguments.size()) {
            *error = QStringLiteral("%1 needs a value").arg(name);
            return false;
        }
        const QString value = arguments.at(++i);
        if (name == QLatin1String("--port")) {
            bool ok = false;
            out.port = value.toInt(&ok);
            if (!ok || out.port < 0 || out.port > 65535) {
                *error = QStringLiteral("--port wants a number from 0 to 65535, not \"%1\"").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--scenario")) {
            out.scenarioPath = value;
        } else if (name == QLatin1String("--wallet")) {
            out.walletPath = value;
        } else if (name == QLatin1String("--state")) {
            out.statePath = value;
        } else if (name == QLatin1String("--record")) {
            out.recordPath = value;
        } else if (name == QLatin1String("--cert")) {
            out.certPath = value;
        } else if (name == QLatin1String("--key")) {
            out.keyPath = value;
        } else {
            *error = QStringLiteral("unknown option \"%1\"").arg(name);
            return false;
        }
    }
    if (out.certPath.isEmpty() != out.keyPath.isEmpty()) {
        *error = QStringLiteral("--cert and --key go together");
        return false;
    }
    *options = out;
    return true;
}

QString usage()
{
    return QStringLiteral("usage: scrm-sim [--port N] [--scenario FILE.json] [--wallet FILE.json] [--state FILE.json]\n"
                          "                [--record FILE.jsonl] [--cert FILE --key FILE]\n");
}

}
