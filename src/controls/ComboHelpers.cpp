#include "ComboHelpers.h"

#include "SQLite.h"

#include <QComboBox>

void FillComboFromQuery(TSQLiteQuery& query, QComboBox* list, bool withAll) {
    list->clear();
    if (withAll)
        list->addItem(QStringLiteral("- Alle -"));
    while (!query.Eof()) {
        list->addItem(query.Fields(0)->AsString());
        query.Next();
    }
    if (withAll)
        list->setCurrentIndex(0);
}

void FillGroupCombo(TSQLiteQuery& query, QComboBox* list, int kind, bool withAll) {
    QString sql;
    switch (kind) {
    case 1:
        sql = QStringLiteral("select KunGruBez from KundenGruppe order by KunGruBez");
        break;
    case 2:
        sql = QStringLiteral("select LieGruBez from LieferantenGruppe order by LieGruBez");
        break;
    case 3:
        sql = QStringLiteral("select ArtGruBez from ArtikelGruppe order by ArtGruBez");
        break;
    case 4:
        sql = QStringLiteral("select EinheitBez from Einheit order by EinheitBez");
        break;
    default:
        return;
    }
    query.RunSQL(sql);
    FillComboFromQuery(query, list, withAll);
}
