#pragma once
#include <QByteArray>
#include <QString>
#include <memory>

class QSettings;

// Typed, named settings kept per user (QSettings of company "Corvane", product "Tollkeeper").
// A value of the wrong type reads as missing.
class CRegistryStore {
public:
    CRegistryStore();
    ~CRegistryStore();

    [[nodiscard]] bool open(const QString& product = QStringLiteral("Tollkeeper"),
                            const QString& company = QStringLiteral("Corvane"),
                            const QString& subkey = {});
    void close();
    bool isOpen() const;
    // The store did not exist and was created by this open (first run).
    bool created() const;
    // Makes the settings file readable and writable by its owner only (it is to hold a
    // password); false when the permissions cannot be set.
    [[nodiscard]] bool restrictToOwner();

    QString readText(const QString& name, const QString& def = {}) const;
    [[nodiscard]] bool writeText(const QString& name, const QString& text);
    // true when a number was stored under the name; out gets it or def.
    [[nodiscard]] bool readNumber(const QString& name, qint32& out, qint32 def) const;
    qint32 number(const QString& name, qint32 def) const;
    [[nodiscard]] bool writeNumber(const QString& name, qint32 value);
    bool readYesNo(const QString& name, bool def) const;
    [[nodiscard]] bool writeYesNo(const QString& name, bool value);
    QByteArray readBinary(const QString& name) const; // empty when missing or of another type
    [[nodiscard]] bool writeBinary(const QString& name, const QByteArray& bytes);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The process-wide store of the application (App().registry(), opened at start-up).
CRegistryStore& theRegistry();
