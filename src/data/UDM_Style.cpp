// Colour styles: reading the rows of a style and writing the editor's squares
// into the style in use (style 0).
#include "UDM.h"

namespace {

std::optional<qint32> ColorField(TSQLiteBaseQuery& q, const QString& name) {
    TField* f = q.FindField(name);
    if (!f || f->IsNull())
        return std::nullopt;
    return static_cast<qint32>(f->AsLargeInt());
}

TStyleRow CurrentStyleRow(TSQLiteBaseQuery& q) {
    TStyleRow row;
    row.Object = q.FieldByName(QStringLiteral("Object"))->AsString();
    row.BGColor = ColorField(q, QStringLiteral("BGColor"));
    row.BGHLColor = ColorField(q, QStringLiteral("BGHLColor"));
    row.FontColor = ColorField(q, QStringLiteral("FontColor"));
    row.FontHLColor = ColorField(q, QStringLiteral("FontHLColor"));
    TField* colors = q.FindField(QStringLiteral("Colors"));
    row.Colors = colors && !colors->IsNull() ? colors->AsString() : QString();
    return row;
}

// A colour column's value in an UPDATE; a square that never held a colour
// leaves the column empty as it was.
QString IntColor(const std::optional<qint32>& value) {
    return value ? QString::number(*value) : QStringLiteral("NULL");
}

QString W(const QString& kind) {
    return " where " + QStringLiteral("StyleID = 0 and Object = ") + "'" + kind + "'";
}

// The n-th colour of a list as eight hex digits (0 when the list is short).
QString Entry(const QList<qint32>& colors, int n) {
    return StoredToHex(colors.value(n - 1, 0));
}

} // namespace

QList<TStyleRow> TDM::ReadStyle(int styleId) {
    QList<TStyleRow> rows;
    Query1.RunSQL("select * from set_style where StyleID = " + QString::number(styleId));
    for (Query1.First(); !Query1.Eof(); Query1.Next())
        rows.append(CurrentStyleRow(Query1));
    Query1.Close();
    return rows;
}

TStyleRow TDM::ReadStyleRow(int styleId, const QString& object) {
    TStyleRow row;
    row.Object = object;
    Query1.RunSQL("select * from set_style where StyleID = " + QString::number(styleId) +
                  " and Object = " + "'" + object + "'");
    if (!Query1.IsEmpty())
        row = CurrentStyleRow(Query1);
    Query1.Close();
    return row;
}

TStyleSquares TDM::LoadStyleSquares(int styleId) {
    TStyleSquares squares;
    for (const QString& kind : StyleEditorKinds()) {
        const TStyleRow row = ReadStyleRow(styleId, kind);
        if (kind == QLatin1String("CustomColors")) {
            // The colour dialog knows only plain colours: the last six digits.
            for (int n = 1; n <= CustomColorCount; ++n)
                squares.CustomColors << (ColorsEntry(row.Colors, n).value_or(0) & 0xFFFFFF);
            continue;
        }
        if (kind == QLatin1String("MainMenu"))
            squares.MainMenuLoaded = row.Colors;
        squares.Rows.insert(kind, row);
    }
    return squares;
}

void TDM::SaveStyle(const TStyleSquares& squares, int chosenStyle) {
    const auto row = [&](const QString& kind) {
        return squares.Rows.value(kind, TStyleRow{kind, {}, {}, {}, {}, {}});
    };

    // All of it in one transaction: a failing statement must never leave the
    // style in use deleted or half written.
    RunInTransaction([&] {
        if (chosenStyle != 0) {
            Exec(QStringLiteral("delete from set_style where StyleID = 0"));
            Exec("insert into set_style select 0, Object, BGColor, BGHLColor, FontColor, FontHLColor, Colors "
                 "from "
                 "set_style where StyleID = " +
                 QString::number(chosenStyle));
        }

        QString custom;
        for (int n = 0; n < CustomColorCount; ++n)
            custom += "00" + StoredToHex(squares.CustomColors.value(n, 0) & 0xFFFFFF).right(6);
        Exec("update set_style set Colors = '" + custom + "'" + W(QStringLiteral("CustomColors")));

        static const QStringList simpleKinds = {
            QStringLiteral("Button"),         QStringLiteral("CheckBox"), QStringLiteral("ComboBox"),
            QStringLiteral("DateTimePicker"), QStringLiteral("Chart"),    QStringLiteral("Edit"),
            QStringLiteral("Form"),           QStringLiteral("GroupBox"), QStringLiteral("ListBox"),
            QStringLiteral("ListView"),       QStringLiteral("Memo"),     QStringLiteral("StatusBar"),
            QStringLiteral("Titel")};
        for (const QString& kind : simpleKinds) {
            const TStyleRow r = row(kind);
            Exec("update set_style set BGColor = " + IntColor(r.BGColor) + "," +
                 "FontColor = " + IntColor(r.FontColor) + W(kind));
        }

        const TStyleRow grid = row(QStringLiteral("Grid"));
        Exec("update set_style set BGColor = " + IntColor(grid.BGColor) + "," +
             "FontColor = " + IntColor(grid.FontColor) + "," + "Colors = " + "'" +
             Entry(SplitColors(grid.Colors), 1) + "'" + W(QStringLiteral("Grid")));

        // Entries without a square in the editor keep their loaded digits
        // exactly; the pressed-entry colour follows the bar background.
        const QList<qint32> menu = SplitColors(row(QStringLiteral("MainMenu")).Colors);
        const auto loaded = [&](int n) {
            const QString digits = squares.MainMenuLoaded.mid(8 * (n - 1), 8);
            return digits.size() == 8 ? digits : StoredToHex(0);
        };
        QString menuText;
        for (int n = 1; n <= MenuColorCount; ++n) {
            switch (n) {
            case mcBtnSelectedColor:
                menuText += Entry(menu, mcColor);
                break;
            case mcDisabledColor:
            case mcHighlightColor:
            case mcHotColor:
            case mcHotFontColor:
            case mcShadowColor:
            case mcUnusedColor:
                menuText += loaded(n);
                break;
            default:
                menuText += Entry(menu, n);
            }
        }
        Exec("update set_style set Colors = '" + menuText + "'" + W(QStringLiteral("MainMenu")));

        const TStyleRow nav = row(QStringLiteral("Navigation"));
        const QList<qint32> navColors = SplitColors(nav.Colors);
        QString navText;
        for (int n = 1; n <= NavColorCount; ++n)
            navText += Entry(navColors, n);
        Exec("update set_style set BGColor = " + IntColor(nav.BGColor) + "," +
             "FontColor = " + IntColor(nav.FontColor) + "," + "Colors = " + "'" + navText + "'" +
             W(QStringLiteral("Navigation")));

        const TStyleRow tab = row(QStringLiteral("TabControl"));
        Exec("update set_style set BGColor = " + IntColor(tab.BGColor) + "," +
             "BGHLColor = " + IntColor(tab.BGHLColor) + "," + "FontColor = " + IntColor(tab.FontColor) + "," +
             "FontHLColor = " + IntColor(tab.FontHLColor) + W(QStringLiteral("TabControl")));
    });
}
