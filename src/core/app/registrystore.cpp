#include "core/app/registrystore.h"

#include "core/app/appcontext.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <optional>

// Values are kept in QSettings as text with a type prefix ("n:" number, "t:" text,
// "b:" base64 bytes), because the file formats of QSettings on Unix do not keep the type of a
// value across a reload: "123" would read back the same whether it was written as a number or
// as text. A value whose prefix does not match the type asked for reads as missing.

namespace {
const QString kNumberTag = QStringLiteral("n:");
const QString kTextTag = QStringLiteral("t:");
const QString kBinaryTag = QStringLiteral("b:");
// Written on creation; its absence marks a store that does not exist yet.
const QString kMarker = QStringLiteral("StoreCreated");

// The stored text of a value; QSettings may hand back a list for unquoted commas.
std::optional<QString> storedText(const QVariant& v) {
    if (!v.isValid())
        return std::nullopt;
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return std::nullopt;
}
} // namespace

struct CRegistryStore::Impl {
    std::unique_ptr<QSettings> settings;
    bool created = false;
    bool triedCreate = false;

    std::optional<QString> tagged(const QString& name, const QString& tag) const {
        if (!settings)
            return std::nullopt;
        auto text = storedText(settings->value(name));
        if (!text || !text->startsWith(tag))
            return std::nullopt;
        return text->mid(tag.size());
    }
    bool write(const QString& name, const QString& value) {
        if (!settings)
            return false;
        settings->setValue(name, value);
        settings->sync();
        return settings->status() == QSettings::NoError;
    }
};

CRegistryStore::CRegistryStore() : d(std::make_unique<Impl>()) {}
CRegistryStore::~CRegistryStore() = default;

bool CRegistryStore::open(const QString& product, const QString& company, const QString& subkey) {
    if (isOpen())
        return true;
    d->created = false;
    d->triedCreate = false;
    auto s = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, company,
                                         product);
    if (s->status() != QSettings::NoError)
        return false;
    if (!subkey.isEmpty())
        s->beginGroup(subkey);
    const bool fileExisted = QFileInfo::exists(s->fileName());
    if (!fileExisted || !s->contains(kMarker)) {
        // First run: create the store and mark it.
        d->created = true;
        d->triedCreate = true;
        s->setValue(kMarker, QString(kNumberTag + QLatin1Char('1')));
        s->sync();
        if (s->status() != QSettings::NoError || !s->isWritable())
            return false;
    }
    d->settings = std::move(s);
    return true;
}

void CRegistryStore::close() {
    if (d->settings)
        d->settings->sync();
    d->settings.reset();
}

bool CRegistryStore::isOpen() const {
    return d->settings != nullptr;
}
bool CRegistryStore::created() const {
    return d->created;
}

bool CRegistryStore::restrictToOwner() {
    if (!d->settings)
        return false;
    d->settings->sync();
    // Rewrites of the file keep the permissions of the file they replace.
    return QFile::setPermissions(d->settings->fileName(),
                                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QString CRegistryStore::readText(const QString& name, const QString& def) const {
    auto v = d->tagged(name, kTextTag);
    return v ? *v : def;
}

bool CRegistryStore::writeText(const QString& name, const QString& text) {
    return d->write(name, kTextTag + text);
}

bool CRegistryStore::readNumber(const QString& name, qint32& out, qint32 def) const {
    out = def;
    auto v = d->tagged(name, kNumberTag);
    if (!v)
        return false;
    bool ok = false;
    const qint32 n = v->toInt(&ok);
    if (!ok)
        return false;
    out = n;
    return true;
}

qint32 CRegistryStore::number(const QString& name, qint32 def) const {
    qint32 n = def;
    return readNumber(name, n, def) ? n : def;
}

bool CRegistryStore::writeNumber(const QString& name, qint32 value) {
    return d->write(name, kNumberTag + QString::number(value));
}

bool CRegistryStore::readYesNo(const QString& name, bool def) const {
    qint32 n = 0;
    return readNumber(name, n, 0) ? n != 0 : def;
}

bool CRegistryStore::writeYesNo(const QString& name, bool value) {
    return writeNumber(name, value ? 1 : 0);
}

QByteArray CRegistryStore::readBinary(const QString& name) const {
    auto v = d->tagged(name, kBinaryTag);
    if (!v)
        return {};
    return QByteArray::fromBase64(v->toLatin1());
}

bool CRegistryStore::writeBinary(const QString& name, const QByteArray& bytes) {
    return d->write(name, kBinaryTag + QString::fromLatin1(bytes.toBase64()));
}

CRegistryStore& theRegistry() {
    return App().registry();
}
