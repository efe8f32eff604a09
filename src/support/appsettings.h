#pragma once

#include <QString>

// Configuration files live beside the host executable, not beside the library.
namespace AppSettings {

constexpr const char *kPluginIni = "/TwCouponPay5.ini";
constexpr const char *kUiIni = "/TwVipCoupon5.ini";
constexpr const char *kHostConfigIni = "/config.ini";
constexpr const char *kGen5PosCfgIni = "/PosCfg.ini";
constexpr const char *kGdPosCfgIni = "/GdPosCfg.ini";

// The folder of the host executable, where the INI files live. A tool that embeds the library
// in a process of its own (an in-process test, a benchmark) may point it elsewhere.
QString applicationDir();
void overrideApplicationDir(const QString &dir); // empty: back to the executable's folder

// applicationDir() followed by fileName (which starts with '/').
QString appFilePath(const char *fileName);
// One key of an INI file in the application directory (read by IniFile's rules); a missing file
// or key gives defaultValue.
QString readIni(const char *fileName, const QString &key, const QString &defaultValue = QString());

}
