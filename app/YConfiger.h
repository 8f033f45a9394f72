#pragma once

#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>

// The product settings. One instance per process; loadConfig() reads the INI
// file named by $YCONFIG_FILE, else "YConfig.ini" beside the executable.
// Keys of [General] are read by their plain name ("DumpLevel"), keys of other
// groups as "Group/Key". An absent key reads as an invalid QVariant, so the
// typed reads give false, 0 or an empty string.
class YConfiger
{
public:
    using Producer = std::function<QVariant()>;

    static YConfiger* instance();

    void loadConfig();
    bool isLoaded() const { return loaded; }
    QString configPath() const { return path; }

    QVariant value(const QString& key) const;
    bool readBool(const QString& key) const { return value(key).toBool(); }
    int readInt(const QString& key) const { return value(key).toInt(); }
    QString readString(const QString& key) const { return value(key).toString(); }

    // Entries may carry a function that produces their value at read time.
    void setValue(const QString& key, const QVariant& value);
    void setProducer(const QString& key, const Producer& producer);

    static QString defaultConfigPath();

private:
    YConfiger() = default;

    struct Entry {
        QVariant value;
        Producer producer;
    };

    QHash<QString, Entry> entries;
    QString path;
    bool loaded = false;
};
