#include "core/mail/mimemessage.h"

#include "core/app/cp1252.h"
#include "core/app/oplog.h"
#include "core/app/userinterface.h"
#include "core/mail/headerfold.h"
#include "core/mail/mailbase64.h"
#include "core/mail/smtpclient.h"

#include <QCryptographicHash>
#include <QFile>
#include <QUrl>

#ifndef TK_VERSION
#define TK_VERSION ""
#endif

namespace {
// The longest logo identifier that fits the Content-ID header line.
constexpr qsizetype kMaxLogoIdLength = 900;

QByteArray Bytes(const QString& text) {
    return EncodeCp1252(text);
}

// The To header: the customer's name as display name when there is one, with the billing
// address(es); a message that goes to summary members only names no one.
// A name too long to fold as a quoted string goes as encoded words.
QByteArray ToHeaderLine(const MailRequest& request, bool encodeName) {
    const QStringList addresses = SplitMailAddresses(request.billingEmail);
    if (addresses.isEmpty())
        return "To: undisclosed-recipients:;";
    QByteArray value;
    if (!request.fullName.isEmpty()) {
        QByteArray name = Bytes(request.fullName);
        if (encodeName) {
            value = EncodeHeaderWords(name) + ' ';
        } else {
            name.replace('\\', "\\\\").replace('"', "\\\"");
            value = '"' + name + "\" ";
        }
    }
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        if (i > 0)
            value += ", ";
        value += '<' + Bytes(addresses[i]) + '>';
    }
    return "To: " + value;
}

// Subject and To as folded header lines; what cannot be folded at its blanks is encoded.
QByteArray SubjectHeader(const QString& subject) {
    const QByteArray folded = FoldHeaderLine("Subject: " + Bytes(subject));
    return folded.isEmpty() ? FoldHeaderLine("Subject: " + EncodeHeaderWords(Bytes(subject)))
                            : folded;
}

QByteArray ToHeader(const MailRequest& request) {
    const QByteArray folded = FoldHeaderLine(ToHeaderLine(request, false));
    return folded.isEmpty() ? FoldHeaderLine(ToHeaderLine(request, true)) : folded;
}

QByteArray PartHeader(const QByteArray& boundary, const QByteArray& contentType) {
    return "\r\n--" + boundary + "\r\nContent-Type: " + contentType +
           "\r\nContent-Transfer-Encoding: base64\r\n\r\n";
}
} // namespace

MailImageType MailImageTypeOf(const QByteArray& content) {
    if (content.startsWith("\x89PNG\r\n\x1a\n"))
        return MailImageType::Png;
    if (content.startsWith("\xff\xd8\xff"))
        return MailImageType::Jpeg;
    if (content.startsWith("GIF87a") || content.startsWith("GIF89a"))
        return MailImageType::Gif;
    // "BM", then the file size and two reserved words that are 0.
    if (content.size() >= 26 && content.startsWith("BM") && content.mid(6, 4) == QByteArray(4, 0))
        return MailImageType::Bmp;
    if (content.startsWith(QByteArray("II*\0", 4)) || content.startsWith(QByteArray("MM\0*", 4)))
        return MailImageType::Tiff;
    return MailImageType::Unknown;
}

QByteArray MailImageSubtype(MailImageType type) {
    switch (type) {
    case MailImageType::Gif:
        return "gif";
    case MailImageType::Jpeg:
        return "jpeg";
    case MailImageType::Tiff:
        return "tiff";
    case MailImageType::Png:
        return "png";
    case MailImageType::Bmp:
        return "bmp";
    case MailImageType::Unknown:
        break;
    }
    return "unknown";
}

QString MailLogoIdentifier(const QString& logoPath) {
    return QString::fromLatin1(QUrl::toPercentEncoding(logoPath, "/._-~"));
}

QByteArray RewriteLogoReferences(const QByteArray& htmlPage) {
    QByteArray page = htmlPage;
    return page.replace("IMG SRC=file://", "IMG SRC=cid:");
}

QByteArray MailTextBetween(const QByteArray& textPage, qsizetype start, qsizetype end) {
    if (start < 0 || end < start || start >= textPage.size())
        return {};
    return textPage.mid(start, qMin(end, textPage.size() - 1) - start + 1);
}

QByteArray MailZoneText(qint64 utcMinusLocalSeconds) {
    const char sign = utcMinusLocalSeconds > 0 ? '-' : '+';
    const qint64 d = qAbs(utcMinusLocalSeconds);
    return QByteArray(" ") + sign + QByteArray::number(d / 3600).rightJustified(2, '0') +
           QByteArray::number(d % 3600 / 60).rightJustified(2, '0');
}

QByteArray MailDateText(const QDateTime& localTime) {
    static const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate date = localTime.date();
    const QTime time = localTime.time();
    const QByteArray text = QByteArray(kDays[date.dayOfWeek() - 1]) + ", " +
                            QByteArray::number(date.day()).rightJustified(2, '0') + ' ' +
                            kMonths[date.month() - 1] + ' ' +
                            QByteArray::number(date.year()).rightJustified(4, '0') + ' ' +
                            time.toString(QStringLiteral("HH:mm:ss")).toLatin1();
    return text + MailZoneText(-qint64(localTime.offsetFromUtc()));
}

QString MailProgramVersion(const QString& buildVersion) {
    const QStringList numbers = buildVersion.split(QLatin1Char('.'));
    if (numbers.size() < 2 || numbers.size() > 4)
        return {};
    int n[3] = {0, 0, 0};
    for (int i = 0; i < 3 && i < numbers.size(); ++i) {
        bool ok = false;
        n[i] = numbers[i].toInt(&ok);
        if (!ok || n[i] < 0)
            return {};
    }
    QString version = QString::asprintf("%d.%02d", n[0], n[1]);
    if (n[2] != 0)
        version += QString::asprintf(" Build %d", n[2]);
    return version;
}

QString MailProgramVersion() {
    static const QString version = [] {
        const QString v = MailProgramVersion(QStringLiteral(TK_VERSION));
        if (v.isEmpty())
            ui().showMessage(QStringLiteral("Error loading version number!"));
        return v;
    }();
    return version;
}

QList<QByteArray> ComposeMailPieces(const MailRequest& request, const MailParts& parts,
                                    const QString& version) {
    const QDateTime now = request.now.isValid() ? request.now : QDateTime::currentDateTime();
    const QByteArray stamp = QByteArray::number(now.toSecsSinceEpoch(), 16);
    const QByteArray b1 = "=_TKP_Boundary_" + stamp;
    const QByteArray b2 = "=_TKP_Boundary2_" + stamp;
    const QByteArray sender = Bytes(request.sender);

    const bool mixed = !parts.pdf.isEmpty();
    const QByteArray b0 = "=_TKP_Boundary0_" + stamp;
    const QByteArray alternative =
        "Content-Type: multipart/alternative;\r\n\tboundary=\"" + b1 + "\"\r\n";

    QList<QByteArray> pieces;
    pieces.append(
        "Return-Path: <" + sender + ">" +              //
        "\r\nDate: " + MailDateText(now) +             //
        "\r\nFrom: <" + sender + ">" +                 //
        "\r\n" + SubjectHeader(request.subject) +      //
        "\r\n" + ToHeader(request) +                   //
        "\r\nX-Mailer: Tollkeeper " + Bytes(version) + //
        "\r\nMIME-Version: 1.0\r\n" +                  //
        (mixed ? "Content-Type: multipart/mixed;\r\n\tboundary=\"" + b0 + "\"\r\n" : alternative) +
        "Content-Transfer-Encoding: 7bit\r\n\r\n"                 //
        "\r\nThis is a multipart message in MIME format.\r\n\r\n" //
        "If you are reading this text, you might want to\r\n"     //
        "consider changing to a mail reader that understands\r\n" //
        "how to properly display multipart MIME messages.\r\n" +
        (mixed ? "\r\n--" + b0 + "\r\n" + alternative : QByteArray()));

    pieces.append(PartHeader(b1, "text/plain; charset=\"ISO-8859-1\""));
    pieces.append(parts.text);

    if (parts.hasHtml && parts.hasImage) {
        pieces.append("\r\n--" + b1 +
                      "\r\nContent-Type: multipart/related;\r\n\ttype=\"text/html\";\r\n"
                      "\tboundary=\"" +
                      b2 + "\"\r\n" + PartHeader(b2, "text/html; charset=\"ISO-8859-1\""));
        pieces.append(parts.html);
        pieces.append("\r\n--" + b2 + "\r\nContent-Type: image/" +
                      MailImageSubtype(parts.imageType) +
                      "\r\nContent-Disposition: INLINE\r\nContent-ID: <" + Bytes(parts.logoId) +
                      ">\r\nContent-Transfer-Encoding: base64\r\n\r\n");
        pieces.append(parts.image);
        pieces.append("\r\n--" + b2 + "--\r\n");
    } else if (parts.hasHtml) {
        pieces.append(PartHeader(b1, "text/html; charset=\"ISO-8859-1\""));
        pieces.append(parts.html);
    }

    if (mixed) {
        // The name is the program's own ("Invoice <number>.pdf"): plain ASCII, no quote.
        const QByteArray name = parts.pdfName.toLatin1();
        pieces.append("\r\n--" + b1 + "--\r\n\r\n--" + b0 +
                      "\r\nContent-Type: application/pdf; name=\"" + name +
                      "\"\r\nContent-Disposition: attachment; filename=\"" + name +
                      "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n");
        pieces.append(parts.pdf);
        pieces.append("\r\n--" + b0 + "--\r\n.\r\n");
    } else {
        pieces.append("\r\n--" + b1 + "--\r\n.\r\n");
    }
    return pieces;
}

QString MemberRecipients(const MailRequest& request) {
    if (!request.sendToMembers || request.members.size() <= 1)
        return {};
    QStringList addresses;
    for (qsizetype i = 1; i < request.members.size(); ++i) {
        const MailMember& member = request.members[i];
        if (member.email.isEmpty())
            LogResult(member.logonName, ResultCode::MemberWithoutAddress);
        else
            addresses.append(member.email);
    }
    return addresses.join(QLatin1Char(','));
}

bool BuildMailParts(const MailRequest& request) {
    if (!request.billingAddressRead)
        return true;
    if (request.textPart.isEmpty())
        return false;

    // Anything that becomes part of an SMTP command or a header line must not carry a line
    // break, or it could add commands or headers of its own.
    bool lineBreak = HoldsLineBreak(request.server) || HoldsLineBreak(request.sender) ||
                     HoldsLineBreak(request.subject) || HoldsLineBreak(request.fullName) ||
                     HoldsLineBreak(request.billingEmail);
    for (const MailMember& member : request.members)
        lineBreak = lineBreak || HoldsLineBreak(member.email);
    if (lineBreak) {
        LogText(request.logonName,
                QStringLiteral("E-mail not sent: the mail server, sender, subject, name or "
                               "recipient address holds a line break."),
                ResultCode::MailError);
        return true;
    }

    MailParts parts;
    parts.text = EncodeBase64Lines(request.textPart);
    parts.hasHtml = request.html;
    if (request.html) {
        QByteArray html = RewriteLogoReferences(request.htmlPage);
        if (!request.logoPath.isEmpty()) {
            QFile logo(request.logoPath);
            QByteArray image;
            bool readOk = logo.open(QIODevice::ReadOnly);
            if (readOk) {
                image = logo.readAll();
                readOk = logo.error() == QFileDevice::NoError;
            }
            if (!readOk) {
                LogText(request.logoPath, logo.errorString(), ResultCode::MailError);
                return true;
            }
            // Only an image goes out as one: any other file named as the logo stays home.
            parts.imageType = MailImageTypeOf(image);
            if (parts.imageType == MailImageType::Unknown) {
                LogResult(request.logoPath, ResultCode::UnknownImageType);
            } else {
                parts.hasImage = true;
                parts.image = EncodeBase64Lines(image);
                parts.logoId = MailLogoIdentifier(request.logoPath);
                if (parts.logoId.size() > kMaxLogoIdLength) {
                    // Too long for its header line: a short stand-in, in the page as well.
                    const QString shortId =
                        QString::fromLatin1(QCryptographicHash::hash(parts.logoId.toUtf8(),
                                                                     QCryptographicHash::Sha256)
                                                .toHex()) +
                        QStringLiteral("@logo");
                    html.replace("IMG SRC=cid:" + parts.logoId.toLatin1(),
                                 "IMG SRC=cid:" + shortId.toLatin1());
                    parts.logoId = shortId;
                }
            }
        }
        parts.html = EncodeBase64Lines(html);
    }
    if (!request.pdf.isEmpty()) {
        parts.pdf = EncodeBase64Lines(request.pdf);
        parts.pdfName = request.pdfName;
    }

    SmtpRequest smtp;
    smtp.server = request.server;
    smtp.sender = request.sender;
    smtp.recipients = request.billingEmail;
    smtp.memberRecipients = MemberRecipients(request);
    smtp.logonName = request.logonName;
    return SendMail(smtp, ComposeMailPieces(request, parts, MailProgramVersion()));
}
