#pragma once

#include "platform/StartupFiles.h"

#include <QFile>
#include <QString>

namespace orvelle::forms {

// A path.ini created empty while a database is being looked for. It is removed again unless
// a database opened and its path was recorded, so that no start is left with an empty or a
// wrong path.ini; shared by the steps of a start-up that wait for a library to be made ready,
// and removed with the last of them.
class PendingPathIni {
public:
    explicit PendingPathIni(QString fileName) : fileName_(std::move(fileName)) {
        platform::CreateEmptyFile(fileName_);
    }
    ~PendingPathIni() {
        if (!recorded_) {
            QFile::remove(fileName_);
        }
    }
    PendingPathIni(const PendingPathIni&) = delete;
    PendingPathIni& operator=(const PendingPathIni&) = delete;

    void Record(const QString& path) {
        platform::WriteSingleLine(fileName_, path);
        recorded_ = true;
    }

private:
    QString fileName_;
    bool recorded_ = false;
};

} // namespace orvelle::forms
