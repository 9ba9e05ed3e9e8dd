#include "settings.h"

#include <QSettings>

#include <memory>

namespace Settings {
namespace {

QString &storeFile()
{
    static QString path;
    return path;
}

std::unique_ptr<QSettings> open()
{
    std::unique_ptr<QSettings> s;
    if (storeFile().isEmpty())
        s = std::make_unique<QSettings>(QStringLiteral("Tarvo"), QStringLiteral("Tarvo"));
    else
        s = std::make_unique<QSettings>(storeFile(), QSettings::IniFormat);
    s->beginGroup(QStringLiteral("Optionen"));
    return s;
}

} // namespace

QString read(const QString &key, const QString &defaultValue)
{
    return open()->value(key, defaultValue).toString();
}

void write(const QString &key, const QString &value)
{
    auto s = open();
    s->setValue(key, value);
    s->sync();
}

void useFile(const QString &iniPath)
{
    storeFile() = iniPath;
}

} // namespace Settings
