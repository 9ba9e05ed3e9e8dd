#pragma once

#include <QString>

// The per-user settings store: application "Tarvo", section "Optionen", text values.
namespace Settings {

QString read(const QString &key, const QString &defaultValue);
void write(const QString &key, const QString &value);

// Tests keep their values in an INI file of their own instead of the user's store.
void useFile(const QString &iniPath);

} // namespace Settings
