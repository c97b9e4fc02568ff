#pragma once
#include <QString>

// Outcomes of billing and invoice delivery, as the operation log records them. Codes 1..24
// are errors, 25..34 warnings, 35 and above successes; each has a fixed text (ResultText),
// empty where the caller supplies the text.
namespace ResultCode {
enum : int {
    Ok = 0,        // returned by loading an invoice; never logged as such
    MailError = 0, // logged with the mail failure's own text (an error)

    NoBillingPlan = 1,
    NoInvoicePlan = 2,
    NoChargesInPlan = 3,
    InvalidChargeType = 4,
    UnspecifiedCharge = 5,
    CopyingRecords = 6,
    CreatingInvoice = 7,
    SummingCharges = 8,
    ComputingCharge = 9,
    OutsideService = 10,
    NoStartDate = 11,
    NoAnniversaryDate = 12,
    CreatingView = 13,
    LoadingInvoice = 14,
    OpeningCustomer = 15,
    SendOptions = 16,
    NoOverrideBillingPlan = 17,
    NoOverrideInvoicePlan = 18,
    NotActive = 19,
    Emailing = 20,
    Printing = 21,
    DeletingInvoice = 22,
    OldStyleInvoice = 23,
    BalanceAdjustment = 24,

    FirstWarning = 25,
    UnchargedCarry = 25, // the text names the charge
    CustomerInactive = 26,
    ProrateUnusual = 27,
    NoSendInstructions = 28,
    NoCharges = 29,
    // A warning whose text the caller writes: a customer already invoiced on the date (not
    // billed again), a session's negative byte count stored as 0.
    OwnTextWarning = 30,
    AlreadyInvoiced = OwnTextWarning,
    NoPlanWarning = 31,
    NoInvoicePlanWarning = 32,
    MemberWithoutAddress = 33,
    UnknownImageType = 34,

    FirstSuccess = 35,
    ChargeSkipped = 36, // inside the computation: the charge is left out; never logged
    ZeroAmountDue = 37,
    InvoicePlanSucceeded = 38,
    CreationSucceeded = 39,
    Aborted = 40,
};
}

// Text of a result code (1..40); empty for codes without text.
QString ResultText(int code);
// "ERROR", "WARNING" or "SUCCESS" for a code.
QString ResultSeverity(int code);
// Errors and warnings: the codes that raise the log's problem flag.
inline bool IsProblemCode(int code) {
    return code < ResultCode::FirstSuccess;
}

// Outcomes of the import and of the database-session routines: system error numbers.
namespace SystemResult {
enum : int {
    Ok = 0,
    Failed = 13,      // the user was told why
    OpenFailed = 21,  // the file or log could not be opened
    Cancelled = 1223, // declined or interrupted by the user
};
}
