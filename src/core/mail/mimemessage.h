#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// The e-mail form of one rendered invoice: a multipart/alternative message with the plain
// text and, for customers who get HTML, the HTML page with the logo embedded as an inline
// image. Every part is base64; the message is built as a list of pieces that the SMTP client
// sends in order after DATA.

// Image type of a logo file by its content (the signature its first bytes carry), so that a
// file that is not an image never goes out as one, whatever its name.
enum class MailImageType { Unknown = 0, Gif = 1, Jpeg = 2, Tiff = 3, Png = 4, Bmp = 5 };
MailImageType MailImageTypeOf(const QByteArray& content);
// "gif", "jpeg", "tiff", "png", "bmp" or "unknown".
QByteArray MailImageSubtype(MailImageType type);

// The identifier that stands for the logo in the HTML page ("<IMG SRC=file://" + id + ">")
// and, after the rewrite, as the inline image's Content-ID. It is the path with every
// character other than letters, digits and "/._-~" percent-encoded, so that it holds no
// blank that would end the unquoted IMG SRC value or break the Content-ID.
QString MailLogoIdentifier(const QString& logoPath);
// The HTML page with every "IMG SRC=file://" replaced by "IMG SRC=cid:".
QByteArray RewriteLogoReferences(const QByteArray& htmlPage);
// The plain text of the text page: the bytes from start to end inclusive (empty when the
// range is empty or outside the page).
QByteArray MailTextBetween(const QByteArray& textPage, qsizetype start, qsizetype end);

// "Date" header value: "%a, %d %b %Y %H:%M:%S" in English plus the zone of the time given
// (" +hhmm" east of UTC, " -hhmm" west of it).
QByteArray MailDateText(const QDateTime& localTime);
// The zone for D = UTC minus local time in seconds: "-" when D > 0, "+" otherwise.
QByteArray MailZoneText(qint64 utcMinusLocalSeconds);
// The program's version for the X-Mailer header: "%d.%02d" of the major and minor number
// of the build, with " Build %d" and the patch number when that is not 0.
QString MailProgramVersion();
// The same from a version text "major.minor[.patch]"; empty when it does not parse.
QString MailProgramVersion(const QString& buildVersion);

// A member of a summary invoice: logon name and billing e-mail address (empty when the
// address could not be read or is not set).
struct MailMember {
    QString logonName;
    QString email;
};

// Everything one invoice e-mail is made of, gathered by the invoice delivery.
struct MailRequest {
    QString server;                 // EmailServer of the invoicing plan
    QString sender;                 // EmailSender
    QString subject;                // EmailSubject
    QString logonName;              // the customer's logon name (status text, log)
    QString fullName;               // the customer's FullName (To header)
    QString billingEmail;           // the customer's billing e-mail address text
    bool billingAddressRead = true; // false: the billing address could not be read

    QByteArray textPart; // the plain text (see MailTextBetween), Windows-1252
    bool html = false;   // the customer gets the HTML page
    QByteArray htmlPage; // the HTML page as rendered, Windows-1252
    QString logoPath;    // the plan's Bitmap; empty for none

    // A summary invoice sent to its members: the member list in order; the first entry is
    // the summary's own customer and is not mailed again.
    bool sendToMembers = false;
    QList<MailMember> members;

    // The printed page as a PDF file attached beside the text and HTML parts; empty for
    // none. pdfName is its file name ("Invoice 1234.pdf").
    QByteArray pdf;
    QString pdfName;
    QString pdfFailure; // why the PDF could not be made; the message is then not sent

    QDateTime now; // local time of sending (Date header, boundaries); invalid = current time
};

// The message as it goes after DATA, piece by piece. With a PDF the alternative parts are
// wrapped in a multipart/mixed message that carries the file as an attachment; without one
// the message is exactly the classic multipart/alternative one. Built by ComposeMailPieces from the
// encoded parts; exposed so that the bytes can be checked.
struct MailParts {
    QByteArray text;  // base64 lines
    QByteArray html;  // base64 lines; empty without HTML
    QByteArray image; // base64 lines of the logo; only with html and hasImage
    bool hasHtml = false;
    bool hasImage = false;
    QString logoId;
    MailImageType imageType = MailImageType::Unknown;
    QByteArray pdf; // base64 lines of the attached PDF; empty without one
    QString pdfName;
};
QList<QByteArray> ComposeMailPieces(const MailRequest& request, const MailParts& parts,
                                    const QString& version);

// The "," joined billing addresses of the members after the first one when the summary is
// sent to its members and has more than one; each member without an address is logged with
// code 33 under its logon name.
QString MemberRecipients(const MailRequest& request);

// Builds the message and sends it (SendMail). Returns true on failure: the billing address
// could not be read, a field holds a line break, the logo could not be read (logged with code
// 0 under the logo path) or the exchange failed. A logo that is not an image is logged with
// code 34 under its path and the message goes without it. An empty text part sends nothing
// and is not a failure.
[[nodiscard]] bool BuildMailParts(const MailRequest& request);
