#include "KundeERechnung.h"

#include "GiroCode.h"
#include "GlobalFunctions.h"
#include "UDM.h"

#include <QRegularExpression>

#include <optional>

namespace {
std::optional<TKundeERechnung> FEingabe;
} // namespace

void SetzeKundeERechnungEingabe(const TKundeERechnung& e) {
    FEingabe = e;
}

void VerwerfeKundeERechnungEingabe() {
    FEingabe.reset();
}

bool HatKundeERechnungEingabe() {
    return FEingabe.has_value();
}

void PruefeKundeERechnungEingabe() {
    if (!FEingabe)
        return;
    if (const QString fehler = LeitwegIDFehler(FEingabe->LeitwegID); !fehler.isEmpty())
        TDM::RefuseWithWarning(fehler);
}

void SpeichereKundeERechnungEingabe(TDM& dm, qint64 kundenId, qint64 vorherId) {
    // A customer given another number keeps its settings.
    if (vorherId > 0 && vorherId != kundenId && dm.TableExists(QStringLiteral("KundeERechnung")))
        dm.SQLiteDB1.ExecSQL(QStringLiteral("update or replace KundeERechnung set KundenID = ") +
                             QString::number(kundenId) + QStringLiteral(" where KundenID = ") +
                             QString::number(vorherId));
    if (!FEingabe)
        return;
    const TKundeERechnung e = *FEingabe;
    FEingabe.reset();
    SchreibeKundeERechnung(dm, kundenId, e);
}

void EnsureKundeERechnung(TDM& dm) {
    dm.SQLiteDB1.ExecSQL(
        QStringLiteral("CREATE TABLE IF NOT EXISTS KundeERechnung (KundenID INTEGER NOT NULL "
                       "PRIMARY KEY, LeitwegID VARCHAR(50), Format CHAR(1))"));
}

TKundeERechnung LeseKundeERechnung(TDM& dm, qint64 kundenId) {
    TKundeERechnung e;
    if (!dm.TableExists(QStringLiteral("KundeERechnung")))
        return e;
    TSQLiteQuery q(&dm.SQLiteDB1);
    q.RunSQL(QStringLiteral("select LeitwegID, Format from KundeERechnung where KundenID = ") +
             QString::number(kundenId));
    if (q.IsEmpty())
        return e;
    e.LeitwegID = q.FieldByName(QStringLiteral("LeitwegID"))->AsString().trimmed();
    const QString format = q.FieldByName(QStringLiteral("Format"))->AsString().trimmed().toUpper();
    if (format == QLatin1String("Z") || format == QLatin1String("X"))
        e.Format = format;
    return e;
}

void SchreibeKundeERechnung(TDM& dm, qint64 kundenId, const TKundeERechnung& e) {
    EnsureKundeERechnung(dm);
    const QString id = QString::number(kundenId);
    const QString leitweg = e.LeitwegID.trimmed();
    if (leitweg.isEmpty() && e.Format != QLatin1String("Z") && e.Format != QLatin1String("X")) {
        LoescheKundeERechnung(dm, kundenId);
        return;
    }
    dm.SQLiteDB1.ExecSQL(QStringLiteral("insert or replace into KundeERechnung (KundenID, LeitwegID, Format) "
                                        "values (") +
                         id + u',' + (leitweg.isEmpty() ? QStringLiteral("null") : SQLQuote(leitweg)) + u',' +
                         SQLQuote(e.Format) + u')');
}

void LoescheKundeERechnung(TDM& dm, qint64 kundenId) {
    if (dm.TableExists(QStringLiteral("KundeERechnung")))
        dm.SQLiteDB1.ExecSQL(QStringLiteral("delete from KundeERechnung where KundenID = ") +
                             QString::number(kundenId));
}

QString ERechnungFormatName(const QString& format) {
    if (format == QLatin1String("Z"))
        return QStringLiteral("ZUGFeRD-PDF");
    if (format == QLatin1String("X"))
        return QStringLiteral("XRechnung");
    return QStringLiteral("keine");
}

bool SiehtWieLeitwegIDAus(const QString& id) {
    static const QRegularExpression form(QStringLiteral("^[0-9]{2}[0-9A-Za-z]*(-[0-9A-Za-z]*)+$"));
    return form.match(id.trimmed()).hasMatch();
}

QString LeitwegIDFehler(const QString& id) {
    const QString text = id.trimmed();
    if (text.isEmpty() || !SiehtWieLeitwegIDAus(text))
        return QString();
    static const QRegularExpression form(QStringLiteral("^[0-9]{2,12}(-[0-9A-Z]{1,30})?-[0-9]{2}$"));
    if (!form.match(text).hasMatch())
        return QStringLiteral("Die Leitweg-ID „") + text +
               QStringLiteral("“ hat nicht die Form Grobadressierung-Feinadressierung-Prüfziffer (z. B. "
                              "04011000-12345-03): 2 bis 12 Ziffern, optional bis zu 30 Ziffern oder "
                              "Großbuchstaben, zwei Prüfziffern, getrennt durch Bindestriche.");
    QString plain = text;
    plain.remove(u'-');
    if (Mod97(plain) != 1)
        return QStringLiteral("Die Prüfziffer der Leitweg-ID „") + text +
               QStringLiteral("“ stimmt nicht. Bitte prüfen Sie die Angabe des Kunden.");
    return QString();
}
