#pragma once
#include <QString>

// The sample database: a small ISP ("Kestrel Bay Internet") set up to bill November 2026.
// It holds the company name and logo, about 25 customers with addresses, phones and some card
// data, three customer groups (a summary-invoice group with a group nested in it, and a group
// that overrides its members' plans), billing plans that use every kind of charge and rule,
// and invoicing plans in English, French, Spanish and Portuguese, in HTML and plain text.
// It holds no sessions: they come from the detail file of the month (sampledetail.h) through
// the usage import.

struct SampleDatabaseOptions {
    // Replace an existing file at the path (otherwise an existing file is refused).
    bool replace = false;
};

struct SampleDatabaseResult {
    bool ok = false;
    QString error;    // why it failed (nothing was left at the path then)
    QString logoPath; // the logo image written next to the database
};

// Creates the sample database at path, and its logo image next to it (SampleLogoPath). The
// database is built in a scratch file beside the target and moved into place only when it is
// complete, so a failure never leaves a half-built file, nor removes a file it was to replace.
// The same call always gives the same table contents.
SampleDatabaseResult CreateSampleDatabase(const QString& path,
                                          const SampleDatabaseOptions& options = {});

// "<folder>/<database file name without its last extension>.logo.jpg"
// (tollk.sample.db -> tollk.sample.logo.jpg). JPEG, so that e-mailed invoices can carry it.
QString SampleLogoPath(const QString& databasePath);

// Draws the company logo (shapes only: no fonts, so it needs no GUI application) and writes it
// as a JPEG file; false with a message in *error on failure.
[[nodiscard]] bool DrawSampleLogo(const QString& path, QString* error = nullptr);
