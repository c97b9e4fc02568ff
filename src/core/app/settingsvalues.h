#pragma once
#include <QByteArray>
#include <QString>
#include <span>

// Every value kept in the per-user settings store, by its string-table identifier.
// Read and write them through the Reg* helpers so that each name, type and default lives here
// only once.
namespace Reg {
enum Id : int {
    BpWndPlacement = 5,
    UGVWndPlacement = 6,
    MainWndPlacement = 7,
    ShowCustBrowser = 8,
    ShowBPBrowser = 9,
    LogFileName = 10,
    Logging = 11,
    LogWindowPlacement = 12,
    DebugOutput = 13,
    AutoCreateELastDate = 14,
    LastImportDate = 15,
    ICVDateStarting = 16,
    ImportClear = 17,
    ImportUseNew = 18,
    ImportAddUsers = 19,
    ImportUseFile = 20,
    ImportPrefixes = 21,
    ImportBackup = 22,
    ImportLogfile = 23,
    ImportAltLogfile = 24,
    ImportBackupFileName = 25,
    ImportBillingStart = 26,
    AutoCreateNTServer = 34,
    AutoCreateNTGlobal = 35,
    AutoCreateNTLocal = 36,
    IncomeReportStartDate = 37,
    IncomeReportEndDate = 38,
    UserPaneWidth = 40,
    UserPaneHeight = 41, // default computed by the caller: use RegNumber(id, def)
    InvoicePaneHeight = 42,
    SuppressDatabasePrompt = 43,
    InvBrowserWndPlace = 46,
    ShowInvoiceBrowser = 47,
    PageOrientation = 50,
    PageMargins = 51,
    ViewHTML = 52,
    ExecuteSO_UseDefaultIP = 60,
    ExecuteSO_OverrideIP = 61,
    CommitDlgRect = 62,
    CommitDlgPane1Size = 63,
    CommitDlgPane2Size = 64,
    CommitDlgPane3Size = 65,
    // Browser page-setup values (kept by the page-setup store, not the application's).
    PageSetupFooterLeft = 69,
    PageSetupFooterRight = 70,
    PageSetupHeaderLeft = 71,
    PageSetupHeaderRight = 72,
    PageSetupFooter = 73,
    PageSetupHeader = 74,
    ICVCommentUseLogon = 76,
    ICVClerkText = 77,
    ICVAddress = 78,
    ICVComment = 79,
    ICVZipcode = 80,
    ICVDateEnding = 81,
    RoundTax1 = 121,
    RoundTax2 = 122,
    OverrideOvertime1 = 123,
    OverrideOvertime2 = 124,
    DatabasePath = 125,
    ShowInvoices = 127,
    Tax1Name = 137,
    Tax1Rate = 138,
    Tax2Name = 139,
    Tax2Rate = 140,
    EmailSubject = 142,
    EmailProfile = 143,
    SMTPName = 144,
    Language = 145,
    ShowDetails = 146,
    ShowAddress = 147,
    BillAlways = 148,
    DefaultEmailDomain = 149,
    ServerName = 150,
    Minimum = 152,
    Prepay = 160,
    TimeFromHH1 = 170,
    TimeFromMM1 = 171,
    TimeToHH1 = 172,
    TimeToMM1 = 173,
    TimeFromHH2 = 174,
    TimeFromMM2 = 175,
    TimeToHH2 = 176,
    TimeToMM2 = 177,
    AppVersion = 178,
    DefBillingPlan = 182,
    DefInvoicePlan = 183,
    DefAnniversaryDate = 184,
    ShowCustDetails = 194,
    // The installation's mail server connection (the server itself is the invoicing plan's
    // EmailServer): security 0 none, 1 STARTTLS, 2 TLS from the first byte; the user name
    // and password for AUTH (the password is only sent over TLS, and the settings file is
    // kept readable by its owner only once it holds one); a file of CA certificates trusted
    // besides the system's.
    SmtpSecurity = 200,
    SmtpUser = 201,
    SmtpPassword = 202,
    SmtpCAFile = 203,
    // The folder the ICVerify batch was last written to (default: the current directory,
    // computed by the caller: use RegText(id, def)).
    ICVFolder = 204,
};

enum class Type : char { Text = 'T', Number = 'N', YesNo = 'Y', Binary = 'B' };

struct ValueDef {
    int id;
    const char* name;
    Type type;
    qint32 numberDefault;    // Number and YesNo
    const char* textDefault; // Text; nullptr when computed (DatabasePath)
};

// The whole table, in identifier order.
std::span<const ValueDef> Table();
// The entry of an identifier; nullptr for an unknown one.
const ValueDef* Find(int id);
} // namespace Reg

// Name of a value ("LogFileName"); empty for an unknown identifier.
QString RegName(int id);

// Typed access to the process-wide store (theRegistry()) with the table's defaults.
QString RegDefaultText(int id);
QString RegText(int id);
QString RegText(int id, const QString& def);
qint32 RegNumber(int id);
qint32 RegNumber(int id, qint32 def);
bool RegYesNo(int id);
bool RegYesNo(int id, bool def);
QByteArray RegBinary(int id);
// Writing SmtpPassword also makes the settings file readable by its owner only.
[[nodiscard]] bool RegWriteText(int id, const QString& text);
[[nodiscard]] bool RegWriteNumber(int id, qint32 value);
[[nodiscard]] bool RegWriteYesNo(int id, bool value);
[[nodiscard]] bool RegWriteBinary(int id, const QByteArray& bytes);

// The user's data folder (QStandardPaths::AppDataLocation), created when missing.
QString UserDataFolder();
// A relative file name taken inside the user's data folder; an absolute one unchanged.
QString ResolveInDataFolder(const QString& fileName);
// The database file: "DatabasePath", default the data folder + "/tollk.db".
QString DefaultDatabasePath();
// The operation log file: "LogFileName" (default "Tollk.log") resolved in the data folder.
QString LogFilePath();
