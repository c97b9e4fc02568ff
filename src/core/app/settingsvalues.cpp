#include "core/app/settingsvalues.h"
#include "core/app/registrystore.h"

#include <QDir>
#include <QStandardPaths>
#include <algorithm>

namespace Reg {
namespace {
using enum Type;
constexpr ValueDef kTable[] = {
    {BpWndPlacement, "BpWndPlacement", Binary, 0, ""},
    {UGVWndPlacement, "UGVWndPlacement", Binary, 0, ""},
    {MainWndPlacement, "MainWndPlacement", Binary, 0, ""},
    {ShowCustBrowser, "ShowCustBrowser", YesNo, 1, ""},
    {ShowBPBrowser, "ShowBPBrowser", YesNo, 1, ""},
    {LogFileName, "LogFileName", Text, 0, "Tollk.log"},
    {Logging, "Logging", YesNo, 1, ""},
    {LogWindowPlacement, "LogWindowPlacement", Binary, 0, ""},
    {DebugOutput, "DebugOutput", YesNo, 0, ""},
    {AutoCreateELastDate, "AutoCreateELastDate", Number, 0, ""},
    {LastImportDate, "LastImportDate", Number, 0, ""},
    {ICVDateStarting, "ICVDateStarting", Number, 0, ""},
    {ImportClear, "ImportClear", Number, 0, ""},
    {ImportUseNew, "ImportUseNew", Number, 0, ""},
    {ImportAddUsers, "ImportAddUsers", Number, 0, ""},
    {ImportUseFile, "ImportUseFile", Number, 0, ""},
    {ImportPrefixes, "ImportPrefixes", Number, 0, ""},
    {ImportBackup, "ImportBackup", Number, 0, ""},
    {ImportLogfile, "ImportLogfile", Number, 0, ""},
    {ImportAltLogfile, "ImportAltLogfile", Text, 0, ""},
    {ImportBackupFileName, "ImportBackupFileName", Text, 0, ""},
    {ImportBillingStart, "ImportBillingStart", Text, 0, ""},
    {AutoCreateNTServer, "AutoCreateNTServer", Text, 0, ""},
    {AutoCreateNTGlobal, "AutoCreateNTGlobal", Number, 1, ""},
    {AutoCreateNTLocal, "AutoCreateNTLocal", Number, 1, ""},
    {IncomeReportStartDate, "IncomeReportStartDate", Number, 0, ""},
    {IncomeReportEndDate, "IncomeReportEndDate", Number, 0, ""},
    {UserPaneWidth, "UserPaneWidth", Number, 250, ""},
    {UserPaneHeight, "UserPaneHeight", Number, 0, ""},
    {InvoicePaneHeight, "InvoicePaneHeight", Number, 0, ""},
    {SuppressDatabasePrompt, "SuppressDatabasePrompt", YesNo, 0, ""},
    {InvBrowserWndPlace, "InvBrowserWndPlace", Binary, 0, ""},
    {ShowInvoiceBrowser, "ShowInvoiceBrowser", YesNo, 0, ""},
    {PageOrientation, "PageOrientation", Number, 2, ""},
    {PageMargins, "PageMargins", Binary, 0, ""},
    {ViewHTML, "ViewHTML", YesNo, 1, ""},
    {ExecuteSO_UseDefaultIP, "ExecuteSO_UseDefaultIP", YesNo, 1, ""},
    {ExecuteSO_OverrideIP, "ExecuteSO_OverrideIP", Number, -1, ""},
    {CommitDlgRect, "CommitDlgRect", Binary, 0, ""},
    {CommitDlgPane1Size, "CommitDlgPane1Size", Binary, 0, ""},
    {CommitDlgPane2Size, "CommitDlgPane2Size", Binary, 0, ""},
    {CommitDlgPane3Size, "CommitDlgPane3Size", Binary, 0, ""},
    {PageSetupFooterLeft, "footer_left", Text, 0, ""},
    {PageSetupFooterRight, "footer_right", Text, 0, ""},
    {PageSetupHeaderLeft, "header_left", Text, 0, ""},
    {PageSetupHeaderRight, "header_right", Text, 0, ""},
    {PageSetupFooter, "footer", Text, 0, ""},
    {PageSetupHeader, "header", Text, 0, ""},
    {ICVCommentUseLogon, "ICVCommentUseLogon", Number, 1, ""},
    {ICVClerkText, "ICVClerkText", Text, 0, "Tollkeeper"},
    {ICVAddress, "ICVAddress", Text, 0, ""},
    {ICVComment, "ICVComment", Text, 0, "COMPUTER INVOICE"},
    {ICVZipcode, "ICVZipcode", Text, 0, ""},
    {ICVDateEnding, "ICVDateEnding", Number, 0, ""},
    {RoundTax1, "RoundTax1", Number, 0, ""},
    {RoundTax2, "RoundTax2", Number, 0, ""},
    {OverrideOvertime1, "OverrideOvertime1", Number, 0, ""},
    {OverrideOvertime2, "OverrideOvertime2", Number, 0, ""},
    {DatabasePath, "DatabasePath", Text, 0, nullptr},
    {ShowInvoices, "Show Invoices", YesNo, 1, ""},
    {Tax1Name, "Tax 1 Name", Text, 0, "Tax1"},
    {Tax1Rate, "Tax 1 Rate", Text, 0, "0.0"},
    {Tax2Name, "Tax 2 Name", Text, 0, "Tax2"},
    {Tax2Rate, "Tax 2 Rate", Text, 0, "0.0"},
    {EmailSubject, "EmailSubject", Text, 0, "INTERNET USAGE"},
    {EmailProfile, "EmailProfile", Text, 0, "billing@example.com"},
    {SMTPName, "SMTPName", Text, 0, "mail.example.com"},
    {Language, "Language", Number, 0, ""},
    {ShowDetails, "ShowDetails", Number, 1, ""},
    {ShowAddress, "ShowAddress", Number, 0, ""},
    {BillAlways, "BillAlways", Number, 0, ""},
    {DefaultEmailDomain, "DefaultEmailDomain", Text, 0, ""},
    {ServerName, "ServerName", Text, 0, "ServerHostName"},
    {Minimum, "Minimum", Text, 0, "0.00"},
    {Prepay, "Prepay", YesNo, 1, ""},
    {TimeFromHH1, "TimeFromHH1", Number, 0, ""},
    {TimeFromMM1, "TimeFromMM1", Number, 0, ""},
    {TimeToHH1, "TimeToHH1", Number, 0, ""},
    {TimeToMM1, "TimeToMM1", Number, 0, ""},
    {TimeFromHH2, "TimeFromHH2", Number, 0, ""},
    {TimeFromMM2, "TimeFromMM2", Number, 0, ""},
    {TimeToHH2, "TimeToHH2", Number, 0, ""},
    {TimeToMM2, "TimeToMM2", Number, 0, ""},
    {AppVersion, "AppVersion", Number, 0, ""},
    {DefBillingPlan, "DefBillingPlan", Number, 0, ""},
    {DefInvoicePlan, "DefInvoicePlan", Number, 0, ""},
    {DefAnniversaryDate, "DefAnniversaryDate", Number, 0, ""},
    {ShowCustDetails, "ShowCustDetails", YesNo, 1, ""},
    {SmtpSecurity, "SmtpSecurity", Number, 0, ""},
    {SmtpUser, "SmtpUser", Text, 0, ""},
    {SmtpPassword, "SmtpPassword", Text, 0, ""},
    {SmtpCAFile, "SmtpCAFile", Text, 0, ""},
    {ICVFolder, "ICVFolder", Text, 0, ""},
};
} // namespace

std::span<const ValueDef> Table() {
    return kTable;
}

const ValueDef* Find(int id) {
    auto it = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                               [](const ValueDef& v, int key) { return v.id < key; });
    return it != std::end(kTable) && it->id == id ? &*it : nullptr;
}
} // namespace Reg

QString RegName(int id) {
    const Reg::ValueDef* v = Reg::Find(id);
    return v ? QString::fromLatin1(v->name) : QString();
}

QString RegDefaultText(int id) {
    if (id == Reg::DatabasePath)
        return UserDataFolder() + QStringLiteral("/tollk.db");
    const Reg::ValueDef* v = Reg::Find(id);
    return v && v->textDefault ? QString::fromLatin1(v->textDefault) : QString();
}

QString RegText(int id) {
    return RegText(id, RegDefaultText(id));
}
QString RegText(int id, const QString& def) {
    return theRegistry().readText(RegName(id), def);
}

qint32 RegNumber(int id) {
    const Reg::ValueDef* v = Reg::Find(id);
    return RegNumber(id, v ? v->numberDefault : 0);
}
qint32 RegNumber(int id, qint32 def) {
    return theRegistry().number(RegName(id), def);
}

bool RegYesNo(int id) {
    const Reg::ValueDef* v = Reg::Find(id);
    return RegYesNo(id, v && v->numberDefault != 0);
}
bool RegYesNo(int id, bool def) {
    return theRegistry().readYesNo(RegName(id), def);
}

QByteArray RegBinary(int id) {
    return theRegistry().readBinary(RegName(id));
}

bool RegWriteText(int id, const QString& text) {
    if (id == Reg::SmtpPassword && !theRegistry().restrictToOwner())
        return false; // never written into a file others can read
    return theRegistry().writeText(RegName(id), text);
}
bool RegWriteNumber(int id, qint32 value) {
    return theRegistry().writeNumber(RegName(id), value);
}
bool RegWriteYesNo(int id, bool value) {
    return theRegistry().writeYesNo(RegName(id), value);
}
bool RegWriteBinary(int id, const QByteArray& bytes) {
    return theRegistry().writeBinary(RegName(id), bytes);
}

QString UserDataFolder() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dir.isEmpty())
        dir = QDir::homePath();
    QDir().mkpath(dir);
    return dir;
}

QString ResolveInDataFolder(const QString& fileName) {
    if (fileName.isEmpty() || QDir::isAbsolutePath(fileName))
        return fileName;
    return QDir(UserDataFolder()).filePath(fileName);
}

QString DefaultDatabasePath() {
    return RegText(Reg::DatabasePath);
}

QString LogFilePath() {
    return ResolveInDataFolder(RegText(Reg::LogFileName));
}
