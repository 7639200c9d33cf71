#include "app/Settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

namespace settings {

namespace {

const char* const kSection = "Quillmere";

QString storeFolder()
{
    const QString override = qEnvironmentVariable("QUILLMERE_SETTINGS_DIR");
    if (!override.isEmpty())
        return override;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Wrenmoor";
}

// Creates the store empty and private before Qt writes into it; Qt's atomic save keeps the
// permissions of the file it replaces.
void ensurePrivateFile(const QString& path)
{
    if (QFile::exists(path))
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd >= 0)
        ::close(fd);
}

} // namespace

std::string storeFile()
{
    return (storeFolder() + "/Wrenmoor.ini").toStdString();
}

std::string GetSetting(const std::string& key, const std::string& fallback)
{
    QSettings store(QString::fromStdString(storeFile()), QSettings::IniFormat);
    store.beginGroup(kSection);
    const QVariant v = store.value(QString::fromStdString(key));
    return v.isValid() ? v.toString().toStdString() : fallback;
}

void SaveSetting(const std::string& key, const std::string& value)
{
    const QString path = QString::fromStdString(storeFile());
    ensurePrivateFile(path);
    QSettings store(path, QSettings::IniFormat);
    store.beginGroup(kSection);
    store.setValue(QString::fromStdString(key), QString::fromStdString(value));
    store.endGroup();
    store.sync();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

MSSQL::Encryption StoredEncryption()
{
    MSSQL::Encryption encryption;
    const std::string mode = GetSetting("Encrypt", "request");
    encryption.mode = MSSQL::ParseEncrypt(mode).value_or(MSSQL::Encrypt::Require);
    const QString trust = QString::fromStdString(GetSetting("TrustServerCertificate", "")).trimmed();
    encryption.trustServerCertificate = trust == "1" || trust.compare("true", Qt::CaseInsensitive) == 0 ||
                                        trust.compare("yes", Qt::CaseInsensitive) == 0;
    encryption.caFile = GetSetting("CaFile", "");
    return encryption;
}

convert::TypeOptions StoredTypeOptions()
{
    convert::TypeOptions options;
    auto stored = [](const char* key) { return QString::fromStdString(GetSetting(key, "")).trimmed().toStdString(); };
    options.longText = convert::ParseLongText(stored("LongText")).value_or(options.longText);
    options.binary = convert::ParseBinary(stored("Binary")).value_or(options.binary);
    options.bigInt = convert::ParseBigInt(stored("BigInt")).value_or(options.bigInt);
    options.unmappable = convert::ParseUnmappable(stored("Unmappable")).value_or(options.unmappable);
    for (const QString& choice : QString::fromStdString(GetSetting("CodePage", "")).split(',', Qt::SkipEmptyParts))
        convert::AddCodePage(options, choice.trimmed().toStdString());
    return options;
}

void SaveTypeOptions(const convert::TypeOptions& options)
{
    SaveSetting("LongText", options.longText == convert::LongText::Memo ? "memo" : "text");
    SaveSetting("Binary", options.binary == convert::BinaryColumns::Blob ? "blob" : "placeholder");
    SaveSetting("BigInt", options.bigInt == convert::BigIntegers::Decimal ? "decimal" : "int");
    SaveSetting("Unmappable", options.unmappable == convert::Unmappable::Replace ? "replace" : "reject");
    std::string codePages = options.codePage ? std::to_string(options.codePage) : std::string();
    for (const convert::TableCodePage& table : options.tableCodePages)
        codePages += (codePages.empty() ? "" : ",") + table.table + "=" + std::to_string(table.codePage);
    SaveSetting("CodePage", codePages);
}

} // namespace settings
