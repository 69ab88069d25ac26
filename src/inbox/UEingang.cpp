#include "UEingang.h"

#include "GlobalFunctions.h"
#include "Messages.h"
#include "OwnTransaction.h"
#include "TListReport.h"
#include "UDM.h"
#include "Win1252.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

std::function<QStringList()> TEingang::ChooseFiles = [] {
    return QFileDialog::getOpenFileNames(
        nullptr, QStringLiteral("Eingangsrechnung importieren"), QString(),
        QStringLiteral("E-Rechnungen (*.xml *.pdf *.XML *.PDF);;Alle Dateien (*)"));
};

namespace {

QString Geld(const QString& text) {
    qint64 m = 0;
    if (!DezimalMikro(text, &m))
        return text;
    return QLocale().toString(double(m) / 1e6, 'f', 2);
}

QString Datum(const QString& iso) {
    const QDate d = QDate::fromString(iso.left(10), Qt::ISODate);
    return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : iso;
}

QString Esc(const QString& s) {
    return s.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"));
}

QString Art(const QString& code) {
    if (code == QLatin1String("381") || code == QLatin1String("396") || code == QLatin1String("81") ||
        code == QLatin1String("83") || code == QLatin1String("261") || code == QLatin1String("262") ||
        code == QLatin1String("296") || code == QLatin1String("308") || code == QLatin1String("532"))
        return QStringLiteral("Gutschrift");
    if (code == QLatin1String("384"))
        return QStringLiteral("Rechnungskorrektur");
    if (code == QLatin1String("389"))
        return QStringLiteral("Gutschrift (Selbstfakturierung)");
    if (code == QLatin1String("326"))
        return QStringLiteral("Teilrechnung");
    return QStringLiteral("Rechnung");
}

// The invoice as a printed list: head, lines, VAT and totals, terms.
TListReport EingangsListe(const TEingangsrechnung& r) {
    TListReport l;
    l.Title = Art(r.Wert(QStringLiteral("BT-3"))) + u' ' + r.Wert(QStringLiteral("BT-1")) +
              QStringLiteral(" von ") + r.Wert(QStringLiteral("BT-27"));
    l.Subtitle =
        QStringLiteral("Datum ") + Datum(r.Wert(QStringLiteral("BT-2"))) +
        (r.Gibt(QStringLiteral("BT-9")) ? QStringLiteral(", fällig ") + Datum(r.Wert(QStringLiteral("BT-9")))
                                        : QString()) +
        QStringLiteral(", an ") + r.Wert(QStringLiteral("BT-44"));
    l.Columns = {
        {QStringLiteral("Pos."), Qt::AlignLeft, 1},   {QStringLiteral("Bezeichnung"), Qt::AlignLeft, 5},
        {QStringLiteral("Menge"), Qt::AlignRight, 1}, {QStringLiteral("Einheit"), Qt::AlignLeft, 1},
        {QStringLiteral("Preis"), Qt::AlignRight, 1}, {QStringLiteral("USt."), Qt::AlignRight, 1},
        {QStringLiteral("Betrag"), Qt::AlignRight, 1}};
    for (const TEingangsZeile& z : r.Zeilen)
        l.Rows.append(
            {{z.ID, z.Name + (z.Notiz.isEmpty() ? QString() : u'\n' + z.Notiz), z.Menge,
              EinheitName(z.Einheit), Geld(z.Preis), z.Kategorie + u' ' + z.Satz + u'%', Geld(z.Netto)}});
    auto summe = [&](const QString& text, const QString& bt) {
        if (r.Gibt(bt))
            l.Rows.append(
                {{QString(), text, QString(), QString(), QString(), QString(), Geld(r.Wert(bt))}, true});
    };
    summe(QStringLiteral("Summe der Positionen"), QStringLiteral("BT-106"));
    summe(QStringLiteral("Abschläge"), QStringLiteral("BT-107"));
    summe(QStringLiteral("Zuschläge"), QStringLiteral("BT-108"));
    summe(QStringLiteral("Gesamt netto"), QStringLiteral("BT-109"));
    for (const TEingangsSteuer& s : r.Steuern)
        l.Rows.append(
            {{QString(),
              QStringLiteral("Umsatzsteuer %1 %2 % von %3").arg(s.Kategorie, s.Satz, Geld(s.Basis)) +
                  (s.Grund.isEmpty() ? QString() : QStringLiteral(" (") + s.Grund + u')'),
              QString(), QString(), QString(), QString(), Geld(s.Betrag)}});
    summe(QStringLiteral("Gesamt brutto ") + r.Wert(QStringLiteral("BT-5")), QStringLiteral("BT-112"));
    summe(QStringLiteral("Vorauszahlung"), QStringLiteral("BT-113"));
    summe(QStringLiteral("Zahlbetrag ") + r.Wert(QStringLiteral("BT-5")), QStringLiteral("BT-115"));
    if (r.HatZahlungsbedingungen)
        l.Rows.append({{QString(), QStringLiteral("Zahlungsbedingungen: ") + r.Zahlungsbedingungen.trimmed()},
                       false,
                       true});
    for (const TEingangsKonto& k : r.Konten)
        l.Rows.append({{QString(), QStringLiteral("Konto: ") + k.Konto +
                                       (k.BIC.isEmpty() ? QString() : QStringLiteral(", BIC ") + k.BIC)},
                       false,
                       true});
    return l;
}

} // namespace

QString EingangsHtml(const TEingangsrechnung& r, const TEingangsBefund& befund) {
    QString h;
    h += QStringLiteral("<h2>%1 %2</h2>")
             .arg(Esc(Art(r.Wert(QStringLiteral("BT-3")))), Esc(r.Wert(QStringLiteral("BT-1"))));
    h += QStringLiteral(
             "<table cellspacing=4><tr><td><b>Verkäufer</b><br>%1<br>USt-IdNr. %2</td><td width=40></td>"
             "<td><b>Käufer</b><br>%3</td></tr></table>")
             .arg(Esc(r.Wert(QStringLiteral("BT-27"))), Esc(r.Wert(QStringLiteral("BT-31"))),
                  Esc(r.Wert(QStringLiteral("BT-44"))));
    h += QStringLiteral("<p>Rechnungsdatum %1").arg(Datum(r.Wert(QStringLiteral("BT-2"))));
    if (r.Gibt(QStringLiteral("BT-9")))
        h += QStringLiteral(", fällig am %1").arg(Datum(r.Wert(QStringLiteral("BT-9"))));
    if (r.Gibt(QStringLiteral("BT-10")))
        h += QStringLiteral("<br>Käuferreferenz %1").arg(Esc(r.Wert(QStringLiteral("BT-10"))));
    if (r.Gibt(QStringLiteral("BT-13")))
        h += QStringLiteral("<br>Bestellung %1").arg(Esc(r.Wert(QStringLiteral("BT-13"))));
    for (const QString& v : r.Vorrechnungen)
        h += QStringLiteral("<br>zu Rechnung %1").arg(Esc(v));
    h += QStringLiteral("</p>");
    const TListReport l = EingangsListe(r);
    h += QStringLiteral("<table border=1 cellspacing=0 cellpadding=3 width=100%><tr>");
    for (const TListColumn& c : l.Columns)
        h += QStringLiteral("<th>%1</th>").arg(Esc(c.Caption));
    h += QStringLiteral("</tr>");
    for (const TListRow& row : l.Rows) {
        h += QStringLiteral("<tr>");
        for (int i = 0; i < l.Columns.size(); ++i) {
            const QString cell = Esc(row.Cells.value(i));
            const bool rechts = l.Columns[i].Alignment & Qt::AlignRight;
            h += QStringLiteral("<td%1>%2</td>")
                     .arg(rechts ? QStringLiteral(" align=right") : QString(),
                          row.Bold ? QStringLiteral("<b>") + cell + QStringLiteral("</b>") : cell);
        }
        h += QStringLiteral("</tr>");
    }
    h += QStringLiteral("</table>");
    for (const QString& n : r.Notizen)
        h += QStringLiteral("<p>%1</p>").arg(Esc(n));
    if (!r.Anhaenge.isEmpty()) {
        h += QStringLiteral("<p><b>Anhänge</b><br>");
        for (const TEingangsAnhang& a : r.Anhaenge)
            h += Esc(a.Dateiname.isEmpty() ? a.ID : a.Dateiname) +
                 (a.Beschreibung.isEmpty() ? QString() : QStringLiteral(" – ") + Esc(a.Beschreibung)) +
                 (a.URI.isEmpty() ? QString() : QStringLiteral(" (") + Esc(a.URI) + u')') +
                 QStringLiteral("<br>");
        h += QStringLiteral("</p>");
    }
    if (!befund.Hinweise.isEmpty())
        h += QStringLiteral("<p style='color:#a05000'><b>Hinweise der Prüfung</b><br>") +
             Esc(befund.Hinweise.join(u'\n')) + QStringLiteral("</p>");
    return h;
}

TEingang::TEingang(QWidget* pageArea) : TPage(pageArea) {
    setObjectName(QStringLiteral("Eingang"));
    RightKey = QStringLiteral("Eingangsrechnungen");
    setAcceptDrops(true);
    if (DM) {
        try {
            EingangPrepareRight(DM->SQLiteDB1);
        } catch (const ESQLiteError&) {
            // A read-only file: the page stays open to everyone.
        }
    }
    auto* titel = new QLabel(QStringLiteral("   Eingangsrechnungen"), this);
    titel->setObjectName(QStringLiteral("PTitel"));
    QFont f = titel->font();
    f.setPointSize(14);
    f.setBold(true);
    titel->setFont(f);
    titel->setMinimumHeight(36);
    auto* filterZeile = new QHBoxLayout;
    auto* filterLabel = new QLabel(QStringLiteral("&Anzeigen"), this);
    FFilter = new QComboBox(this);
    FFilter->setObjectName(QStringLiteral("CBFilter"));
    FFilter->addItems({QStringLiteral("Alle"), QStringLiteral("Zu zahlen"), QStringLiteral("Überfällig"),
                       QStringLiteral("Bezahlt")});
    FFilter->setToolTip(QStringLiteral("Eingangsrechnungen nach Zahlungsstand filtern"));
    filterLabel->setBuddy(FFilter);
    filterZeile->addWidget(filterLabel);
    filterZeile->addWidget(FFilter);
    filterZeile->addStretch();
    auto* hinweis = new QLabel(QStringLiteral("Dateien hierher ziehen oder „Importieren…“ wählen"), this);
    filterZeile->addWidget(hinweis);

    FList = new QTableView(this);
    FList->setObjectName(QStringLiteral("ListEingang"));
    FModell = new TEingangModell(this);
    FList->setModel(FModell);
    FList->setSelectionBehavior(QAbstractItemView::SelectRows);
    FList->setSelectionMode(QAbstractItemView::SingleSelection);
    FList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FList->verticalHeader()->hide();
    FList->verticalHeader()->setDefaultSectionSize(FList->fontMetrics().height() + 8);
    FList->horizontalHeader()->setStretchLastSection(true);
    // The newest first as read; a click on a caption sorts by that column.
    FList->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    FList->setSortingEnabled(true);
    FSumme = new QLabel(this);

    auto* knopfZeile = new QHBoxLayout;
    auto knopf = [&](const QString& name, const QString& text, const QString& tip, auto slot) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setToolTip(tip);
        b->setMinimumWidth(100);
        connect(b, &QPushButton::clicked, this, slot);
        knopfZeile->addWidget(b);
    };
    knopf(QStringLiteral("BitBtnImport"), QStringLiteral("&Importieren…"),
          QStringLiteral("Eingangsrechnung importieren (XML oder PDF, auch mehrere)"),
          [this] { ImportFiles(ChooseFiles()); });
    knopf(QStringLiteral("BitBtnAnzeigen"), QStringLiteral("An&zeigen"),
          QStringLiteral("Rechnung anzeigen und drucken"), [this] { ShowCurrent(); });
    knopf(QStringLiteral("BitBtnBezahlt"), QStringLiteral("&Bezahlt"),
          QStringLiteral("Als bezahlt markieren oder wieder öffnen"), [this] { TogglePaid(); });
    knopf(QStringLiteral("BitBtnLieferant"), QStringLiteral("&Lieferant anlegen"),
          QStringLiteral("Den Verkäufer der Rechnung als Lieferanten anlegen"), [this] { CreateSupplier(); });
    knopf(QStringLiteral("BitBtnOriginal"), QStringLiteral("&Original speichern…"),
          QStringLiteral("Die empfangene Datei unverändert speichern"), [this] { SaveOriginal(); });
    knopfZeile->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(titel);
    layout->addLayout(filterZeile);
    layout->addWidget(FList, 1);
    layout->addWidget(FSumme);
    layout->addLayout(knopfZeile);
    connect(FFilter, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
    connect(FList, &QTableView::doubleClicked, this, [this] { ShowCurrent(); });
}

void TEingang::PrepareShow() {
    EingangPrepareTables(DM->SQLiteDB1);
    Refresh();
}

void TEingang::Refresh() {
    EingangPrepareTables(DM->SQLiteDB1);
    const QString heute = SQLQuote(QDate::currentDate().toString(Qt::ISODate));
    static const QStringList bedingungen{QString(), QStringLiteral(" where BezahltAm is null"),
                                         QStringLiteral(" where BezahltAm is null and Faellig < %1"),
                                         QStringLiteral(" where BezahltAm is not null")};
    TSQLiteQuery q(&DM->SQLiteDB1);
    q.RunSQL(
        QStringLiteral("select ERID, Verkaeufer, Nummer, Datum, Faellig, SkontoBis, Zahlbetrag, Waehrung, "
                       "BezahltAm, Syntax, Hinweise from Eingangsrechnung") +
        QString(bedingungen.value(FFilter->currentIndex())).replace(QStringLiteral("%1"), heute) +
        QStringLiteral(" order by Datum desc, ERID desc"));
    QList<TEingangZeile> zeilen;
    zeilen.reserve(q.RecordCount());
    double offen = 0;
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    // The fields looked up once: the loop runs once per bill.
    const TField *id = q.FieldByName(QStringLiteral("ERID")),
                 *verkaeufer = q.FieldByName(QStringLiteral("Verkaeufer")),
                 *nummer = q.FieldByName(QStringLiteral("Nummer")),
                 *betrag = q.FieldByName(QStringLiteral("Zahlbetrag")),
                 *waehrung = q.FieldByName(QStringLiteral("Waehrung")),
                 *syntax = q.FieldByName(QStringLiteral("Syntax")),
                 *hinweise = q.FieldByName(QStringLiteral("Hinweise"));
    const TField* daten[] = {q.FieldByName(QStringLiteral("Datum")), q.FieldByName(QStringLiteral("Faellig")),
                             q.FieldByName(QStringLiteral("SkontoBis")),
                             q.FieldByName(QStringLiteral("BezahltAm"))};
    const QLocale locale;
    for (q.First(); !q.Eof(); q.Next()) {
        TEingangZeile z;
        z.ID = id->AsInteger();
        QString iso[4];
        for (int i = 0; i < 4; ++i)
            iso[i] = daten[i]->IsNull() ? QString() : daten[i]->AsDateTime().date().toString(Qt::ISODate);
        z.Betrag = betrag->AsFloat();
        QString stand = QStringLiteral("zu zahlen");
        if (!iso[3].isEmpty())
            stand = QStringLiteral("bezahlt am ") + TEingangModell::Deutsch(iso[3]);
        else if (!iso[1].isEmpty() && iso[1] < today)
            stand = QStringLiteral("überfällig");
        if (iso[3].isEmpty())
            offen += z.Betrag;
        z.Zellen = {verkaeufer->AsString(),
                    nummer->AsString(),
                    iso[0],
                    iso[1],
                    iso[2],
                    locale.toString(z.Betrag, 'f', 2) + u' ' + waehrung->AsString(),
                    stand,
                    syntax->AsString(),
                    hinweise->AsString().replace(u'\n', QStringLiteral("; "))};
        zeilen.append(std::move(z));
    }
    FModell->Setze(std::move(zeilen));
    // Widths from the captions and the first rows: measuring every row of a
    // long list would cost more than filling it.
    if (!FBreitenGesetzt && FModell->rowCount() > 0) {
        FList->horizontalHeader()->setResizeContentsPrecision(50);
        FList->resizeColumnsToContents();
        FBreitenGesetzt = true;
    }
    FSumme->setText(QStringLiteral("%1 Rechnungen, davon zu zahlen: %2")
                        .arg(FModell->rowCount())
                        .arg(QLocale().toString(offen, 'f', 2)));
}

// ---------------------------------------------------------------------------

QString TEingangModell::Deutsch(const QString& iso) {
    return iso.size() == 10 ? iso.mid(8, 2) + u'.' + iso.mid(5, 2) + u'.' + iso.left(4) : iso;
}

void TEingangModell::Setze(QList<TEingangZeile> zeilen) {
    beginResetModel();
    FZeilen = std::move(zeilen);
    endResetModel();
}

int TEingangModell::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(FZeilen.size());
}

int TEingangModell::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(Ueberschriften().size());
}

const QStringList& TEingangModell::Ueberschriften() {
    static const QStringList texte{
        QStringLiteral("Lieferant"), QStringLiteral("Nummer"),     QStringLiteral("Datum"),
        QStringLiteral("Fällig"),    QStringLiteral("Skonto bis"), QStringLiteral("Zahlbetrag"),
        QStringLiteral("Stand"),     QStringLiteral("Format"),     QStringLiteral("Hinweise")};
    return texte;
}

QVariant TEingangModell::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= FZeilen.size())
        return {};
    const TEingangZeile& z = FZeilen[index.row()];
    if (role == Qt::DisplayRole) {
        const QString& text = z.Zellen.value(index.column());
        return index.column() >= 2 && index.column() <= 4 ? Deutsch(text) : text;
    }
    if (role == Qt::TextAlignmentRole && index.column() == 5)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::UserRole)
        return z.ID;
    return {};
}

QVariant TEingangModell::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return Ueberschriften().value(section);
    return {};
}

void TEingangModell::sort(int column, Qt::SortOrder order) {
    beginResetModel();
    std::stable_sort(FZeilen.begin(), FZeilen.end(), [&](const TEingangZeile& a, const TEingangZeile& b) {
        // Dates compare as ISO text, amounts as numbers, the rest as text.
        const bool kleiner =
            column == 5 ? a.Betrag < b.Betrag
                        : QString::localeAwareCompare(a.Zellen.value(column), b.Zellen.value(column)) < 0;
        const bool groesser =
            column == 5 ? b.Betrag < a.Betrag
                        : QString::localeAwareCompare(b.Zellen.value(column), a.Zellen.value(column)) < 0;
        return order == Qt::AscendingOrder ? kleiner : groesser;
    });
    endResetModel();
}

int TEingang::RowCount() const {
    return FModell->rowCount();
}

QString TEingang::Cell(int row, int column) const {
    return FModell->index(row, column).data().toString();
}

void TEingang::SelectRow(int row) {
    FList->selectRow(row);
}

int TEingang::ImportFiles(const QStringList& files) {
    if (files.isEmpty())
        return 0;
    QStringList bericht;
    int importiert = 0;
    bool fehler = false;
    for (const QString& file : files) {
        const QString name = QFileInfo(file).fileName();
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            bericht << name + QStringLiteral(": kann nicht gelesen werden.");
            fehler = true;
            continue;
        }
        try {
            const TEingangsImport i = ImportiereEingangsrechnung(DM->SQLiteDB1, f.readAll(), name);
            if (i.Importiert) {
                ++importiert;
                bericht << name + QStringLiteral(": importiert") +
                               (i.LieferantenID >= 0 ? QStringLiteral(" (Lieferant %1)").arg(i.LieferantenID)
                                                     : QStringLiteral(" (kein Lieferant gefunden)")) +
                               (i.Hinweise.isEmpty()
                                    ? QString()
                                    : QStringLiteral("; Hinweise: ") + i.Hinweise.join(QStringLiteral("; ")));
            } else {
                bericht << name + QStringLiteral(": ") + i.Fehler;
                fehler = true;
            }
        } catch (const ESQLiteError& e) {
            bericht << name + QStringLiteral(": ") + e.message();
            fehler = true;
        }
    }
    Refresh();
    const QString text = bericht.join(u'\n');
    if (fehler)
        Messages::warning(text);
    else
        Messages::info(text);
    return importiert;
}

int TEingang::CurrentId() const {
    const QModelIndex i = FList->currentIndex();
    return i.isValid() ? FModell->index(i.row(), 0).data(Qt::UserRole).toInt() : 0;
}

bool TEingang::CurrentOriginal(QByteArray* bytes) const {
    const int id = CurrentId();
    if (!id) {
        Messages::info(QStringLiteral("Bitte wählen Sie eine Eingangsrechnung aus."));
        return false;
    }
    QString fehler;
    if (!EingangsOriginal(DM->SQLiteDB1, id, bytes, &fehler)) {
        Messages::error(fehler);
        return false;
    }
    return true;
}

void TEingang::ShowCurrent() {
    QByteArray bytes;
    if (!CurrentOriginal(&bytes))
        return;
    const TEingangsDatei d = LeseEingangsrechnung(bytes);
    if (!d.Gelesen) {
        Messages::error(d.Fehler);
        return;
    }
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Eingangsrechnung ") + d.Rechnung.Wert(QStringLiteral("BT-1")));
    dialog.resize(820, 700);
    auto* browser = new QTextBrowser(&dialog);
    browser->setHtml(EingangsHtml(d.Rechnung, PruefeEingangsrechnung(d.Rechnung)));
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* drucken = buttons->addButton(QStringLiteral("&Drucken"), QDialogButtonBox::ActionRole);
    QPushButton* oeffnen = buttons->addButton(QStringLiteral("Anhang ö&ffnen"), QDialogButtonBox::ActionRole);
    oeffnen->setEnabled(!d.Rechnung.Anhaenge.isEmpty());
    QPushButton* anhang =
        buttons->addButton(QStringLiteral("&Anhänge speichern…"), QDialogButtonBox::ActionRole);
    anhang->setEnabled(!d.Rechnung.Anhaenge.isEmpty());
    buttons->addButton(QStringLiteral("&Schließen"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(drucken, &QPushButton::clicked, &dialog, [&d] {
        try {
            EingangsListe(d.Rechnung).Execute(TReportDestination::Preview);
        } catch (const EReportError& e) {
            Messages::error(e.message());
        }
    });
    // An attachment opens in the program the desktop has for its kind, from
    // a copy in a temporary folder that lives as long as the dialog.
    QTemporaryDir kopien;
    connect(oeffnen, &QPushButton::clicked, &dialog, [&d, &kopien] {
        for (const TEingangsAnhang& a : d.Rechnung.Anhaenge) {
            if (a.Inhalt.isEmpty())
                continue;
            const QString name =
                QFileInfo(a.Dateiname.isEmpty() ? QStringLiteral("Anhang") : a.Dateiname).fileName();
            QFile out(kopien.filePath(name));
            if (out.open(QIODevice::WriteOnly) && out.write(a.Inhalt) == a.Inhalt.size()) {
                out.close();
                if (!QDesktopServices::openUrl(QUrl::fromLocalFile(out.fileName())))
                    Messages::warning(
                        QStringLiteral("Für den Anhang \"%1\" ist kein Programm zum Öffnen "
                                       "eingerichtet. Speichern Sie ihn mit „Anhänge speichern…“.")
                            .arg(name));
            }
        }
    });
    connect(anhang, &QPushButton::clicked, &dialog, [&d, &dialog] {
        const QString folder =
            QFileDialog::getExistingDirectory(&dialog, QStringLiteral("Anhänge speichern in"));
        if (folder.isEmpty())
            return;
        QStringList gespeichert;
        for (const TEingangsAnhang& a : d.Rechnung.Anhaenge) {
            if (a.Inhalt.isEmpty())
                continue;
            const QString name = QFileInfo(a.Dateiname.isEmpty() ? a.ID : a.Dateiname).fileName();
            QFile out(folder + u'/' + (name.isEmpty() ? QStringLiteral("Anhang") : name));
            if (!out.open(QIODevice::WriteOnly) || out.write(a.Inhalt) != a.Inhalt.size()) {
                Messages::error(
                    QStringLiteral("Der Anhang \"%1\" konnte nicht gespeichert werden.").arg(out.fileName()));
                return;
            }
            gespeichert << out.fileName();
        }
        Messages::info(QStringLiteral("Gespeichert:\n") + gespeichert.join(u'\n'));
    });
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(browser);
    layout->addWidget(buttons);
    dialog.exec();
}

void TEingang::TogglePaid() {
    const int id = CurrentId();
    if (!id)
        return;
    TSQLiteQuery q(&DM->SQLiteDB1);
    q.RunSQL(QStringLiteral("select BezahltAm, Zahlbetrag from Eingangsrechnung where ERID = ") +
             QString::number(id));
    if (!q.Fields(0)->IsNull()) {
        if (Messages::question(QStringLiteral("Soll die Rechnung wieder als offen gelten?"), false,
                               Messages::No) == Messages::Yes)
            MarkiereBezahlt(DM->SQLiteDB1, id, QDate(), 0);
    } else {
        MarkiereBezahlt(DM->SQLiteDB1, id, QDate::currentDate(), q.Fields(1)->AsFloat());
    }
    Refresh();
}

int TEingang::CreateSupplier() {
    const int id = CurrentId();
    if (!id)
        return 0;
    TSQLiteDB& db = DM->SQLiteDB1;
    TSQLiteQuery q(&db);
    q.RunSQL(QStringLiteral("select LieferantenID from Eingangsrechnung where ERID = ") +
             QString::number(id));
    if (!q.Fields(0)->IsNull()) {
        Messages::info(QStringLiteral("Die Rechnung ist bereits dem Lieferanten %1 zugeordnet.")
                           .arg(q.Fields(0)->AsInteger()));
        return 0;
    }
    QByteArray bytes;
    if (!CurrentOriginal(&bytes))
        return 0;
    const TEingangsrechnung r = LeseEingangsrechnung(bytes).Rechnung;
    q.RunSQL(QStringLiteral("select min(LieGruID) from LieferantenGruppe"));
    const int gruppe = q.Fields(0)->AsInteger();
    TSQLiteTable& t = DM->TableLieferant;
    const bool offen = t.Active();
    try {
        if (!offen)
            t.Open();
        t.Append();
        auto text = [](const QString& s, int n) {
            QString v = s.left(n);
            for (QChar& c : v)
                if (!Win1252::canEncode(QString(c)))
                    c = u'?';
            return v;
        };
        t.FieldByName(QStringLiteral("Firma"))->SetAsString(text(r.Wert(QStringLiteral("BT-27")), 200));
        t.FieldByName(QStringLiteral("UIDNr"))->SetAsString(text(r.Wert(QStringLiteral("BT-31")), 20));
        QString iban = r.Wert(QStringLiteral("BT-84"));
        iban.remove(u' ');
        if (IbanGueltig(iban))
            t.FieldByName(QStringLiteral("IBAN"))->SetAsString(text(iban, 30));
        t.FieldByName(QStringLiteral("LieGruID"))->SetAsInteger(gruppe);
        // The supplier and the invoice's link to it are stored together or not
        // at all: a supplier without the link would be created again next time.
        int lieferant = 0;
        try {
            AllOrNothing(db, [&] {
                t.Post();
                lieferant = t.FieldByName(QStringLiteral("LieferantenID"))->AsInteger();
                db.ExecSQL(QStringLiteral("update Eingangsrechnung set LieferantenID = ") +
                           QString::number(lieferant) + QStringLiteral(" where ERID = ") +
                           QString::number(id));
            });
        } catch (...) {
            // The posted row went with the rollback; the list must not show it.
            if (t.State() == TDataSetState::Browse) {
                t.Close();
                if (offen)
                    t.Open();
            }
            throw;
        }
        if (!offen)
            t.Close();
        Messages::info(QStringLiteral("Der Lieferant %1 wurde angelegt.").arg(lieferant));
        Refresh();
        return lieferant;
    } catch (const EAbort&) {
        // The rules said why.
    } catch (const ESQLiteError& e) {
        Messages::error(e.message());
    }
    if (t.State() == TDataSetState::Insert)
        t.Cancel();
    if (!offen && t.Active())
        t.Close();
    return 0;
}

void TEingang::SaveOriginal() {
    QByteArray bytes;
    if (!CurrentOriginal(&bytes))
        return;
    const QString target = QFileDialog::getSaveFileName(this, QStringLiteral("Original speichern"),
                                                        Cell(FList->currentIndex().row(), 1));
    if (target.isEmpty())
        return;
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush())
        Messages::error(QStringLiteral("Die Datei \"%1\" konnte nicht geschrieben werden.").arg(target));
}

void TEingang::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TEingang::dropEvent(QDropEvent* event) {
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    event->acceptProposedAction();
    ImportFiles(files);
}
