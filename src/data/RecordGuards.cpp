#include "RecordGuards.h"

#include "SQLite.h"
#include "UDM.h"
#include "Win1252.h"

#include <cmath>

void RefuseWhenInUse(TSQLiteQuery& query, const QString& number, const QString& prefix,
                     const QString& zeroEnding, const QList<TInUseCheck>& checks) {
    bool ok = false;
    const qint64 value = number.trimmed().toLongLong(&ok);
    if (!ok)
        TDM::RefuseWithWarning(prefix + QStringLiteral(", da die Nummer keine ganze Zahl ist!"));
    if (value == 0)
        TDM::RefuseWithWarning(prefix + zeroEnding);
    const QString key = QString::number(value);
    for (const TInUseCheck& check : checks) {
        query.RunSQL(check.countSQL + key);
        if (query.FieldByName(QStringLiteral("anz"))->AsInteger() > 0)
            TDM::RefuseWithWarning(prefix + check.ending);
    }
}

void RefuseUnstorableText(TSQLiteBaseQuery* dataSet, const QMap<QString, QString>& labels) {
    for (int i = 0; i < dataSet->FieldCount(); ++i) {
        const TField* field = dataSet->Fields(i);
        if (field->DataType() != TFieldType::String && field->DataType() != TFieldType::Memo)
            continue;
        if (field->IsNull())
            continue;
        const QString text = field->AsString();
        if (Win1252::canEncode(text))
            continue;
        // Name the whole character, also one that takes two UTF-16 units (emoji).
        QString shown;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            if (!Win1252::canEncode(text.mid(i, len))) {
                shown = text.mid(i, len);
                break;
            }
            i += len - 1;
        }
        const QString label = labels.value(field->FieldName(), field->FieldName());
        TDM::RefuseWithWarning(
            QStringLiteral("Das Zeichen \"%1\" im Feld \"%2\" kann nicht gespeichert werden, "
                           "da der Zeichensatz der Datenbank (Windows-1252) es nicht "
                           "enthält!")
                .arg(shown, label));
    }
}

void RefuseBadPercent(TSQLiteBaseQuery* dataSet, const QString& field, const QString& warning) {
    const TField* f = dataSet->FieldByName(field);
    if (f->IsNull())
        return;
    const double value = f->AsFloat();
    if (!(value >= 0.0 && value <= 100.0))
        TDM::RefuseWithWarning(warning);
}

void RefusePriceLine(TSQLiteBaseQuery* dataSet, const QString& missingRate) {
    const TField* menge = dataSet->FieldByName(QStringLiteral("Menge"));
    const TField* wert = dataSet->FieldByName(QStringLiteral("Wert"));
    if (menge->IsNull())
        TDM::RefuseWithWarning(QStringLiteral("Die Menge muss angegeben werden!"));
    if (dataSet->FieldByName(QStringLiteral("EinheitID"))->IsNull())
        TDM::RefuseWithWarning(QStringLiteral("Die Mengeneinheit muss angegeben werden!"));
    if (wert->IsNull())
        TDM::RefuseWithWarning(QStringLiteral("Der Betrag muss angegeben werden!"));
    if (dataSet->FieldByName(QStringLiteral("MWStSatz"))->IsNull())
        TDM::RefuseWithWarning(missingRate);
    const auto refuseBadAmount = [](const TField* field, const QString& warning) {
        if (field->IsNull())
            return;
        const double value = field->AsFloat();
        // Compared after rounding to the two stored decimals, so 9999.994 still fits.
        if (!std::isfinite(value) || std::abs(std::round(value * 100.0) / 100.0) > 9999.99)
            TDM::RefuseWithWarning(warning);
    };
    refuseBadAmount(menge, QStringLiteral("Die Menge muss zwischen -9999,99 und 9999,99 liegen!"));
    refuseBadAmount(wert, QStringLiteral("Der Betrag muss zwischen -9999,99 und 9999,99 liegen!"));
    RefuseBadPercent(dataSet, QStringLiteral("MWStSatz"),
                     QStringLiteral("Der MWSt.-Satz muss zwischen 0 und 100 liegen!"));
    static const QMap<QString, QString> labels = {
        {QStringLiteral("PreisBez"), QStringLiteral("Bezeichnung")},
        {QStringLiteral("PreisBez2"), QStringLiteral("Bezeichnung 2")},
    };
    for (auto it = labels.begin(); it != labels.end(); ++it) {
        const TField* f = dataSet->FieldByName(it.key());
        if (!f->IsNull() && f->AsString().size() > 100)
            TDM::RefuseWithWarning(QStringLiteral("Die ") + it.value() +
                                   QStringLiteral(" darf höchstens 100 Zeichen lang sein!"));
    }
    RefuseUnstorableText(dataSet, labels);
}

bool LocateChosenRecord(TSQLiteTable& table, TSQLiteQuery& list, const QString& keyField) {
    bool found = false;
    if (list.Active() && !list.IsEmpty()) {
        const QStringList keys = keyField.split(QLatin1Char(';'));
        QVariantList values;
        for (const QString& key : keys)
            values.append(list.FieldByName(key)->Value());
        found = table.Locate(keyField, keys.size() == 1 ? values.first() : QVariant(values));
    }
    if (!found)
        table.Close();
    return found;
}
