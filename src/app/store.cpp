#include "store.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <utility>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace orlix {

namespace {

constexpr const char* doubleTag = "@double";

bool allows(Store::Expect e, const Store::json& v)
{
    switch (e) {
    case Store::Expect::Number: return v.is_number() || v.is_boolean();
    case Store::Expect::String: return v.is_string();
    case Store::Expect::Record: return v.is_object() || v.is_array();
    case Store::Expect::Object: return v.is_object();
    }
    return false;
}

} // namespace

Store::Store(QString directory, QString fileName, Schema schema, Access access)
    : directory_(std::move(directory)), fileName_(std::move(fileName)), schema_(std::move(schema)), access_(access)
{
    open();
}

QString Store::defaultDirectory() { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }

QString Store::filePath() const { return QDir(directory_).filePath(fileName_); }

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
        if (bytes.isEmpty())
            return; // nothing there to lose
        json parsed = json::parse(bytes.constBegin(), bytes.constEnd(), nullptr, false);
        if (parsed.is_discarded() || !parsed.is_object()) {
            unreadable = true;
        } else {
            doc_ = decode(parsed);
            for (const auto& [key, expect] : schema_) {
                auto it = doc_.find(key);
                if (it != doc_.end() && !allows(expect, *it)) {
                    dropped_.push_back(key);
                    doc_.erase(it);
                }
            }
            unreadable = !dropped_.empty();
        }
    }
    if (!unreadable || access_ == Access::ReadOnly)
        return;
    backupPath_ = keepCopy(QStringLiteral("corrupt"));
    if (backupPath_.isEmpty())
        saveBlocked_ = true;
}

bool Store::contains(const std::string& key) const { return doc_.contains(key); }

bool Store::boolForKey(const std::string& key) const
{
    auto it = doc_.find(key);
    if (it == doc_.end())
        return false;
    if (it->is_boolean())
        return it->get<bool>();
    if (it->is_number_integer() || it->is_number_unsigned())
        return it->get<long long>() != 0;
    if (it->is_number_float()) {
        const double v = it->get<double>();
        return !std::isnan(v) && v != 0;
    }
    return false;
}

long long Store::integerForKey(const std::string& key) const
{
    auto it = doc_.find(key);
    if (it == doc_.end())
        return 0;
    if (it->is_boolean())
        return it->get<bool>() ? 1 : 0;
    if (it->is_number_unsigned()) {
        const auto u = it->get<unsigned long long>();
        return u > static_cast<unsigned long long>(LLONG_MAX) ? LLONG_MAX : static_cast<long long>(u);
    }
    if (it->is_number_integer())
        return it->get<long long>();
    if (it->is_number_float()) {
        const double v = std::trunc(it->get<double>());
        if (std::isnan(v))
            return 0;
        if (v >= 9.2233720368547758e18)
            return LLONG_MAX;
        if (v <= -9.2233720368547758e18)
            return LLONG_MIN;
        return static_cast<long long>(v);
    }
    return 0;
}

double Store::doubleForKey(const std::string& key) const
{
    auto it = doc_.find(key);
    if (it == doc_.end())
        return 0.0;
    if (it->is_boolean())
        return it->get<bool>() ? 1.0 : 0.0;
    if (it->is_number())
        return it->get<double>();
    return 0.0;
}

std::optional<std::string> Store::stringForKey(const std::string& key) const
{
    auto it = doc_.find(key);
    if (it == doc_.end() || !it->is_string())
        return std::nullopt;
    return it->get<std::string>();
}

std::optional<Store::json> Store::objectForKey(const std::string& key) const
{
    auto it = doc_.find(key);
    if (it == doc_.end())
        return std::nullopt;
    return *it;
}

std::optional<Store::json> Store::dictionaryForKey(const std::string& key) const
{
    auto it = doc_.find(key);
    if (it == doc_.end() || !it->is_object())
        return std::nullopt;
    return *it;
}

void Store::set(const std::string& key, bool v) { set(key, json(v)); }

void Store::set(const std::string& key, long long v) { set(key, json(static_cast<std::int64_t>(v))); }

void Store::set(const std::string& key, double v) { set(key, json(v)); }

void Store::set(const std::string& key, std::string v) { set(key, json(std::move(v))); }

void Store::set(const std::string& key, json v)
{
    if (v.is_null()) {
        remove(key);
        return;
    }
    doc_[key] = std::move(v);
    dirty_ = true;
}

void Store::remove(const std::string& key)
{
    if (doc_.erase(key) > 0)
        dirty_ = true;
}

bool Store::save()
{
    if (saveBlocked_) {
        lastError_ = QStringLiteral("the unreadable store file could not be backed up; not overwriting it");
        return false;
    }
    const QString path = filePath();
    if (!dirty_ && QFileInfo::exists(path))
        return true;
    if (access_ == Access::ReadOnly) {
        lastError_ = QStringLiteral("the store is open for reading only");
        return false;
    }
    if (!QDir().mkpath(directory_)) {
        lastError_ = QStringLiteral("cannot create ") + directory_;
        return false;
    }
    const std::string text = encode(doc_).dump(1, '\t', false, json::error_handler_t::replace);
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
    dirty_ = false;
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

Store::json Store::encode(const json& v)
{
    if (v.is_number_float()) {
        const double d = v.get<double>();
        if (std::isnan(d))
            return json{{doubleTag, "nan"}};
        if (std::isinf(d))
            return json{{doubleTag, d > 0 ? "inf" : "-inf"}};
        return v;
    }
    if (v.is_object()) {
        json out = json::object();
        for (auto it = v.begin(); it != v.end(); ++it)
            out[it.key()] = encode(it.value());
        return out;
    }
    if (v.is_array()) {
        json out = json::array();
        for (const auto& e : v)
            out.push_back(encode(e));
        return out;
    }
    return v;
}

Store::json Store::decode(const json& v)
{
    // The parser reads every non-negative integer as unsigned; integers are
    // set as signed, so they come back as signed where they fit.
    if (v.is_number_unsigned()) {
        const auto u = v.get<std::uint64_t>();
        if (u <= static_cast<std::uint64_t>(LLONG_MAX))
            return json(static_cast<std::int64_t>(u));
        return v;
    }
    if (v.is_object()) {
        if (v.size() == 1) {
            auto it = v.find(doubleTag);
            if (it != v.end() && it->is_string()) {
                const auto& s = it->get_ref<const std::string&>();
                if (s == "nan")
                    return json(std::nan(""));
                if (s == "inf")
                    return json(HUGE_VAL);
                if (s == "-inf")
                    return json(-HUGE_VAL);
            }
        }
        json out = json::object();
        for (auto it = v.begin(); it != v.end(); ++it)
            out[it.key()] = decode(it.value());
        return out;
    }
    if (v.is_array()) {
        json out = json::array();
        for (const auto& e : v)
            out.push_back(decode(e));
        return out;
    }
    return v;
}

} // namespace orlix
