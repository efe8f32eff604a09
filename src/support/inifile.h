#pragma once

#include <QByteArray>
#include <QString>

// The library's one reader of INI files: its own files and the host's. The host writes its
// files with the Windows profile functions, so they are read the way those functions read them:
// - section and key names match without regard to case, around them spaces do not count;
// - the first matching key wins when a key is written twice;
// - a value is trimmed and loses one pair of surrounding double quotes;
// - a backslash is an ordinary character (server names such as "POS-01\SQLEXPRESS", paths);
// - a ';' or '#' that starts a line, or follows a space or tab in an unquoted value, starts a
//   comment ("SysType=GEN6 ;till type" is GEN6, "Password=ab;cd" stays "ab;cd");
// - text that is not valid UTF-8 is GBK, as Chinese Windows writes it; a UTF-8 BOM is skipped.
namespace IniFile {

// "Section/Key" of the INI text; a null text when the section or key is missing.
QString value(const QByteArray &content, const QString &key);

// The same from a file; a missing or unreadable file reads as empty.
QString valueInFile(const QString &path, const QString &key);

}
