#pragma once

#include <QFile>
#include <QJsonObject>
#include <QString>

namespace ScrmSim {

bool readJsonObject(const QString &path, QJsonObject *object, QString *error);
// Replaces the file whole, so a reader never sees half a document.
bool writeJsonObject(const QString &path, const QJsonObject &object, QString *error);

// One JSON object per line, flushed per line so that a test can read what the server received
// as soon as the answer has arrived.
class RecordFile
{
public:
    bool open(const QString &path, QString *error);
    void append(const QJsonObject &entry);

private:
    QFile m_file;
};

}
