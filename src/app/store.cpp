#include "store.h"

#include <utility>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace orlix {

Store::Store(QString directory, QString fileName, Schema schema, Access access)
    : StoreFile(std::move(schema)), directory_(std::move(directory)), fileName_(std::move(fileName)), access_(access)
{
    open();
}

QString Store::defaultDirectory() { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }

QString Store::filePath() const { return QDir(directory_).filePath(fileName_); }

std::string Store::location() const { return QDir::toNativeSeparators(filePath()).toStdString(); }

std::string Store::keepTaggedCopy(std::string_view tag) const
{
    return keepCopy(QString::fromUtf8(tag.data(), static_cast<qsizetype>(tag.size()))).toStdString();
}

void Store::open()
{
    const QString path = filePath();
    if (!QFileInfo::exists(path))
        return;

    bool unreadable = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        unreadable = true;
    } else {
        const QByteArray bytes = file.readAll();
        unreadable =
            read(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))) == Reading::Damaged;
    }
    if (!unreadable || access_ == Access::ReadOnly)
        return;
    backupPath_ = keepCopy(QStringLiteral("corrupt"));
    if (backupPath_.isEmpty())
        saveBlocked_ = true;
}

bool Store::save()
{
    if (saveBlocked_) {
        lastError_ = QStringLiteral("the unreadable store file could not be backed up; not overwriting it");
        return false;
    }
    const QString path = filePath();
    if (!dirty() && QFileInfo::exists(path))
        return true;
    if (access_ == Access::ReadOnly) {
        lastError_ = QStringLiteral("the store is open for reading only");
        return false;
    }
    if (!QDir().mkpath(directory_)) {
        lastError_ = QStringLiteral("cannot create ") + directory_;
        return false;
    }
    const std::string text = this->text();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        lastError_ = file.errorString();
        return false;
    }
    const qint64 n = file.write(text.data(), static_cast<qint64>(text.size()));
    if (n != static_cast<qint64>(text.size())) {
        lastError_ = file.errorString();
        return false; // the destructor drops the unfinished copy
    }
    if (!file.commit()) {
        lastError_ = file.errorString();
        return false;
    }
    markWritten();
    lastError_.clear();
    return true;
}

QString Store::keepCopy(const QString& tag) const
{
    const QString path = filePath();
    if (access_ == Access::ReadOnly || !QFileInfo::exists(path))
        return {};
    const QString stem = path + QLatin1Char('.') + tag + QLatin1Char('-') +
                         QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddTHHmmsszzzZ"));
    for (int i = 1; i <= 1000; ++i) {
        const QString target = i == 1 ? stem : stem + QLatin1Char('-') + QString::number(i);
        if (QFileInfo::exists(target))
            continue;
        if (QFile::copy(path, target))
            return target;
        lastError_ = QStringLiteral("cannot copy the store file to ") + target;
        return {};
    }
    return {};
}

} // namespace orlix
