// The own company: its one row of Geschaeft, the two logo files in the data
// folder and the layout rows of DruckElement that place every printed element.
#include "GlobalFunctions.h"
#include "LogoFilter.h"
#include "Messages.h"
#include "UDM.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QSaveFile>

#include <algorithm>

namespace {

TDM::TDruckElement ElementOfRow(const TSQLiteBaseQuery& q) {
    TDM::TDruckElement e;
    e.DEID = q.FieldByName(QStringLiteral("DEID"))->AsInteger();
    e.Left = q.FieldByName(QStringLiteral("Left"))->AsInteger();
    e.Top = q.FieldByName(QStringLiteral("Top"))->AsInteger();
    e.Width = q.FieldByName(QStringLiteral("Width"))->AsInteger();
    e.Height = q.FieldByName(QStringLiteral("Height"))->AsInteger();
    e.Visible = q.FieldByName(QStringLiteral("Visible"))->AsString() == QLatin1String("Y");
    e.Hide = q.FieldByName(QStringLiteral("Hide"))->AsString() == QLatin1String("Y");
    e.Title = q.FieldByName(QStringLiteral("Title"))->AsString();
    return e;
}

// A whole number of millimetres as the layout columns hold it. Only digits
// count: a sign, a decimal point or blanks would either break the statement
// or store something the printout cannot place.
bool IsWholeMillimetres(const QString& text) {
    if (text.isEmpty() || text.size() > 6)
        return false;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace

void TDM::SetupAnsch() {
    TableAnsch.Name = QStringLiteral("TableAnsch");
    TableAnsch.SetTableName(QStringLiteral("Geschaeft"));
    DSTAnsch.setObjectName(QStringLiteral("DSTAnsch"));
}

QStringList TDM::DruckElementTitles() {
    QStringList titles;
    Query1.RunSQL(QStringLiteral("select Title from DruckElement order by DEID"));
    for (Query1.First(); !Query1.Eof(); Query1.Next())
        titles << Query1.FieldByName(QStringLiteral("Title"))->AsString();
    Query1.Close();
    return titles;
}

TDM::TDruckElement TDM::ReadDruckElement(int deid) {
    Query1.RunSQL(QStringLiteral("select * from DruckElement where DEID = ") + QString::number(deid));
    TDruckElement e;
    if (!Query1.IsEmpty())
        e = ElementOfRow(Query1);
    Query1.Close();
    return e;
}

QList<TDM::TDruckElement> TDM::ReadDruckElemente() {
    QList<TDruckElement> rows;
    Query1.RunSQL(QStringLiteral("select * from DruckElement order by DEID"));
    for (Query1.First(); !Query1.Eof(); Query1.Next())
        rows << ElementOfRow(Query1);
    Query1.Close();
    return rows;
}

bool TDM::SaveDruckElement(int deid, const QStringList& leftTopWidthHeight, bool visible, bool hide) {
    static const char* const columns[] = {"Left", "Top", "Width", "Height"};
    QString sql = QStringLiteral("update DruckElement set ");
    for (int i = 0; i < 4 && i < leftTopWidthHeight.size(); ++i) {
        const QString& text = leftTopWidthHeight[i];
        if (text.isEmpty())
            continue;
        // The value goes into the statement as it stands, so anything but a
        // plain number is stopped here and the row keeps what it had.
        if (!IsWholeMillimetres(text)) {
            Messages::warning(QStringLiteral("„") + text +
                              QStringLiteral("“ ist keine ganze Zahl. Die Position wird in ganzen "
                                             "Millimetern angegeben und wurde nicht gespeichert."));
            return false;
        }
        sql += QLatin1String(columns[i]) + QStringLiteral(" = ") + QString::number(text.toInt()) + u',';
    }
    sql += visible ? QStringLiteral("Visible = 'Y',") : QStringLiteral("Visible = 'N',");
    sql += hide ? QStringLiteral("Hide = 'Y',") : QStringLiteral("Hide = 'N',");
    sql.chop(1);
    sql += QStringLiteral(" where DEID = ") + QString::number(deid);
    Exec(sql);
    return true;
}

QString TDM::LogoFileName(int logo) {
    return DataFolder() + QStringLiteral("Logo") + QString::number(logo) + QStringLiteral(".bmp");
}

QString LogoFileFilter() {
    QStringList formats;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        formats << QString::fromLatin1(format).toLower();
    formats.removeDuplicates();
    // The usual formats of a logo first, PNG at the head; the rest by name.
    static const QStringList usual{QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                   QStringLiteral("bmp")};
    std::sort(formats.begin(), formats.end(), [](const QString& a, const QString& b) {
        const qsizetype ia = usual.contains(a) ? usual.indexOf(a) : usual.size();
        const qsizetype ib = usual.contains(b) ? usual.indexOf(b) : usual.size();
        return ia != ib ? ia < ib : a < b;
    });
    QStringList patterns;
    for (const QString& format : formats)
        patterns << QStringLiteral("*.") + format;
    QString filter = QStringLiteral("Alle Bilddateien (") + patterns.join(u' ') + u')';
    for (const QString& format : formats)
        filter += QStringLiteral(";;") + format.toUpper() + QStringLiteral("-Datei (*.") + format + u')';
    return filter;
}

bool TDM::SaveLogo(int logo, const QString& pictureFile) {
    QImageReader reader(pictureFile);
    reader.setAutoTransform(true);
    QImage picture = reader.read();
    if (picture.isNull()) {
        Messages::error(QStringLiteral("Das Bild „") + pictureFile +
                        QStringLiteral("“ kann nicht geladen werden: ") + reader.errorString() +
                        QStringLiteral("\nDas bisherige Logo bleibt erhalten."));
        return false;
    }
    // A bitmap has no transparency: transparent parts are printed on white
    // paper, so they become white rather than the black of dropped alpha.
    if (picture.hasAlphaChannel()) {
        QImage flat(picture.size(), QImage::Format_RGB32);
        flat.setDotsPerMeterX(picture.dotsPerMeterX());
        flat.setDotsPerMeterY(picture.dotsPerMeterY());
        flat.fill(Qt::white);
        QPainter painter(&flat);
        painter.drawImage(0, 0, picture);
        painter.end();
        picture = flat;
    }
    // Written beside the old logo and renamed over it only when complete, so
    // a full disk or a crash never leaves a half-written or missing logo.
    QSaveFile file(LogoFileName(logo));
    if (!file.open(QIODevice::WriteOnly) || !picture.save(&file, "BMP") || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        Messages::error(QStringLiteral("Das Logo kann nicht gespeichert werden: ") + reason +
                        QStringLiteral("\nDas bisherige Logo bleibt erhalten."));
        return false;
    }
    return true;
}

bool TDM::RemoveLogo(int logo) {
    QFile file(LogoFileName(logo));
    if (!file.exists() || file.remove())
        return true;
    Messages::error(QStringLiteral("Das Logo kann nicht entfernt werden: ") + file.errorString());
    return false;
}
